qvx_add_test(gga_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_window_test.cpp
  LIBS qvx_testsupport)
qvx_add_test(gga_captures_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_captures_window_test.cpp
  LIBS qvx_testsupport TIMEOUT 600)
target_compile_definitions(gga_captures_window_test PRIVATE QVX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
