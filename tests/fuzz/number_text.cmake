qvx_add_fuzz(fuzz_number_text SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_number_text.cpp LIBS qvx_common)
