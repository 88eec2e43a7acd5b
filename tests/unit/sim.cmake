qvx_add_test(sim_module_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_module_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(sim_options_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_options_test.cpp
  LIBS qvx_sim)
qvx_add_test(sim_on_device_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_on_device_test.cpp
  LIBS qvx_virtualbench)
qvx_add_test(sim_distance_trace_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_distance_trace_test.cpp
  LIBS qvx_sim)
