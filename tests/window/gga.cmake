qvx_add_test(gga_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_window_test.cpp
  LIBS qvx_virtualbench)
