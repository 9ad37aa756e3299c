#!/usr/bin/env bash
# Builds symdeck in release form and makes its Debian packages, in one command: symdeck,
# libsymdeckN (the shared library) and libsymdeck-dev (cmake/package.cmake).
#
#   tools/package.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build-deb in the source tree. It is a build of its own, without
# tests or sanitizers, so that a developer's build directory and its options never end
# up in the packages. Its prefix is /usr, so that the libraries go where Debian keeps them
# (lib/<triplet>, as GNUInstallDirs says). The .debs are left in BUILD_DIR and their paths
# printed last.
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${1:-$source_dir/build-deb}"

generator=()
if command -v ninja >/dev/null 2>&1; then
  generator=(-G Ninja)
fi

# The manual page must render without warnings before it is packaged.
if command -v groff >/dev/null 2>&1; then
  warnings="$(groff -man -Tutf8 -ww "$source_dir/man/symdeck.1" 2>&1 >/dev/null)"
  if [[ -n "$warnings" ]]; then
    printf '%s\n' "$warnings" >&2
    echo "package.sh: man/symdeck.1 does not render cleanly" >&2
    exit 1
  fi
fi

cmake -S "$source_dir" -B "$build_dir" ${generator[@]+"${generator[@]}"} \
  -DCMAKE_BUILD_TYPE=Release -DSYMDECK_TESTS=OFF -DSYMDECK_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build_dir" -j2 --target symdeck manual_gz changelog_gz symdeck_shared symdeck_static

rm -f "$build_dir"/*.deb
(cd "$build_dir" && cpack -G DEB)

for deb in "$build_dir"/*.deb; do
  dpkg-deb -c "$deb"
done
ls "$build_dir"/*.deb
