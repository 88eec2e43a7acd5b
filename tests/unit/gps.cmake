qvx_add_test(gps_datum_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_datum_file_test.cpp
  LIBS qvx_gps)
qvx_add_test(gps_source_names_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_source_names_test.cpp
  LIBS qvx_platform)
qvx_add_test(gps_fix_track_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gps_fix_track_test.cpp
  LIBS qvx_gps)
