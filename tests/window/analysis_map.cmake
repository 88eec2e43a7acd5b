qvx_add_test(analysis_map_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_map_test.cpp
  LIBS qvx_analysis_ui qvx_gps)
qvx_add_test(analysis_basemap_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_basemap_test.cpp
  LIBS qvx_analysis_ui)
target_include_directories(analysis_basemap_test PRIVATE ${CMAKE_SOURCE_DIR}/tools/virtualbench)
qvx_add_test(analysis_sensitivity_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_sensitivity_test.cpp
  LIBS qvx_analysis_ui)
