# WebAssembly build for WASI preview 1 with Debian's clang-14 (make wasm):
#   cmake -S . -B build-wasm -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake
# Needs wasi-libc, libc++-14-dev-wasm32, libc++abi-14-dev-wasm32, libclang-rt-14-dev-wasm32
# and lld-14 (tools/test-deps.sh, group wasm). No C++ exceptions and no threads.
# CMake 3.25 has no WASI platform of its own: a generic system, marked WASI for the project.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(WASI TRUE)

set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# wasi-libc's headers and libraries are under /usr/include/wasm32-wasi and
# /usr/lib/wasm32-wasi, which clang finds from the sysroot /usr; libc++'s headers for
# wasm32 are not on its default path.
set(CMAKE_SYSROOT /usr)
set(SYMDECK_WASM_LIBCXX_INCLUDE /usr/include/wasm32-wasi/c++/v1)
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -isystem ${SYMDECK_WASM_LIBCXX_INCLUDE}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
