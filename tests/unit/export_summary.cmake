# qvx-export --to summary on synthetic streams of a known law, against
# numpy/scipy/statsmodels: the Debian python3 with its packages (a python3
# of another installation earlier on PATH lacks them).
find_program(QVX_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
add_test(NAME export_summary_test
  COMMAND ${QVX_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/export/check_summary.py $<TARGET_FILE:qvx-export>)
set_tests_properties(export_summary_test PROPERTIES TIMEOUT 240)
