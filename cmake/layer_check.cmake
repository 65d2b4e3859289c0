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

# Includes that still go upward, each "file|included header|why". Every entry must still occur.
set(allowed_includes
  "airports/addon_airport_scan.cpp|app/message_line.h|not yet moved below"
  "airports/addon_airport_scan.cpp|run/exit.h|not yet moved below"
  "airports/addon_airport_scan.h|app/main_window.h|not yet moved below"
  "airports/learned_merge.cpp|app/shell_services.h|not yet moved below"
  "airports/learned_save.cpp|app/shell_services.h|not yet moved below"
  "airports/park_airport_choice.cpp|app/shell_services.h|not yet moved below"
  "airports/park_airport_choice.cpp|engine/park_options.h|not yet moved below"
  "airports/park_airport_choice.cpp|engine/stand_query.h|not yet moved below"
  "airports/park_airport_choice.cpp|engine/static_parking.h|not yet moved below"
  "airports/park_airport_list.cpp|app/shell_services.h|not yet moved below"
  "airports/parking_adjustments.cpp|app/shell_services.h|not yet moved below"
  "airports/parking_adjustments.cpp|engine/ac_identity.h|not yet moved below"
  "airports/parking_adjustments.cpp|engine/live_removal.h|not yet moved below"
  "airports/parking_adjustments.cpp|engine/park_options.h|not yet moved below"
  "airports/parking_adjustments.cpp|engine/static_parking.h|not yet moved below"
  "airports/parking_adjustments.h|engine/ac_records.h|not yet moved below"
  "airports/scenery_config.cpp|app/message_line.h|not yet moved below"
  "airports/scenery_config.cpp|run/simulator_detection.h|not yet moved below"
  "airports/scenery_config.cpp|run/startup.h|not yet moved below"
  "airports/stand_file_loader.cpp|app/shell_services.h|not yet moved below"
  "airports/static_parking_calc.cpp|app/shell_services.h|not yet moved below"
  "airports/static_parking_calc.cpp|engine/park_options.h|not yet moved below"
  "airports/static_parking_calc.cpp|engine/stand_query.h|not yet moved below"
  "airports/static_parking_calc.cpp|engine/static_parking.h|not yet moved below"
  "engine/ground_movement.cpp|app/main_window.h|not yet moved below"
  "engine/ground_movement.cpp|run/run_flags.h|not yet moved below"
  "engine/ground_movement.cpp|run/traffic_range.h|not yet moved below"
  "engine/live_sim_events.cpp|run/run_flags.h|not yet moved below"
  "engine/park_options.cpp|app/main_window.h|not yet moved below"
  "engine/park_options.cpp|run/run_flags.h|not yet moved below"
  "engine/parked_removal.cpp|app/main_window.h|not yet moved below"
  "engine/parked_removal.cpp|run/run_flags.h|not yet moved below"
  "engine/removal_rules.cpp|run/run_flags.h|not yet moved below"
  "engine/spawning.cpp|run/run_flags.h|not yet moved below"
  "engine/static_parking.cpp|run/run_flags.h|not yet moved below"
  "engine/stream_intake.cpp|run/run_flags.h|not yet moved below"
  "liveries/ai_folders.cpp|run/simulator_detection.h|not yet moved below"
  "liveries/livery_matching.cpp|airports/stand.h|not yet moved below"
  "liveries/livery_matching.cpp|engine/ac_identity.h|not yet moved below"
  "liveries/livery_matching.h|engine/ac_records.h|not yet moved below"
  "liveries/livery_scan.cpp|app/main_window.h|not yet moved below"
  "liveries/livery_scan.cpp|app/message_line.h|not yet moved below"
  "liveries/livery_scan.cpp|run/exit.h|not yet moved below"
  "liveries/livery_tables.cpp|app/main_window.h|not yet moved below"
  "liveries/match_summary.cpp|app/message_line.h|not yet moved below"
  "liveries/match_summary.h|engine/ac_records.h|not yet moved below"
  "liveries/publishers.cpp|airports/scan_messages.h|not yet moved below"
  "liveries/regcode_lists.cpp|app/message_line.h|not yet moved below"
  "liveries/regcode_lists.cpp|engine/ac_identity.h|not yet moved below"
  "liveries/similar_models.h|engine/ac_records.h|not yet moved below"
  "run/exit.cpp|app/app_messages.h|not yet moved below"
  "run/exit.cpp|app/main_window.h|not yet moved below"
  "run/exit.cpp|app/message_line.h|not yet moved below"
  "run/main_loop.cpp|app/controls.h|not yet moved below"
  "run/main_loop.cpp|app/main_window.h|not yet moved below"
  "run/main_loop.cpp|app/message_line.h|not yet moved below"
  "run/program_update.cpp|app/message_line.h|not yet moved below"
  "run/run_connection.cpp|app/main_window.h|not yet moved below"
  "run/run_connection.cpp|app/message_line.h|not yet moved below"
  "run/simulator_detection.cpp|app/message_line.h|not yet moved below"
  "run/startup.cpp|app/main_window.h|not yet moved below"
  "run/startup.cpp|app/message_line.h|not yet moved below"
  "run/startup.cpp|app/text_boxes.h|not yet moved below"
  "simlink/sim_client.cpp|airports/airport_services.h|not yet moved below"
  "simlink/sim_client.cpp|airports/park_airport.h|not yet moved below"
  "simlink/sim_client.cpp|app/message_line.h|not yet moved below"
  "simlink/sim_client.cpp|engine/stand_query.h|not yet moved below"
  "simlink/sim_client.cpp|run/exit.h|not yet moved below"
  "simlink/sim_client.cpp|run/simulator_detection.h|not yet moved below"
  "simlink/sim_dispatch.cpp|app/message_line.h|not yet moved below"
  "simlink/sim_dispatch.cpp|liveries/livery_services.h|not yet moved below"
  "simlink/sim_dispatch.cpp|run/exit.h|not yet moved below"
  "simlink/sim_queues.cpp|app/message_line.h|not yet moved below"
  "simlink/sim_queues.cpp|run/exit.h|not yet moved below"
  "traffic/own_position.cpp|simlink/sim_state.h|not yet moved below"
  "traffic/rt_link.cpp|app/message_line.h|not yet moved below"
  "traffic/rt_link.cpp|engine/live_removal.h|not yet moved below"
  "traffic/rt_link.cpp|run/exit.h|not yet moved below"
  "traffic/rt_link.cpp|simlink/sim_state.h|not yet moved below"
  "traffic/traffic_parser.cpp|airports/park_airport.h|not yet moved below"
  "traffic/traffic_parser.cpp|run/traffic_range.h|not yet moved below"
  "traffic/traffic_reader.cpp|app/message_line.h|not yet moved below"
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
