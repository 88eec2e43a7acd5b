qvx_add_fuzz(fuzz_stream_reader SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_stream_reader.cpp LIBS qvx_export_html)
