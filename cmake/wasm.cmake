# The WebAssembly build (cmake/wasm32-wasi.cmake): the program as a WASI command, its
# launcher under node, and the core alone as a reactor with a C interface. Nothing else:
# the tests run the native build beside these (tests/wasm).
add_compile_definitions(SYMDECK_NO_THREADS)
target_compile_definitions(symdeck_frontend PRIVATE SYMDECK_VERSION="${PROJECT_VERSION}")

# 4 GiB is all that 32-bit linear memory can address; the stack is as large as the native
# program's main thread has.
set(SYMDECK_WASM_LINK -Wl,--max-memory=4294967296 -Wl,-z,stack-size=8388608 -Wl,--strip-debug)

add_executable(symdeck src/frontend/main.cpp src/wasm/operator_new.cpp)
target_link_libraries(symdeck PRIVATE symdeck_frontend)
target_link_options(symdeck PRIVATE ${SYMDECK_WASM_LINK} -mexec-model=command
                    -Wl,--export=symdeck_pending_temporary)

add_executable(symdeck-core src/entry/symdeck_core.cpp src/wasm/operator_new.cpp)
target_link_libraries(symdeck-core PRIVATE symdeck_core)
target_link_options(symdeck-core PRIVATE ${SYMDECK_WASM_LINK} -mexec-model=reactor
                    -Wl,--allow-undefined-file=${PROJECT_SOURCE_DIR}/src/wasm/host_imports.txt)

# The launcher and the JavaScript glue of the reactor, beside the modules.
configure_file(src/wasm/symdeck-wasm.mjs ${CMAKE_BINARY_DIR}/symdeck-wasm COPYONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
configure_file(src/wasm/symdeck-core.mjs ${CMAKE_BINARY_DIR}/symdeck-core.mjs COPYONLY)
set_target_properties(symdeck symdeck-core PROPERTIES SUFFIX .wasm)
