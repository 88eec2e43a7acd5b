qvx_add_test(gps_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 120
  LABELS e2e)
qvx_add_test(gps_sources_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_sources_e2e_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 240
  LABELS e2e)
