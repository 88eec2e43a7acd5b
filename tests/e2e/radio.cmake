qvx_add_test(radio_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 180
  LABELS e2e)
qvx_add_test(run_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 180
  LABELS e2e)
