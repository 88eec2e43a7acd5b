qvx_add_fuzz(fuzz_datum_file SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_datum_file.cpp LIBS qvx_gps)
