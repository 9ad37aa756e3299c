# The viewer (viewer/): one self-contained page whose walk is this core built for
# WebAssembly. Where the WebAssembly packages and node are installed (tools/test-deps.sh,
# group wasm), the ordinary build makes the core module in viewer-core/, the page in
# viewer/symdeck-viewer.html, and embeds the page in the program for --html. Elsewhere the
# rest builds as ever; the program's --html and `make viewer` say which packages they need.
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/test-deps.sh check wasm
                RESULT_VARIABLE SYMDECK_VIEWER_MISSING OUTPUT_QUIET ERROR_QUIET)
# node, clang-14 and the wasm32 libraries run or are used on the build machine, also in a
# cross build: its own root (the target's libraries) is no place to look for them.
find_program(SYMDECK_NODE node NO_CMAKE_FIND_ROOT_PATH)
if(NOT SYMDECK_VIEWER_MISSING EQUAL 0 OR NOT SYMDECK_NODE OR NOT EXISTS ${PROJECT_SOURCE_DIR}/cmake/wasm32-wasi.cmake)
  message(STATUS "The WebAssembly packages are not installed: no viewer, --html says so "
                 "(tools/test-deps.sh install wasm)")
  set(SYMDECK_VIEWER OFF)
  return()
endif()
set(SYMDECK_VIEWER ON)

# The core module, built by a build of its own with the WebAssembly toolchain; its
# sources are this build's, so a change to any of them makes it again. It takes nothing
# from this build's compiler: its toolchain file names clang-14 for wasm32, and compiler
# and linker flags in the environment (meant for this build's compiler, e.g. MinGW's in the
# Windows cross build) are left out of it.
set(SYMDECK_VIEWER_CORE ${CMAKE_BINARY_DIR}/viewer-core)
file(GLOB_RECURSE SYMDECK_VIEWER_CORE_INPUTS CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/format/* ${PROJECT_SOURCE_DIR}/src/forms/* ${PROJECT_SOURCE_DIR}/src/entry/*
  ${PROJECT_SOURCE_DIR}/include/*
  ${PROJECT_SOURCE_DIR}/src/wasm/*)
add_custom_command(
  OUTPUT ${SYMDECK_VIEWER_CORE}/symdeck-core.wasm
  COMMAND ${CMAKE_COMMAND} -E env --unset=CXXFLAGS --unset=LDFLAGS
          ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${SYMDECK_VIEWER_CORE} -G Ninja
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/wasm32-wasi.cmake
          > ${SYMDECK_VIEWER_CORE}.log
  COMMAND ${CMAKE_COMMAND} --build ${SYMDECK_VIEWER_CORE} --target symdeck-core
  DEPENDS ${SYMDECK_VIEWER_CORE_INPUTS} ${PROJECT_SOURCE_DIR}/cmake/wasm.cmake
          ${PROJECT_SOURCE_DIR}/cmake/structures.cmake
          ${PROJECT_SOURCE_DIR}/cmake/wasm32-wasi.cmake ${PROJECT_SOURCE_DIR}/CMakeLists.txt
  COMMENT "Building the core for WebAssembly: the viewer's walk")

# The page, and its copy for the program.
set(SYMDECK_VIEWER_DIR ${CMAKE_BINARY_DIR}/viewer)
file(GLOB_RECURSE SYMDECK_VIEWER_INPUTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/viewer/*)
add_custom_command(
  OUTPUT ${SYMDECK_VIEWER_DIR}/symdeck-viewer.html ${SYMDECK_VIEWER_DIR}/viewer_page.cpp
  COMMAND ${SYMDECK_NODE} ${PROJECT_SOURCE_DIR}/tools/build-viewer.mjs ${PROJECT_SOURCE_DIR}/viewer
          ${PROJECT_SOURCE_DIR}/src/wasm/symdeck-core.mjs ${SYMDECK_VIEWER_CORE}/symdeck-core.wasm ${SYMDECK_VIEWER_DIR}
  DEPENDS ${SYMDECK_VIEWER_INPUTS} ${PROJECT_SOURCE_DIR}/tools/build-viewer.mjs
          ${PROJECT_SOURCE_DIR}/src/wasm/symdeck-core.mjs ${SYMDECK_VIEWER_CORE}/symdeck-core.wasm
  COMMENT "Building the viewer's page")
add_custom_target(viewer ALL DEPENDS ${SYMDECK_VIEWER_DIR}/symdeck-viewer.html)
target_sources(symdeck_frontend PRIVATE ${SYMDECK_VIEWER_DIR}/viewer_page.cpp)
set_source_files_properties(src/frontend/viewer_page.cpp PROPERTIES COMPILE_DEFINITIONS SYMDECK_VIEWER)
