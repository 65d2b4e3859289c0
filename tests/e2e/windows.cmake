# The whole-program runs of the Windows program under Wine (label e2e), each in a Wine prefix that
# the run makes for itself, on a virtual X server wide enough for the window at its first position
# (400, 20). The runs against the stand-ins use the Linux build's fakesim, fakert and window closer
# from ORVANTA_HOST_TOOLS_DIR (scripts/test-windows names the Linux build folder); without them
# they are skipped.
set(ORVANTA_HOST_TOOLS_DIR "" CACHE PATH
  "The Linux build folder whose stand-ins and tools the Windows whole-program runs use (empty: skipped)")
if(TARGET Orvanta_P3D AND ORVANTA_WINE64)
  set(win_server bash ${CMAKE_CURRENT_LIST_DIR}/on_virtual_display.sh 1600x1200x24)
  set(host ${ORVANTA_HOST_TOOLS_DIR})
  set(traffic ${PROJECT_SOURCE_DIR}/data/traffic/KLAX_20200617_2152Z.rttfc)
  add_test(NAME e2e.windows_startup
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/windows_startup.sh
            $<TARGET_FILE:Orvanta_P3D> ${ORVANTA_WINE64} ${CMAKE_BINARY_DIR}/tests/e2e/windows_window.png)
  add_test(NAME e2e.windows_close_window
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/close_window.sh
            $<TARGET_FILE:Orvanta_P3D> ${host}/tests/e2e/wm_close_window)
  add_test(NAME e2e.windows_connected_run
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/connected_run.sh $<TARGET_FILE:Orvanta_P3D>
            ${host}/tools/fakesim/fakesim ${host}/tools/fakert/fakert ${host}/tests/e2e/wm_close_window ${traffic})
  # The same run on the simulator's named pipe, served by the Windows build's fakesim under Wine.
  add_test(NAME e2e.windows_pipe_connected_run
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/connected_run.sh $<TARGET_FILE:Orvanta_P3D>
            $<TARGET_FILE:fakesim> ${host}/tools/fakert/fakert ${host}/tests/e2e/wm_close_window ${traffic})
  set_tests_properties(e2e.windows_pipe_connected_run PROPERTIES ENVIRONMENT_MODIFICATION
    "ORVANTA_FAKESIM_TRANSPORT=set:pipe")
  add_test(NAME e2e.windows_restart_and_drop
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/restart_and_drop.sh $<TARGET_FILE:Orvanta_P3D>
            ${host}/tools/fakesim/fakesim ${host}/tools/fakert/fakert ${traffic})
  # The Windows window beside the Linux one: size, title and box texts; both screenshots are kept.
  add_test(NAME e2e.windows_window_matches_linux
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/window_compare.sh ${host}/src/Orvanta_P3D
            $<TARGET_FILE:Orvanta_P3D> ${host}/tests/e2e/wm_close_window ${CMAKE_BINARY_DIR}/tests/e2e/window_compare)
  # The download: scripts/package-windows packs this program, with the download folder's paths
  # from the Linux build's download_paths; the connected run from the package.
  add_test(NAME e2e.windows_package
    COMMAND ${win_server} bash ${CMAKE_CURRENT_LIST_DIR}/windows_package.sh $<TARGET_FILE:Orvanta_P3D>
            ${host}/tools/fakesim/fakesim ${host}/tools/fakert/fakert ${host}/tests/e2e/wm_close_window ${traffic}
            ${host}/tools/download_paths/download_paths ${CMAKE_BINARY_DIR}/tests/e2e/package)
  # Each run has an X server of its own (on_virtual_display.sh), which picks a free display
  # itself. The program's single-instance mutex lives in the run's own prefix, so runs do not
  # meet there.
  set_tests_properties(e2e.windows_startup e2e.windows_close_window e2e.windows_connected_run
    e2e.windows_pipe_connected_run e2e.windows_restart_and_drop e2e.windows_window_matches_linux e2e.windows_package PROPERTIES
    LABELS e2e TIMEOUT 600 SKIP_RETURN_CODE 77 ENVIRONMENT "ORVANTA_WINE64=${ORVANTA_WINE64}")
  # The connected runs use the program's fixed ports (UDP 49004 and 49005, TCP 10747) and measure
  # the main loop's pace: they run alone.
  set_tests_properties(e2e.windows_connected_run e2e.windows_pipe_connected_run e2e.windows_restart_and_drop
    e2e.windows_package PROPERTIES RUN_SERIAL TRUE)
endif()
