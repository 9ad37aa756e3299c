#!/usr/bin/env bash
# The Python package's tests: the package installed with pip into a fresh folder, as a user
# installs it (Debian's Python and its packages only, offline), then pytest over it.
#   run.sh BUILD SYMDECK MAKE_DAMAGE MAKE_LARGE SAMPLE CORPUS WORK
# The package builds the core's library in BUILD (already built by then), not again.
set -euo pipefail
build=$1 symdeck=$2 make_damage=$3 make_large=$4 sample=$5 corpus=$6 work=$7
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
python=/usr/bin/python3

rm -rf "$work"
mkdir -p "$work"
SYMDECK_CORE_BUILD=$build "$python" -m pip install --quiet --disable-pip-version-check \
  --root-user-action=ignore --no-build-isolation --no-deps --target "$work/site" "$root/python"
mkdir -p "$work/damage"
"$make_damage" "$work/damage" >/dev/null
PYTHONPATH=$work/site PYTHONDONTWRITEBYTECODE=1 SYMDECK=$symdeck MAKE_LARGE=$make_large \
  SAMPLE=$sample CORPUS=$corpus DAMAGE=$work/damage WORK=$work \
  "$python" -m pytest -q -p no:cacheprovider "$here"
