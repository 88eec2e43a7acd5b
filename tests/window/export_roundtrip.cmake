qvx_add_test(export_roundtrip_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/export_roundtrip_test.cpp
  LIBS qvx_virtualbench qvx_export)
