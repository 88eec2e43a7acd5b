qvx_add_test(gga_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_window_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(gga_capture_texts_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_capture_texts_test.cpp
  LIBS qvx_virtualbench
  TIMEOUT 300)
target_compile_definitions(gga_capture_texts_test PRIVATE QVX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
qvx_add_test(gga_captures_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_captures_window_test.cpp
  LIBS qvx_virtualbench TIMEOUT 600)
target_compile_definitions(gga_captures_window_test PRIVATE QVX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
