#!/usr/bin/env bash
# The Windows build's test suite under Wine, then the byte-for-byte comparison of its
# reports with the Linux build's:
#   tools/test-windows.sh [LINUX_BUILD] [WINDOWS_BUILD]      (make test-windows)
# Both builds must be built. The Wine prefix lives in WINDOWS_BUILD/wineprefix; making it
# (the first wineboot) is done here, before any test, and timed on its own. The wineserver
# started for the run is stopped when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
windows=${2:-build-windows}
wine_run="$windows/wine-run"
[ -x "$wine_run" ] || { echo "configure the Windows build first: make windows" >&2; exit 1; }

start=$SECONDS
"$wine_run" --setup >/dev/null 2>&1
trap '"$wine_run" --stop' EXIT
echo "Wine prefix and wineserver ready in $((SECONDS - start)) s"

start=$SECONDS
# A test that fails is run once more: under load Wine's client now and then loses its
# wineserver connection ("wine client error:0: recvmsg: Connection reset by peer") and the
# program never starts. A fault of the program fails both runs.
ctest --test-dir "$windows" --output-on-failure -j2 --repeat until-pass:2
echo "Windows test suite under Wine: $((SECONDS - start)) s"

if [ -e "$windows/symdeck.exe" ]; then
  start=$SECONDS
  tools/compare-windows.sh "$linux" "$windows"
  echo "Linux and Windows reports compared in $((SECONDS - start)) s"
else
  echo "No $windows/symdeck.exe: the program is not built for Windows yet, reports not compared"
fi
