qvx_add_test(common_number_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_number_text_test.cpp LIBS qvx_common)
qvx_add_test(common_text_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_text_file_test.cpp LIBS qvx_common)
qvx_add_test(common_misc_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_misc_test.cpp LIBS qvx_common)
qvx_add_test(common_whole_file_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_whole_file_test.cpp LIBS qvx_export)
