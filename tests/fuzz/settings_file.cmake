qvx_add_fuzz(fuzz_settings_file SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_settings_file.cpp LIBS qvx_virtualbench)
