qvx_add_test(export_readers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/export_readers_test.cpp
  LIBS qvx_export_html)
target_compile_definitions(export_readers_test PRIVATE QVX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
