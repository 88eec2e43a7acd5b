qvx_add_test(log_lines_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/log_lines_test.cpp LIBS qvx_results)
