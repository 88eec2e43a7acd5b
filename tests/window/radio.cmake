qvx_add_test(radio_channel_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_channel_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(radio_init_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_init_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(radio_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_run_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(radio_logs_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_logs_test.cpp
  LIBS qvx_virtualbench)
