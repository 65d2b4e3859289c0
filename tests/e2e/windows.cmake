# The whole-program run of the Windows program under Wine (label e2e), in a Wine prefix that the
# run makes for itself, on a virtual X server wide enough for the window at its first position (400, 20).
if(TARGET Orvanta_P3D AND ORVANTA_WINE64)
  add_test(NAME e2e.windows_startup
    COMMAND xvfb-run -a -s "-screen 0 1600x1200x24" bash ${CMAKE_CURRENT_LIST_DIR}/windows_startup.sh
            $<TARGET_FILE:Orvanta_P3D> ${ORVANTA_WINE64} ${CMAKE_BINARY_DIR}/tests/e2e/windows_window.png)
  # xvfb-run -a picks a free display without a lock of its own: one server at a time. The
  # program's single-instance mutex lives in its own prefix, so runs do not meet there.
  set_tests_properties(e2e.windows_startup PROPERTIES LABELS e2e TIMEOUT 600 RESOURCE_LOCK xvfb)
endif()
