qvx_add_test(fault_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fault_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 240
  LABELS e2e)
