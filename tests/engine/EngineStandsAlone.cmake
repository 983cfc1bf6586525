# Fails when a file of the engine includes a header of the application or of its resources, or
# when the engine's build names one of their libraries or folders. Calls go from app/ to the
# engine, never back: the engine stands on platform/ alone and links on its own.
#
#   cmake -DROOT=<source tree> -P EngineStandsAlone.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source tree) is not set")
endif()

file(GLOB_RECURSE foreign_headers ${ROOT}/app/*.h ${ROOT}/res/*.h)
set(foreign_names)
foreach(header ${foreign_headers})
  get_filename_component(name ${header} NAME)
  list(APPEND foreign_names ${name})
endforeach()

set(faults)
file(GLOB_RECURSE engine_files ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp)
foreach(source ${engine_files})
  file(RELATIVE_PATH shown ${ROOT} ${source})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" path "${line}")
    get_filename_component(name "${path}" NAME)
    if(name IN_LIST foreign_names OR path MATCHES "(^|/)(app|res)/")
      list(APPEND faults "${shown} includes ${path}")
    endif()
  endforeach()
endforeach()

# The libraries the application and its resources define, and the engine's build without its
# comments.
file(GLOB_RECURSE foreign_lists ${ROOT}/app/CMakeLists.txt ${ROOT}/res/CMakeLists.txt)
set(foreign_targets)
foreach(list_file ${foreign_lists})
  file(STRINGS ${list_file} definitions REGEX "add_library\\(")
  foreach(line ${definitions})
    string(REGEX REPLACE ".*add_library\\([ \t]*([A-Za-z0-9_]+).*" "\\1" target "${line}")
    list(APPEND foreign_targets ${target})
  endforeach()
endforeach()
file(STRINGS ${ROOT}/engine/CMakeLists.txt engine_build REGEX "^[ \t]*[^# \t]")
foreach(line ${engine_build})
  foreach(target ${foreign_targets})
    if(line MATCHES "(^|[^A-Za-z0-9_])${target}([^A-Za-z0-9_]|$)")
      list(APPEND faults "engine/CMakeLists.txt links ${target}")
    endif()
  endforeach()
  if(line MATCHES "/(app|res)([/ )]|$)")
    list(APPEND faults "engine/CMakeLists.txt reaches into app/ or res/")
  endif()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "The engine reaches into the application:\n  ${text}")
endif()
message(STATUS "The engine includes and links nothing of the application")
