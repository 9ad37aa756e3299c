#!/usr/bin/env bash
# The one list of what the tests, the checks and CI need beyond the machine's image, as
# Debian packages, each with the test that tells whether it is there.
#
#   tools/test-deps.sh check   GROUP...   prints the missing packages; status 1 if any
#   tools/test-deps.sh install GROUP...   installs the missing ones with apt-get (as root,
#                                         or through sudo without a password); otherwise
#                                         prints the one command to run and exits with 1
#
# Groups: test (make test; with the npm packages that tests/sql/package-lock.json pins, for
# the queries of docs/sql.md in DuckDB), windows (make test-windows), fuzz (make fuzz, make
# check-sanitize), wasm (make wasm and its tests under node, and the viewer), browser (the
# viewer's tests in Debian's chromium: the package, and the npm packages that
# tests/browser/package-lock.json pins, installed there by npm ci), all (every group). The
# program itself needs none of these: `make sample`
# builds it with the image alone.
set -euo pipefail

# group | package(s) | a shell test that succeeds when they are installed
deps() {
  cat <<'EOF'
test|cmake|command -v cmake
test|ninja-build|command -v ninja
test|g++|command -v g++
test|libgtest-dev|[ -e /usr/lib/x86_64-linux-gnu/libgtest.a ] || [ -e /usr/lib/libgtest.a ]
test|nlohmann-json3-dev|[ -e /usr/include/nlohmann/json.hpp ]
test|python3|[ -x /usr/bin/python3 ]
test|python3-jsonschema|/usr/bin/python3 -c 'import jsonschema' 2>/dev/null
test|python3-pytest|/usr/bin/python3 -c 'import pytest' 2>/dev/null
test|jq|command -v jq
test|nodejs|command -v node
test|npm|command -v npm
test|npm:tests/sql|[ -e "$ROOT/tests/sql/node_modules/@duckdb/node-api/package.json" ]
test|pkg-config|command -v pkg-config
test|lintian|command -v lintian
fuzz|clang|command -v clang++
fuzz|libclang-rt-14-dev|ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a
windows|g++-mingw-w64-x86-64-posix|command -v x86_64-w64-mingw32-g++-posix
windows|googletest|[ -e /usr/src/googletest/CMakeLists.txt ]
windows|wine wine64|command -v wine
windows|groff-base|command -v groff
windows|nlohmann-json3-dev|[ -e /usr/include/nlohmann/json.hpp ]
windows|python3|[ -x /usr/bin/python3 ]
wasm|wasi-libc|[ -e /usr/lib/wasm32-wasi/libc.a ]
wasm|libc++-14-dev-wasm32|[ -e /usr/lib/llvm-14/lib/wasm32-wasi/libc++.a ] || ls /usr/lib/wasm32-wasi/libc++.a
wasm|libc++abi-14-dev-wasm32|[ -e /usr/lib/llvm-14/lib/wasm32-wasi/libc++abi.a ] || ls /usr/lib/wasm32-wasi/libc++abi.a
wasm|libclang-rt-14-dev-wasm32|ls /usr/lib/llvm-14/lib/clang/*/lib/wasi/libclang_rt.builtins-wasm32.a
wasm|lld-14|command -v wasm-ld-14 || [ -x /usr/lib/llvm-14/bin/wasm-ld ]
wasm|clang-14|command -v clang++-14
wasm|nodejs|command -v node
browser|chromium|[ -x /usr/bin/chromium ]
browser|nodejs|command -v node
browser|npm|command -v npm
browser|npm:tests/browser|[ -e "$ROOT/tests/browser/node_modules/playwright-core/package.json" ]
EOF
}

usage() {
  echo "usage: tools/test-deps.sh check|install GROUP... (groups: test windows fuzz wasm browser all)" >&2
  exit 2
}

[ $# -ge 2 ] || usage
action=$1
shift
case $action in check|install) ;; *) usage ;; esac
for group in "$@"; do
  case $group in test|windows|fuzz|wasm|browser|all) ;; *) usage ;; esac
done

# The probes of npm packages look in the source tree.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export ROOT
missing=()
while IFS='|' read -r group packages probe; do
  in_group=false
  for g in "$@"; do
    if [ "$g" = all ] || [ "$g" = "$group" ]; then in_group=true; fi
  done
  $in_group || continue
  if ! sh -c "$probe" >/dev/null 2>&1; then
    for p in $packages; do
      case " ${missing[*]-} " in *" $p "*) ;; *) missing+=("$p") ;; esac
    done
  fi
done < <(deps)

if [ ${#missing[@]} -eq 0 ]; then
  [ "$action" = check ] || echo "Test dependencies ($*): all installed"
  exit 0
fi
if [ "$action" = check ]; then
  echo "${missing[*]}"
  exit 1
fi

# npm packages (npm:DIR) are installed by npm ci in DIR, from its package-lock, after the
# Debian packages (npm itself among them).
apt=()
npm_dirs=()
for p in "${missing[@]}"; do
  case $p in npm:*) npm_dirs+=("${p#npm:}") ;; *) apt+=("$p") ;; esac
done
install_npm() {
  for dir in ${npm_dirs[@]+"${npm_dirs[@]}"}; do
    echo "Installing the npm packages of $dir (npm ci)"
    (cd "$ROOT/$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  done
}
if [ ${#apt[@]} -eq 0 ]; then
  install_npm
  exit 0
fi
missing=("${apt[@]}")

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  sudo=(sudo)
else
  echo "The tests need Debian packages that are missing; install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
start=$SECONDS
echo "Installing the test dependencies: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A fresh machine has no package lists yet; an old list may name versions that are gone.
# Another apt run (a second checkout installing at the same time) holds the lock a while.
lock=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${lock[@]}" update -qq
"${sudo[@]}" apt-get "${lock[@]}" install -y -qq "${missing[@]}" >/dev/null
echo "Installed ${missing[*]} in $((SECONDS - start)) s"
install_npm
