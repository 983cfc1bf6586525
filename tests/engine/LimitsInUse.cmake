# Fails when a limit of a header of caps is used nowhere in the code that reads the input it
# bounds: such a header holds only caps that are applied, each where it is checked. A name counts
# as used only in code: mentions in comments and in string or character literals do not count.
#
#   cmake -DROOT=<source tree> -DHEADER=<header> -DSEARCH="<folder>;..." -P LimitsInUse.cmake
#
# HEADER and SEARCH are relative to ROOT; the default is the engine's header, searched in the
# engine and the application.
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source tree) is not set")
endif()
if(NOT HEADER)
  set(HEADER engine/Limits.h)
endif()
if(NOT SEARCH)
  set(SEARCH engine app)
endif()

# The text with every comment, string literal and character literal made a blank. One pass,
# left to right, so that a quote inside a comment or "//" inside a string is read as the
# compiler reads it.
function(code_only text out)
  set(block_comment "/\\*([^*]|\\*+[^*/])*\\*+/")
  set(line_comment "//[^\n]*")
  set(string_literal "\"([^\"\\\\\n]|\\\\.)*\"")
  set(char_literal "'([^'\\\\\n]|\\\\.)*'")
  string(REGEX REPLACE "${block_comment}|${line_comment}|${string_literal}|${char_literal}" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ ${ROOT}/${HEADER} header)
code_only("${header}" header)

# Every name the header declares, whatever its form: each declarator of a constant or variable
# (`inline constexpr unsigned long kMaxOther = 7;`, `constexpr size_t kA{1}, kB = 2;`) is a name
# followed by its initializer, and an object-like macro is a name after #define.
set(names)
string(REGEX MATCHALL "#[ \t]*define[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t\n]" macros "${header}")
foreach(macro ${macros})
  string(REGEX REPLACE "#[ \t]*define[ \t]+([A-Za-z_][A-Za-z0-9_]*).*" "\\1" name "${macro}")
  list(APPEND names ${name})
endforeach()
string(REGEX REPLACE "#[^\n]*" " " declarations "${header}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*[ \t\n]*(=[^=]|{)" declarators "${declarations}")
foreach(declarator ${declarators})
  string(REGEX REPLACE "^([A-Za-z_][A-Za-z0-9_]*).*" "\\1" name "${declarator}")
  list(APPEND names ${name})
endforeach()
list(REMOVE_DUPLICATES names)
if(NOT names)
  message(FATAL_ERROR "${HEADER} declares no limit that this check can read")
endif()

set(program)
foreach(folder ${SEARCH})
  file(GLOB_RECURSE found ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  list(APPEND program ${found})
endforeach()
list(REMOVE_ITEM program ${ROOT}/${HEADER})
set(code "")
foreach(source ${program})
  file(READ ${source} content)
  code_only("${content}" content)
  string(APPEND code "${content}\n")
endforeach()

set(unused)
foreach(name ${names})
  if(NOT code MATCHES "(^|[^A-Za-z0-9_])${name}([^A-Za-z0-9_]|$)")
    list(APPEND unused ${name})
  endif()
endforeach()

if(unused)
  list(JOIN unused ", " text)
  message(FATAL_ERROR "Limits of ${HEADER} that nothing applies: ${text}")
endif()
list(LENGTH names count)
list(JOIN names ", " text)
message(STATUS "All ${count} limits of ${HEADER} are applied: ${text}")
