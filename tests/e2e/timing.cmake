qvx_add_test(timing_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timing_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 120
  LABELS e2e)
