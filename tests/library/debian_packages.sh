#!/usr/bin/env bash
# The Debian packages as `cpack -G DEB` makes them from this build: three packages, each
# holding what its users look for where Debian keeps it, and lintian finding no error.
#
#   debian_packages.sh BUILD_DIR WORK_DIR VIEWER(ON|OFF)
set -euo pipefail

build=$1 work=$2 viewer=$3
rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

major=$(sed -n 's/^#define SYMDECK_API_VERSION \([0-9]*\)$/\1/p' "$(dirname "$0")/../../include/symdeck.h")
# package | a file it must hold (an extended regular expression over dpkg-deb -c's paths)
expected="symdeck|/usr/bin/symdeck$
symdeck|/usr/share/man/man1/symdeck.1.gz$
symdeck|/usr/share/doc/symdeck/README.md$
symdeck|/usr/share/doc/symdeck/library.md$
symdeck|/usr/share/doc/symdeck/symdeck-report.schema.json$
libsymdeck$major|/usr/lib/(x86_64-linux-gnu/)?libsymdeck.so.$major$
libsymdeck$major|/usr/lib/(x86_64-linux-gnu/)?libsymdeck.so.$major.[0-9]+.[0-9]+$
libsymdeck-dev|/usr/include/symdeck.h$
libsymdeck-dev|/usr/lib/(x86_64-linux-gnu/)?libsymdeck.a$
libsymdeck-dev|/usr/lib/(x86_64-linux-gnu/)?libsymdeck.so$
libsymdeck-dev|/usr/lib/(x86_64-linux-gnu/)?cmake/symdeck/symdeckConfig.cmake$
libsymdeck-dev|/usr/lib/(x86_64-linux-gnu/)?cmake/symdeck/symdeckConfigVersion.cmake$
libsymdeck-dev|/usr/lib/(x86_64-linux-gnu/)?pkgconfig/symdeck.pc$
libsymdeck-dev|/usr/share/doc/libsymdeck-dev/examples/report.c$"
if [ "$viewer" = ON ]; then
  expected+="
symdeck|/usr/share/symdeck/symdeck-viewer.html$
symdeck|/usr/share/symdeck/symdeck-core.wasm$
symdeck|/usr/share/symdeck/symdeck-core.mjs$"
fi
for package in symdeck "libsymdeck$major" libsymdeck-dev; do
  debs=("$work/${package}_"*.deb)
  [ -e "${debs[0]}" ] || fail "no package $package"
  dpkg-deb -c "${debs[0]}" | awk '{print $6}' | sed 's/^\.//' > "$work/$package.files"
  expected+="
$package|/usr/share/doc/$package/copyright$
$package|/usr/share/doc/$package/changelog.Debian.gz$"
done
while IFS='|' read -r package pattern; do
  grep -Eq "$pattern" "$work/$package.files" || fail "$package holds no $pattern"
done <<< "$expected"
description=$(dpkg-deb -f "$work"/symdeck_*.deb Description)
for option in --json-lines --html --diff; do
  grep -q -- "$option" <<< "$description" || fail "the description does not name $option"
done

lintian --fail-on error --suppress-tags-from-file /dev/null "$work"/*.deb > "$work/lintian.txt" 2>&1 ||
  { cat "$work/lintian.txt" >&2; fail "lintian finds errors"; }
cat "$work/lintian.txt"
echo "3 packages; lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings"
