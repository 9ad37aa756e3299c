#!/usr/bin/env bash
# libsymdeck as a user gets it: the build installed into a fresh prefix, the shared
# library's name and exports checked, and docs/examples/report.c built against the prefix
# three ways (pkg-config with the shared library, pkg-config --static, and a C-only CMake
# project with symdeck::symdeck and symdeck::static). Each one's output on the sample and on
# damaged copies must be the program's `-o -` output byte for byte, and a database that
# cannot be read must give exit status 2 with a message.
#
#   build_against_install.sh BUILD_DIR SYMDECK SAMPLE EXAMPLE WORK_DIR
set -euo pipefail

build=$1 symdeck=$(realpath "$2") sample=$(realpath "$3") example=$(realpath "$4") work=$5
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

libdir=$(dirname "$(find "$prefix" -name 'libsymdeck.so' | head -n 1)")
[ -d "$libdir" ] || fail "no libsymdeck.so under $prefix"
major=$(sed -n 's/^#define SYMDECK_API_VERSION \([0-9]*\)$/\1/p' "$prefix/include/symdeck.h")
soname=$(readelf -d "$libdir/libsymdeck.so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ "$soname" = "libsymdeck.so.$major" ] || fail "SONAME '$soname', not libsymdeck.so.$major"
[ -L "$libdir/libsymdeck.so" ] && [ -L "$libdir/libsymdeck.so.$major" ] || fail "the .so links are missing"
others=$(nm -D --defined-only "$libdir/libsymdeck.so" | awk '{print $3}' | grep -v '^symdeck_' || true)
[ -z "$others" ] || fail "libsymdeck.so exports more than the C interface: $others"
nm -D --defined-only "$libdir/libsymdeck.so" | grep -q ' T symdeck_render_to$' || fail "symdeck_render_to is not exported"

# The example, three ways.
export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -Wall -Wextra -Werror "$example" $(pkg-config --cflags --libs symdeck) -o "$work/report-pkg-config"
readelf -d "$work/report-pkg-config" | grep -q "NEEDED.*libsymdeck.so.$major" ||
  fail "pkg-config's link does not use the shared library"
cc -static "$example" $(pkg-config --static --cflags --libs symdeck) -o "$work/report-static"
mkdir -p "$work/project"
cat > "$work/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(report C)
find_package(symdeck CONFIG REQUIRED)
add_executable(report $example)
target_link_libraries(report symdeck::symdeck)
add_executable(report-static $example)
target_link_libraries(report-static symdeck::static)
CMAKE
cmake -S "$work/project" -B "$work/project/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/project/build" >/dev/null
programs=("$work/report-pkg-config" "$work/report-static" "$work/project/build/report"
          "$work/project/build/report-static")

# The databases: the sample, copies cut short inside the header, the directory and the
# last section, and a copy with its directory's signature overwritten.
size=$(stat -c %s "$sample")
databases=("$sample")
for cut in 40 600 $((size - 7)); do
  head -c "$cut" "$sample" > "$work/cut-$cut.nms"
  databases+=("$work/cut-$cut.nms")
done
cp "$sample" "$work/signature.nms"
offset=$(od -An -tu4 -j12 -N4 "$sample" | tr -d ' ')
printf 'XXXX' | dd of="$work/signature.nms" bs=1 seek="$offset" conv=notrunc status=none
databases+=("$work/signature.nms")

export LD_LIBRARY_PATH=$libdir
for db in "${databases[@]}"; do
  "$symdeck" "$db" -o - > "$work/expected.txt"
  for program in "${programs[@]}"; do
    status=0
    "$program" "$db" > "$work/got.txt" || status=$?
    [ "$status" -eq 0 ] || fail "$program $db: status $status"
    cmp -s "$work/expected.txt" "$work/got.txt" || fail "$program $db: output differs from symdeck -o -"
  done
done
for program in "${programs[@]}"; do
  status=0
  "$program" "$work/missing.nms" > "$work/got.txt" 2> "$work/err.txt" || status=$?
  [ "$status" -eq 2 ] && [ -s "$work/err.txt" ] && [ ! -s "$work/got.txt" ] ||
    fail "$program on a missing file: status $status, no message or some output"
done
echo "${#programs[@]} builds of the example, ${#databases[@]} databases: the program's bytes"
