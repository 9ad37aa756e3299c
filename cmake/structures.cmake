# The structures' tables: each `*.structures` file under src/ states the tables of one part
# of the format, and the configuration turns it into the header the decoders include: in
# ${CMAKE_BINARY_DIR}/generated/, at the data file's path below src/ with `.structures` made
# `_description.h` (src/format/symbols/symbol_data.structures gives the header
# format/symbols/symbol_data_description.h).
#
# A file's lines, each one of:
#   # a comment                 the header's `// a comment`, where it stands; the comment
#                               lines that open the file, up to a blank line, open the header
#   namespace NAME              the tables' namespace, symdeck::NAME (none: symdeck); at most
#                               once, before the first table
#   kName "WORD" SIG SIZE TEXT  a structure's table: its constant, block word, signature
#                               (`-` when none), size in bytes and field text
#                               (format/description.h, laidOut)
#   kName "WORD" SIG SIZE as kLayout
#                               a table whose field text is the layout kLayout's
#   layout kLayout TEXT         a field text that several tables share
#       more TEXT               an indented line goes on with the text of the line above
# and blank lines. Each line of a text is one piece of its string literal in the header.
#
# The header is written only when its text changes, so that a configuration which changes
# nothing rebuilds nothing; each file is a configure dependency, so an edit re-configures.

