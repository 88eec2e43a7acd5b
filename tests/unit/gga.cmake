qvx_add_test(gga_position_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_position_test.cpp
  LIBS qvx_gps)
qvx_add_test(gga_captures_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gga_captures_test.cpp
  LIBS qvx_gps)
target_compile_definitions(gga_captures_test PRIVATE QVX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
