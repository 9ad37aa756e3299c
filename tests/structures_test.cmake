# The structures' data files and the headers cmake/structures.cmake makes of them: what a
# file may say and how it comes out, what is no table, and a header left alone when its
# text is the same.
#   cmake -DWORK=DIR -P tests/structures_test.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/structures.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failures "")
set(cases 0)

function(fail what)
  set(failures "${failures}${what}\n" PARENT_SCOPE)
endfunction()

# The header of a data file with text `data`, into `out`, and what was wrong, into `why`.
function(made_from data out why)
  file(WRITE ${WORK}/t.structures "${data}")
  symdeck_structures_header(${WORK}/t.structures t.structures 1 header next error)
  set(${out} "${header}" PARENT_SCOPE)
  set(${why} "${error}" PARENT_SCOPE)
endfunction()

# The string literals of the first `return` in `header`, joined as the compiler joins them.
function(returned_text header out)
  string(REGEX MATCH "return (\"[^;]*\");" statement "${header}")
  string(REGEX MATCHALL "\"[^\"]*\"" literals "${CMAKE_MATCH_1}")
  set(text "")
  foreach(literal IN LISTS literals)
    string(REGEX REPLACE "^\"(.*)\"$" "\\1" literal "${literal}")
    string(APPEND text "${literal}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# What is no table, and where it is said to be: the file's line. A list's items cannot hold
# a `;`: <semicolon> stands for one.
set(rejected
  "kA \"W\" - 4\n|t.structures:1: a table without fields"
  "    n=size\n|t.structures:1: an indented line, but no table"
  "kA \"W\" - 4 as kL\n|t.structures:1: `kL` is no layout"
  "kA \"W\" - 4 n\n    m=\"size\n|t.structures:2: `\"` in a field text"
  "kA \"W\" - 4 n\n    m=size\\n\n|t.structures:2: `\\` in a field text"
  "kA \"W\" - 4 n<semicolon>m\n|t.structures:1: `<semicolon>` in a field text"
  "kA W - 4 n\n|t.structures:1: neither a comment"
  "kA \"W\" - 4K n\n|t.structures:1: neither a comment"
  "kA \"W\\\\\" - 4 n\n|t.structures:1: a block word with a backslash"
  "kA \"W\" - 4 n\nnamespace b\n|t.structures:2: a namespace comes once"
  "namespace a\nnamespace b\n|t.structures:2: a namespace comes once"
  "# a\n\nkA \"W\" - 4\n\nkB \"V\" - 4 n\n|t.structures:3: a table without fields"
)
foreach(row IN LISTS rejected)
  math(EXPR cases "${cases} + 1")
  string(REGEX MATCH "^(.*)\\|([^|]*)$" _ "${row}")
  string(REPLACE "<semicolon>" ";" data "${CMAKE_MATCH_1}")
  string(REPLACE "<semicolon>" ";" expected "${CMAKE_MATCH_2}")
  made_from("${data}" header why)
  string(FIND "${why}" "${expected}" at)
  if(at EQUAL -1 OR NOT header STREQUAL "")
    fail("[${data}]: expected the error `${expected}`, got `${why}` and a header of ${header}")
  endif()
endforeach()

# A field text, however its lines are cut, is the text the table states, with one space
# between fields.
set(texts
  "kA \"W\" - 4 a=size|a=size"
  "kA \"W\" - 8\n    a=size\n    b|a=size b"
  "kA \"W\" - 8 a=size \t\n    b  \n|a=size b"
  "kA \"W\" - 8 a=size\n    b=text/CHAR[0x104]   c\n\tN1..N2|a=size b=text/CHAR[0x104] c N1..N2"
  "layout kL a  b=enum!\n|a b=enum!"
  "layout kL\n    a\n    b[0x4] c]\n|a b[0x4] c]"
)
foreach(row IN LISTS texts)
  math(EXPR cases "${cases} + 1")
  string(REGEX MATCH "^(.*)\\|([^|]*)$" _ "${row}")
  set(data "${CMAKE_MATCH_1}")
  set(expected "${CMAKE_MATCH_2}")
  made_from("${data}" header why)
  returned_text("${header}" text)
  if(NOT why STREQUAL "" OR NOT text STREQUAL expected)
    fail("[${data}]: expected the text `${expected}`, got `${text}` (${why})")
  endif()
endforeach()

# Comments keep every character, the file's opening one above `#pragma once` and the others
# where they stand; a word may hold a space; no signature is an empty one; a table may take
# a layout's text; the namespace encloses the tables.
math(EXPR cases "${cases} + 1")
set(odd "a;b [c]] [[d \\ \"e\" \${X} @X@ \\")
made_from("#${odd}\n# two\n\nnamespace ns\n\n# ${odd}\nlayout kL n\nkA \"unknown type\" - 4 as kL \n\nkB \"W\" ABCD 8 ABCD=signature n\n" header why)
foreach(part
    "\n//${odd}\n// two\n#pragma once\n"
    "namespace symdeck::ns {\n\n// ${odd}\ninline constexpr auto kL = [] { return \"n\"; };\n"
    "inline constexpr auto kA = described(1, \"unknown type\", \"\", 4, kL);\n\n"
    "inline constexpr auto kB = described(2, \"W\", \"ABCD\", 8, [] {\n"
    "});\n\n}  // namespace symdeck::ns\n")
  string(FIND "${header}" "${part}" at)
  if(at EQUAL -1 OR NOT why STREQUAL "")
    fail("comments, words and layouts: `${part}` is not in the header (${why}):\n${header}")
  endif()
endforeach()

# A file with Windows line ends makes the same header; a file without a namespace line puts
# its tables in symdeck's.
math(EXPR cases "${cases} + 1")
made_from("# c\n\nkA \"W\" - 4 n\n" unix why)
made_from("# c\r\n\r\nkA \"W\" - 4 n\r\n" windows why)
string(FIND "${unix}" "namespace symdeck {" at)
if(NOT unix STREQUAL windows OR at EQUAL -1)
  fail("line ends: [${unix}] and [${windows}]")
endif()

# A header is written when its text changes, and only then, so that a configuration that
# changes nothing leaves every header's time as it was.
math(EXPR cases "${cases} + 1")
file(WRITE ${WORK}/w.structures "kA \"W\" - 4 n\n")
symdeck_write_structures_header(${WORK} w.structures 1 ${WORK}/out/w_description.h next)
file(TIMESTAMP ${WORK}/out/w_description.h first "%s")
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
symdeck_write_structures_header(${WORK} w.structures 1 ${WORK}/out/w_description.h next)
file(TIMESTAMP ${WORK}/out/w_description.h second "%s")
file(WRITE ${WORK}/w.structures "kA \"W\" - 8 n m\n")
symdeck_write_structures_header(${WORK} w.structures 1 ${WORK}/out/w_description.h next)
file(READ ${WORK}/out/w_description.h changed)
string(FIND "${changed}" "\"W\", \"\", 8," at)
if(NOT first STREQUAL second OR at EQUAL -1)
  fail("rewriting: times ${first} and ${second}, then the changed table ${changed}")
endif()

# Each data file under src/ gives the header at its path below src/, its tables numbered on
# from the last file's, in the order of the paths; the header of a data file that has gone
# goes too, and no other file is touched.
math(EXPR cases "${cases} + 1")
set(tree ${WORK}/tree)
file(WRITE ${tree}/src/a/x.structures "kA \"W\" - 4 n\n")
file(WRITE ${tree}/src/a/b/y.structures "kA \"W\" - 4 n\nkB \"V\" - 4 n\n")
file(WRITE ${tree}/generated/a/keep.h "")
symdeck_write_structures_headers(${tree} ${tree}/generated first)
file(RENAME ${tree}/src/a/x.structures ${tree}/src/a/z.structures)
symdeck_write_structures_headers(${tree} ${tree}/generated second)
file(GLOB_RECURSE headers RELATIVE ${tree}/generated ${tree}/generated/*)
list(SORT headers)
file(READ ${tree}/generated/a/b/y_description.h y)
file(READ ${tree}/generated/a/z_description.h z)
string(FIND "${y}" "kB = described(2, " yAt)
string(FIND "${z}" "kA = described(3, " zAt)
if(yAt EQUAL -1 OR zAt EQUAL -1)
  fail("the tables' numbers across files: ${y}${z}")
endif()
if(NOT first STREQUAL "src/a/b/y.structures;src/a/x.structures"
   OR NOT second STREQUAL "src/a/b/y.structures;src/a/z.structures"
   OR NOT headers STREQUAL "a/b/y_description.h;a/keep.h;a/z_description.h")
  fail("the tree's headers: ${first}, then ${second}, leaving ${headers}")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${cases} cases")
