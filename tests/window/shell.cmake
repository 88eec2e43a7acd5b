qvx_add_test(shell_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_window_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(start_options_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/start_options_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(shell_data_folder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_data_folder_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(shell_inventory_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_inventory_test.cpp
  LIBS qvx_virtualbench)
