qvx_add_test(analysis_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_window_test.cpp
  LIBS qvx_analysis_ui qvx_virtualbench)
qvx_add_test(analysis_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_records_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(gps_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_records_test.cpp ${CMAKE_SOURCE_DIR}/tools/nmea/NmeaWalk.cpp
  LIBS qvx_virtualbench)
target_include_directories(gps_records_test PRIVATE ${CMAKE_SOURCE_DIR}/tools/nmea)
qvx_add_test(analysis_long_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_long_run_test.cpp
  LIBS qvx_analysis_ui qvx_gps)
qvx_add_test(analysis_viewer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_viewer_test.cpp
  LIBS qvx_shell)
target_compile_definitions(analysis_viewer_test PRIVATE QVX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QVX_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(analysis_viewer_test qvx-loopback)
