qvx_add_test(process_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/process_e2e_test.cpp
  LIBS qvx_virtualbench Qt6::SerialPort
  TIMEOUT 300
  LABELS e2e)
