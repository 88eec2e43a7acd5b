qvx_add_test(test_virtual_clock
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_virtual_clock.cpp
  LIBS qvx_virtualbench)
