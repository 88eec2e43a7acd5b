qvx_add_test(ports_selection_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ports_selection_test.cpp
  LIBS qvx_virtualbench)
