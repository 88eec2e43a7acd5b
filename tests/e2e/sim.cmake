qvx_add_test(sim_pty_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_pty_e2e_test.cpp
  LIBS Qt6::Core
  TIMEOUT 60
  LABELS e2e)
qvx_add_test(sim_law_e2e_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_law_e2e_test.cpp
  LIBS Qt6::Core
  TIMEOUT 60
  LABELS e2e)
