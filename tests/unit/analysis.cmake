qvx_add_test(analysis_statistics_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_statistics_test.cpp LIBS qvx_analysis)
qvx_add_test(export_record_stream_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/export_record_stream_test.cpp LIBS qvx_export qvx_analysis)
qvx_add_test(analysis_coverage_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_coverage_test.cpp LIBS qvx_analysis qvx_gps)
