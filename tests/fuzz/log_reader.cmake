qvx_add_fuzz(fuzz_log_reader SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_log_reader.cpp LIBS qvx_export_html)
