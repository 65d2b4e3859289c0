# The layer check: a file under src/ includes only headers of its own folder and of the folders
# below it. Run as a test: cmake -DSOURCE_DIR=<src> -P layer_check.cmake
#
# The road, bottom to top (traffic and simlink stand side by side and include neither the other):
#   platform -> core -> params -> simconnect -> {traffic, simlink} -> liveries -> airports
#   -> engine -> run -> app

cmake_minimum_required(VERSION 3.25)

set(layer_platform 0)
set(layer_core 1)
set(layer_params 2)
set(layer_simconnect 3)
set(layer_traffic 4)
set(layer_simlink 4)
set(layer_liveries 5)
set(layer_airports 6)
set(layer_engine 7)
set(layer_run 8)
set(layer_app 9)

# The named seams that still go upward, each "file|included header|why". Every entry must still
# occur, so the list only shrinks.
set(allowed_includes
)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "layer_check: SOURCE_DIR is not set")
endif()
get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)

set(allowed_keys "")
foreach(entry IN LISTS allowed_includes)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 allowed_file)
  list(GET fields 1 allowed_header)
  list(APPEND allowed_keys "${allowed_file}>${allowed_header}")
endforeach()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*/*.h ${SOURCE_DIR}/*/*.cpp)
list(SORT sources)
set(violations "")
set(used_keys "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" from ${source})
  if(NOT DEFINED layer_${from})
    list(APPEND violations "${source}: folder ${from} has no place in the layer table")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS include_lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+" to ${header})
    if(to STREQUAL from OR NOT DEFINED layer_${to})
      continue()
    endif()
    if(layer_${to} LESS layer_${from})
      continue()
    endif()
    set(key "${source}>${header}")
    if(key IN_LIST allowed_keys)
      list(APPEND used_keys ${key})
      continue()
    endif()
    list(APPEND violations "${source} includes ${header}: ${to} is not below ${from}")
  endforeach()
endforeach()

foreach(key IN LISTS allowed_keys)
  if(NOT key IN_LIST used_keys)
    list(APPEND violations "allowed include ${key} no longer occurs: take it off the list")
  endif()
endforeach()

if(violations)
  list(LENGTH violations count)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "layer check: ${count} fault(s)\n  ${text}")
endif()
list(LENGTH used_keys allowed_count)
message(STATUS "layer check: every include goes down or stays in its folder (${allowed_count} allowed)")
