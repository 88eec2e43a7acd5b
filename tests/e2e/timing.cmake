qvx_add_test(timing_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timing_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 120
  LABELS e2e)
# Its margins are a millisecond: alone, so that another test's programs do
# not take the cores from the one it measures.
set_tests_properties(timing_e2e_test PROPERTIES RUN_SERIAL TRUE)
