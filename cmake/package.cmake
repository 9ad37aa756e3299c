# The Debian packages: `cpack -G DEB` in the build directory (tools/package.sh makes a
# release build for it), one package per install component:
#   symdeck          the program, its manual page, its documents in /usr/share/doc/symdeck,
#                    and in /usr/share/symdeck the viewer's page and the WebAssembly core
#                    module with its JavaScript glue, where this build has them;
#   libsymdeckN      the shared library, N the major version of its C interface;
#   libsymdeck-dev   the header, the static library, the link to the shared one, the CMake
#                    package and the pkg-config file.
# Each has the copyright file and the changelog Debian wants in its /usr/share/doc.

# The maintainer the packages and their changelog name: the project's own address, as its
# commits carry it. A packager who publishes them sets a reachable one.
set(SYMDECK_MAINTAINER "symdeck maintainers <maintainers@users.noreply.c-seed-0d9e72a4.example>"
    CACHE STRING "The Debian packages' maintainer, as Name <address>")
# The packaging's own revision after the program's version, and the changelog's date for it.
set(SYMDECK_DEB_REVISION 1)
set(SYMDECK_DEB_VERSION ${PROJECT_VERSION}-${SYMDECK_DEB_REVISION})
set(SYMDECK_CHANGELOG_DATE "Fri, 11 Dec 2026 12:00:00 +0000")
set(SYMDECK_LIBRARY_PACKAGE libsymdeck${SYMDECK_API_MAJOR})

