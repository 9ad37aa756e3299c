# libsymdeck: the core and its C interface (include/symdeck.h) for other programs, as a
# static and a shared library from the core's own objects, with a CMake package
# (symdeck::symdeck, the shared library; symdeck::static, the static one) and a pkg-config
# file. docs/library.md says how to build against them.

# The shared library's major version, in its SONAME, is the C interface's version.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/symdeck.h SYMDECK_API_LINE REGEX "^#define SYMDECK_API_VERSION [0-9]+$")
string(REGEX REPLACE "^#define SYMDECK_API_VERSION " "" SYMDECK_API_MAJOR "${SYMDECK_API_LINE}")
set(SYMDECK_LIBRARY_VERSION ${SYMDECK_API_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})

# The C++ runtime a program that links the static library needs beside it (the shared
# library names its own).
set(SYMDECK_STATIC_LIBS stdc++ m)

add_library(symdeck_shared SHARED $<TARGET_OBJECTS:symdeck_core>)
# Only the C interface leaves the library: the version script hides the C++ library's
# template instances too, which the compiler's visibility alone leaves exported.
set(SYMDECK_EXPORTS ${PROJECT_SOURCE_DIR}/cmake/library/symdeck.map)
target_link_options(symdeck_shared PRIVATE -Wl,--version-script=${SYMDECK_EXPORTS})
# Every symbol it needs is in it or in the libraries it names; a sanitizer's runtime, though,
# is the program's to bring (clang links it into programs only).
if(NOT SYMDECK_SANITIZE AND NOT SYMDECK_FUZZ)
  target_link_options(symdeck_shared PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(symdeck_shared PROPERTIES
  OUTPUT_NAME symdeck EXPORT_NAME symdeck LINKER_LANGUAGE CXX LINK_DEPENDS ${SYMDECK_EXPORTS}
  VERSION ${SYMDECK_LIBRARY_VERSION} SOVERSION ${SYMDECK_API_MAJOR})
find_package(Threads REQUIRED)
target_link_libraries(symdeck_shared PRIVATE Threads::Threads)

add_library(symdeck_static STATIC $<TARGET_OBJECTS:symdeck_core>)
set_target_properties(symdeck_static PROPERTIES OUTPUT_NAME symdeck EXPORT_NAME static LINKER_LANGUAGE CXX)
target_link_libraries(symdeck_static INTERFACE ${SYMDECK_STATIC_LIBS} Threads::Threads)

foreach(library symdeck_shared symdeck_static)
  target_include_directories(${library} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()

install(TARGETS symdeck_shared EXPORT symdeckTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev)
install(TARGETS symdeck_static EXPORT symdeckTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES include/symdeck.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

set(SYMDECK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/symdeck)
install(EXPORT symdeckTargets NAMESPACE symdeck:: DESTINATION ${SYMDECK_CMAKE_DIR} COMPONENT dev)
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/library/symdeckConfig.cmake.in
  ${CMAKE_BINARY_DIR}/library/symdeckConfig.cmake INSTALL_DESTINATION ${SYMDECK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/library/symdeckConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/library/symdeckConfig.cmake ${CMAKE_BINARY_DIR}/library/symdeckConfigVersion.cmake
  DESTINATION ${SYMDECK_CMAKE_DIR} COMPONENT dev)

# pkg-config finds the prefix from where the file lies, so that any install prefix is
# right: the way up from the file's directory to the prefix is as many `..` as the
# directory's depth below it.
set(SYMDECK_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${SYMDECK_PC_DIR}")
  message(FATAL_ERROR "libsymdeck's pkg-config file wants CMAKE_INSTALL_LIBDIR below the prefix, not ${SYMDECK_PC_DIR}")
endif()
string(REGEX REPLACE "[^/]+" ".." SYMDECK_PC_UP "${SYMDECK_PC_DIR}")
list(TRANSFORM SYMDECK_STATIC_LIBS PREPEND -l OUTPUT_VARIABLE SYMDECK_PC_PRIVATE)
list(JOIN SYMDECK_PC_PRIVATE " " SYMDECK_PC_PRIVATE)
configure_file(cmake/library/symdeck.pc.in ${CMAKE_BINARY_DIR}/library/symdeck.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/library/symdeck.pc DESTINATION ${SYMDECK_PC_DIR} COMPONENT dev)
