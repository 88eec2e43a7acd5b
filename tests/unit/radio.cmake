qvx_add_test(radio_command_set_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/radio_command_set_test.cpp
  LIBS qvx_module)