# The text of the header that data file `path` states, into `out`; `shown` is the name the
# header's first line gives its source. What is no table leaves `out` empty and says why,
# with the file and line, in `error`. The tables are numbered from `first` on, in the order
# they stand, and `next` is the number after the last: every table of the program has a
# number of its own, which makes each of its fields one (description.h, FieldDescription::id).
function(symdeck_structures_header path shown first out next error)
  set(${out} "" PARENT_SCOPE)
  set(${next} ${first} PARENT_SCOPE)
  set(${error} "" PARENT_SCOPE)
  file(READ ${path} content)
  # A CMake list splits at `;` (unless escaped by `\`, or inside `[...]`): the characters
  # that would change how the lines split are stood in for by control characters until the
  # file is cut into its lines, and each line is given back its own at once.
  string(ASCII 1 semicolon)
  string(ASCII 2 open)
  string(ASCII 3 close)
  string(ASCII 4 backslash)
  foreach(c ${semicolon} ${open} ${close} ${backslash})
    string(FIND "${content}" "${c}" at)
    if(NOT at EQUAL -1)
      set(${error} "${shown}: a control character where only text may stand" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  string(REPLACE "\\" "${backslash}" content "${content}")
  string(REPLACE ";" "${semicolon}" content "${content}")
  string(REPLACE "[" "${open}" content "${content}")
  string(REPLACE "]" "${close}" content "${content}")
  string(REPLACE "\r" "" content "${content}")
  string(REGEX REPLACE "\n$" "" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")

  set(namespace "symdeck")
  set(opening "")        # the file's opening comment
  set(body "")           # the declarations, with their comments
  set(layouts "")        # the layouts stated so far
  set(started FALSE)     # past the opening comment
  set(tables FALSE)      # a table or layout has been stated
  set(blank FALSE)       # a blank line waits to be written before what comes next
  set(entry "")          # the table or layout whose text may go on: its declaration's head
  set(pieces "")         # that text's pieces, each a C++ string literal but its closing quote
  set(count 0)           # how many pieces
  set(entry_line 0)
  set(number 0)
  set(table ${first})    # the number of the next table
  set(name "[A-Za-z_][A-Za-z0-9_]*")
  # An empty line after the last writes the last table.
  list(APPEND lines "")
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REPLACE "${backslash}" "\\" line "${line}")
    string(REPLACE "${semicolon}" ";" line "${line}")
    string(REPLACE "${open}" "[" line "${line}")
    string(REPLACE "${close}" "]" line "${line}")
    string(REGEX REPLACE "[ \t]+$" "" line "${line}")
    set(where "${shown}:${number}")
    set(text "")

    if(line MATCHES "^[ \t]+[^ \t]")
      # An indented line goes on with the text of the table above it.
      if(entry STREQUAL "")
        set(${error} "${where}: an indented line, but no table above it to go on with" PARENT_SCOPE)
        return()
      endif()
      string(STRIP "${line}" text)
    else()
      # Any other line ends the table above it, which is written now.
      if(NOT entry STREQUAL "")
        if(count EQUAL 0)
          set(${error} "${shown}:${entry_line}: a table without fields" PARENT_SCOPE)
          return()
        endif()
        if(entry MATCHES "^layout (.*)$" AND count EQUAL 1)
          string(APPEND body "inline constexpr auto ${CMAKE_MATCH_1} = [] { return ${pieces}\"; };\n")
        elseif(entry MATCHES "^layout (.*)$")
          string(APPEND body "inline constexpr auto ${CMAKE_MATCH_1} = [] {\n    return ${pieces}\";\n};\n")
        else()
          string(APPEND body "${entry} [] {\n    return ${pieces}\";\n});\n")
        endif()
        set(entry "")
      endif()

      if(line MATCHES "^[ \t]*$")
        # A blank line: the end of the opening comment, or one between declarations.
        if(NOT opening STREQUAL "")
          set(started TRUE)
        endif()
        if(NOT body STREQUAL "")
          set(blank TRUE)
        endif()
        continue()
      endif()
      if(line MATCHES "^#(.*)$" AND NOT started)
        string(APPEND opening "//${CMAKE_MATCH_1}\n")
        continue()
      endif()
      # The comment lines straight above a table are that table's, not the file's.
      if(NOT started AND NOT line MATCHES "^namespace ")
        set(body "${opening}")
        set(opening "")
      endif()
      set(started TRUE)
      if(line MATCHES "^namespace (${name})$")
        if(tables OR NOT namespace STREQUAL "symdeck")
          set(${error} "${where}: a namespace comes once, before the first table" PARENT_SCOPE)
          return()
        endif()
        set(namespace "symdeck::${CMAKE_MATCH_1}")
        continue()
      endif()
      if(blank)
        string(APPEND body "\n")
        set(blank FALSE)
      endif()

      if(line MATCHES "^#(.*)$")
        string(APPEND body "//${CMAKE_MATCH_1}\n")
        continue()
      endif()
      set(tables TRUE)
      set(entry_line ${number})
      set(pieces "")
      set(count 0)
      if(line MATCHES "^layout (${name})( +(.*))?$")
        set(entry "layout ${CMAKE_MATCH_1}")
        list(APPEND layouts ${CMAKE_MATCH_1})
        set(text "${CMAKE_MATCH_3}")
      elseif(line MATCHES "^(${name}) +\"([^\"]+)\" +(-|[A-Za-z0-9_]+) +([0-9]+)( +(.*))?$")
        set(constant "${CMAKE_MATCH_1}")
        set(word "${CMAKE_MATCH_2}")
        set(signature "${CMAKE_MATCH_3}")
        set(size "${CMAKE_MATCH_4}")
        set(text "${CMAKE_MATCH_6}")
        string(FIND "${word}" "\\" at)
        if(NOT at EQUAL -1)
          set(${error} "${where}: a block word with a backslash" PARENT_SCOPE)
          return()
        endif()
        if(signature STREQUAL "-")
          set(signature "")
        endif()
        set(head "inline constexpr auto ${constant} = described(${table}, \"${word}\", \"${signature}\", ${size},")
        math(EXPR table "${table} + 1")
        if(text MATCHES "^as +(${name})$")
          set(layout "${CMAKE_MATCH_1}")
          if(NOT layout IN_LIST layouts)
            set(${error} "${where}: `${layout}` is no layout stated above" PARENT_SCOPE)
            return()
          endif()
          string(APPEND body "${head} ${layout});\n")
          continue()
        endif()
        set(entry "${head}")
      else()
        set(${error} "${where}: neither a comment, a namespace, a layout nor a table "
                     "(kName \"WORD\" SIGNATURE SIZE FIELDS, with `-` for no signature)" PARENT_SCOPE)
        return()
      endif()
    endif()

    # One piece of a field text, which goes inside a C++ string literal: names, `=`, `/`,
    # `!` and `N1..Nk`, and the brackets of a storage word such as CHAR[0x104].
    if(NOT text STREQUAL "")
      string(REGEX REPLACE "[ \t]+" " " text "${text}")
      string(REGEX REPLACE "[A-Za-z0-9_=/!. ]" "" rest "${text}")
      string(REPLACE "[" "" rest "${rest}")
      string(REPLACE "]" "" rest "${rest}")
      if(NOT rest STREQUAL "")
        set(${error} "${where}: `${rest}` in a field text, which is made of names, `=`, `/`, `!`, `.`, `[` and `]`" PARENT_SCOPE)
        return()
      endif()
      if(count GREATER 0)
        string(APPEND pieces " \"\n           ")
      endif()
      string(APPEND pieces "\"${text}")
      math(EXPR count "${count} + 1")
    endif()
  endforeach()

  set(header "// Generated from ${shown} by cmake/structures.cmake; edit that file.\n")
  string(APPEND header "${opening}#pragma once\n\n#include \"format/description.h\"\n\n"
                       "namespace ${namespace} {\n\n${body}\n}  // namespace ${namespace}\n")
  set(${out} "${header}" PARENT_SCOPE)
  set(${next} ${table} PARENT_SCOPE)
endfunction()

# Writes the header of data file `path` (relative to `source`) into `header`, only when its
# text changed: a configuration that changes no table leaves every header as it was, and
# nothing that includes one is built again. Its tables are numbered from `first` on; `next`
# is the number after its last.
function(symdeck_write_structures_header source path first header next)
  symdeck_structures_header(${source}/${path} ${path} ${first} made after why)
  set(${next} ${after} PARENT_SCOPE)
  if(NOT why STREQUAL "")
    message(FATAL_ERROR "${why}")
  endif()
  if(EXISTS ${header})
    file(READ ${header} written)
    if("${written}" STREQUAL "${made}")
      return()
    endif()
  endif()
  file(WRITE ${header} "${made}")
endfunction()

# The headers of every data file under `source`/src into the folder `generated`, and the
# data files' paths into `out`. The header of a data file that is gone (removed, renamed)
# goes too, so that nothing compiles against a table no longer stated.
function(symdeck_write_structures_headers source generated out)
  file(GLOB_RECURSE paths RELATIVE ${source} ${source}/src/*.structures)
  file(GLOB_RECURSE stale ${generated}/*_description.h)
  # The tables are numbered across the files, in the order of their paths, from 1.
  set(table 1)
  foreach(path IN LISTS paths)
    file(RELATIVE_PATH include ${source}/src ${source}/${path})
    string(REGEX REPLACE "\\.structures$" "_description.h" include "${include}")
    symdeck_write_structures_header(${source} ${path} ${table} ${generated}/${include} table)
    list(REMOVE_ITEM stale ${generated}/${include})
  endforeach()
  if(stale)
    file(REMOVE ${stale})
  endif()
  set(${out} "${paths}" PARENT_SCOPE)
endfunction()

# The structures' headers for `target`, whose users find them through its include folder.
# An edit of a data file configures again, and so does one added or removed.
function(symdeck_structures target)
  set(generated ${CMAKE_BINARY_DIR}/generated)
  symdeck_write_structures_headers(${PROJECT_SOURCE_DIR} ${generated} paths)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.structures)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${found})
  target_include_directories(${target} PUBLIC ${generated})
endfunction()
