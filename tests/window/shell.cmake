qvx_add_test(shell_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_window_test.cpp
  LIBS qvx_testsupport)
