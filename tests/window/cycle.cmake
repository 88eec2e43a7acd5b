qvx_add_test(cycle_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cycle_run_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(cycle_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cycle_graph_test.cpp
  LIBS qvx_virtualbench)
