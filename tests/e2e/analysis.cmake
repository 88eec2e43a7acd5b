qvx_add_test(analysis_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 180
  LABELS e2e)
