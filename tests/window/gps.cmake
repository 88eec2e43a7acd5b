qvx_add_test(gps_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_window_test.cpp
  LIBS qvx_virtualbench)