# The copyright file in Debian's machine-readable form, the licence's text from LICENSE (a
# paragraph break is a line of " .").
file(READ ${PROJECT_SOURCE_DIR}/LICENSE SYMDECK_LICENSE_TEXT)
string(REGEX REPLACE "^.*\n\n(Permission is hereby)" "\\1" SYMDECK_LICENSE_TEXT "${SYMDECK_LICENSE_TEXT}")
string(STRIP "${SYMDECK_LICENSE_TEXT}" SYMDECK_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" SYMDECK_LICENSE_TEXT "${SYMDECK_LICENSE_TEXT}")
string(REPLACE "\n" "\n " SYMDECK_LICENSE_TEXT " ${SYMDECK_LICENSE_TEXT}")
set(SYMDECK_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
configure_file(cmake/package/copyright.in ${SYMDECK_PACKAGE_DIR}/copyright @ONLY)
configure_file(cmake/package/changelog.in ${SYMDECK_PACKAGE_DIR}/changelog.Debian @ONLY)
# Compressed as Debian has it: gzip -9, without the name and time stamp.
add_custom_command(
  OUTPUT ${SYMDECK_PACKAGE_DIR}/changelog.Debian.gz
  COMMAND ${SYMDECK_GZIP} -9 -n -f -k ${SYMDECK_PACKAGE_DIR}/changelog.Debian
  DEPENDS ${SYMDECK_PACKAGE_DIR}/changelog.Debian
  COMMENT "Compressing the Debian changelog")
add_custom_target(changelog_gz ALL DEPENDS ${SYMDECK_PACKAGE_DIR}/changelog.Debian.gz)
foreach(component symdeck library dev)
  set(package_name ${component})
  if(component STREQUAL "library")
    set(package_name ${SYMDECK_LIBRARY_PACKAGE})
  elseif(component STREQUAL "dev")
    set(package_name libsymdeck-dev)
  endif()
  install(FILES ${SYMDECK_PACKAGE_DIR}/copyright ${SYMDECK_PACKAGE_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package_name} COMPONENT ${component})
endforeach()

# The program's documents: the README, the pages of docs/ and the JSON schemas.
file(GLOB SYMDECK_DOCS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.schema.json)
install(FILES README.md ${SYMDECK_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT symdeck)
# The library's page and its example beside the header's package.
install(FILES docs/library.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libsymdeck-dev COMPONENT dev)
install(FILES docs/examples/report.c DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libsymdeck-dev/examples
        COMPONENT dev)
# The program is linked statically on purpose (CMakeLists.txt): lintian is told so.
install(FILES cmake/package/symdeck.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME symdeck COMPONENT symdeck)
# The WebAssembly core module and its glue beside the viewer's page, for pages of one's own.
if(SYMDECK_VIEWER)
  install(FILES ${SYMDECK_VIEWER_CORE}/symdeck-core.wasm src/wasm/symdeck-core.mjs
          DESTINATION ${CMAKE_INSTALL_DATADIR}/symdeck COMPONENT symdeck)
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "symdeck")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${SYMDECK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SYMDECK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SYMDECK_DEB_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL symdeck library dev)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
find_program(SYMDECK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SYMDECK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

# Debian control files want the long description in lines of under 80 columns.
set(CPACK_DEBIAN_SYMDECK_PACKAGE_NAME "symdeck")
set(CPACK_DEBIAN_SYMDECK_PACKAGE_SECTION "devel")
set(CPACK_COMPONENT_SYMDECK_DESCRIPTION
  "exact field-by-field reports of NMS symbol databases\n"
  "symdeck reads an NMS symbol database, a binary file with the debugging\n"
  "information of one module, and writes a report that lists every structure in\n"
  "it: the file header, the section directory, the string table, type records\n"
  "and tables, hash tables and per-segment symbol data. Each field stands on one\n"
  "line with its storage type, name and value, and every block is titled with\n"
  "its offset in the file. It never reads outside the file and never trusts a\n"
  "count or an offset, so damaged databases are reported too.\n"
  ".\n"
  "The report comes as plain text, as a JSON document (--json), as JSON lines\n"
  "(--json-lines), or as one page for the browser that shows the structures\n"
  "beside the file's bytes (--html). --diff OLD NEW compares two databases\n"
  "structure by structure. --explain=OFFSET tells which structure and field hold\n"
  "a byte of the file, and --check makes the exit status 2 for a damaged\n"
  "database. Section flags (-SYMD, +NMTP, ...) choose what is reported.\n"
  ".\n"
  "/usr/share/symdeck holds the viewer's page and the WebAssembly core module\n"
  "with its JavaScript glue, where the build made them.")
string(REPLACE ";" "" CPACK_COMPONENT_SYMDECK_DESCRIPTION "${CPACK_COMPONENT_SYMDECK_DESCRIPTION}")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${SYMDECK_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION "libs")
# The shlibs file that tells dpkg-shlibdeps which package a program linked with it needs, and
# the ldconfig trigger (CPack's own postinst and postrm call ldconfig too).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/package/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
  "NMS symbol database reports - shared library\n"
  "libsymdeck renders the reports of symdeck (text, JSON, JSON lines, the\n"
  "answers of explain, the viewer's view form and the map) from a database held\n"
  "in memory, through a write function the caller gives. It makes no system call\n"
  "and writes nothing of its own.\n"
  ".\n"
  "This package holds the shared library.")
string(REPLACE ";" "" CPACK_COMPONENT_LIBRARY_DESCRIPTION "${CPACK_COMPONENT_LIBRARY_DESCRIPTION}")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libsymdeck-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${SYMDECK_LIBRARY_PACKAGE} (= ${SYMDECK_DEB_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "NMS symbol database reports - development files\n"
  "libsymdeck renders the reports of symdeck (text, JSON, JSON lines, the\n"
  "answers of explain, the viewer's view form and the map) from a database held\n"
  "in memory, through a write function the caller gives.\n"
  ".\n"
  "This package holds the C header symdeck.h, the static library, the CMake\n"
  "package (symdeck::symdeck) and the pkg-config file (symdeck), with an example.")
string(REPLACE ";" "" CPACK_COMPONENT_DEV_DESCRIPTION "${CPACK_COMPONENT_DEV_DESCRIPTION}")
include(CPack)
