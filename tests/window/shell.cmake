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
# The window's form stays inside the shell (the parts see their views).
add_test(NAME shell_form_header_test
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/shell_form_header_check.cmake.script)
