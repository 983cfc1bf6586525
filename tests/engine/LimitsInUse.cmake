# Fails when a limit of engine/Limits.h is used nowhere in the program (engine/ and app/): the
# one header of caps on input holds only caps that are applied, each where it is checked.
#
#   cmake -DROOT=<source tree> -P LimitsInUse.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source tree) is not set")
endif()

file(STRINGS ${ROOT}/engine/Limits.h declarations REGEX "^inline (constexpr )?[A-Za-z_:]+ [A-Za-z0-9_]+[ (=]")
file(GLOB_RECURSE program ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp ${ROOT}/app/*.h ${ROOT}/app/*.cpp)
list(REMOVE_ITEM program ${ROOT}/engine/Limits.h)
set(text "")
foreach(source ${program})
  file(READ ${source} content)
  string(APPEND text "${content}")
endforeach()

set(unused)
foreach(line ${declarations})
  string(REGEX REPLACE "^inline (constexpr )?[A-Za-z_:]+ ([A-Za-z0-9_]+).*" "\\2" name "${line}")
  if(NOT text MATCHES "(^|[^A-Za-z0-9_])${name}([^A-Za-z0-9_]|$)")
    list(APPEND unused ${name})
  endif()
endforeach()

if(unused)
  list(JOIN unused ", " names)
  message(FATAL_ERROR "Limits that nothing applies: ${names}")
endif()
list(LENGTH declarations count)
message(STATUS "All ${count} limits are applied")
