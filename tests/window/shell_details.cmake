qvx_add_test(shell_readable_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_readable_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(shell_input_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_input_test.cpp
  LIBS qvx_virtualbench)
