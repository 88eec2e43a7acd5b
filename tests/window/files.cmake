qvx_add_test(files_whole_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_whole_test.cpp
  LIBS qvx_virtualbench qvx_export)
