# Fails when a file of the engine includes a header of the application, its resources, the
# window layer or Qt, or when the engine links anything but the platform core, zlib and brotli.
# Calls go from app/ to the engine, never back: the engine stands on platform/ alone.
#
# The links are read from the target graph of a fresh configuration of the tree (cmake
# --graphviz), so a link counts wherever it is written: in engine/CMakeLists.txt, in another
# folder's target_link_libraries(engine ...), or through a library that the engine links.
#
#   cmake -DROOT=<source tree> -DWORK=<scratch folder> [-DGENERATOR=<generator>] -P EngineStandsAlone.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT OR NOT WORK)
  message(FATAL_ERROR "ROOT (the source tree) and WORK (a scratch folder) must be set")
endif()

set(faults)

# Includes. A header is foreign by its folder or by a name that only a foreign folder has.
file(GLOB_RECURSE foreign_headers ${ROOT}/app/*.h ${ROOT}/res/*.h ${ROOT}/platform/ui/*.h)
set(foreign_names)
foreach(header ${foreign_headers})
  get_filename_component(name ${header} NAME)
  list(APPEND foreign_names ${name})
endforeach()
file(GLOB_RECURSE engine_files ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp)
foreach(source ${engine_files})
  file(RELATIVE_PATH shown ${ROOT} ${source})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" path "${line}")
    get_filename_component(name "${path}" NAME)
    if(name IN_LIST foreign_names OR path MATCHES "(^|/)(app|res|ui)/" OR path MATCHES "^Q[A-Za-z]*(/|$)")
      list(APPEND faults "${shown} includes ${path}")
    endif()
  endforeach()
endforeach()

# Links: the engine's own graph, everything it reaches. What the engine may link directly, and
# what those bring with them (the platform core's threads and dl, the libraries' files).
set(direct_allowed platform_core ZLIB::ZLIB PkgConfig::BROTLIDEC)
set(reached_allowed ${direct_allowed} engine Threads::Threads dl)
set(reached_allowed_files "^/.*/lib(z|brotli[a-z]*)\\.(so|a)[.0-9]*$")

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tree)
# Only the engine's own graph is wanted; the options file is read from the build folder.
file(WRITE ${WORK}/tree/CMakeGraphVizOptions.cmake
  "set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)\nset(GRAPHVIZ_CUSTOM_TARGETS FALSE)\n")
set(generator)
if(GENERATOR)
  set(generator -G ${GENERATOR})
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${ROOT} -B ${WORK}/tree ${generator} --graphviz=${WORK}/graph.dot
  RESULT_VARIABLE configured OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT configured EQUAL 0 OR NOT EXISTS ${WORK}/graph.dot.engine)
  message(FATAL_ERROR "The tree does not configure, so the engine's links cannot be read:\n${err}")
endif()

file(STRINGS ${WORK}/graph.dot.engine graph)
foreach(line ${graph})
  if(line MATCHES "^[ \t]*\"(node[0-9]+)\" \\[ label = \"([^\"]*)\"")
    set(label_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
endforeach()
set(reached)
foreach(line ${graph})
  if(line MATCHES "^[ \t]*\"(node[0-9]+)\" -> \"(node[0-9]+)\"")
    set(from "${label_${CMAKE_MATCH_1}}")
    set(to "${label_${CMAKE_MATCH_2}}")
    if(from STREQUAL "engine" AND NOT to IN_LIST direct_allowed)
      list(APPEND faults "the engine links ${to}")
    elseif(NOT to IN_LIST reached_allowed AND NOT to MATCHES "${reached_allowed_files}")
      list(APPEND faults "the engine links ${to} (through ${from})")
    endif()
    list(APPEND reached "${to}")
  endif()
endforeach()
if(NOT "platform_core" IN_LIST reached)
  list(APPEND faults "the engine's graph does not show platform_core: is the graph read right?")
endif()

if(faults)
  list(REMOVE_DUPLICATES faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "The engine reaches beyond the platform:\n  ${text}")
endif()
list(REMOVE_DUPLICATES reached)
list(JOIN reached ", " text)
message(STATUS "The engine includes nothing of the application and links only ${text}")
