# Every built program without a display: --help and --version answer and
# exit 0, and the window program says how to run it instead of failing on
# the toolkit's display plugin. Then the same program under a virtual X
# server, as the desktop sees its window (WM_CLASS, icon).
add_test(NAME headless_start
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/headless_start_test.sh ${CMAKE_BINARY_DIR}/bin ${PROJECT_VERSION}
                 ${CMAKE_SOURCE_DIR}/packaging/qvx-loopback.desktop)
set_tests_properties(headless_start PROPERTIES TIMEOUT 120 LABELS e2e)
