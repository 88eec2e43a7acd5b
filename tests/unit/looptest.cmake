qvx_add_test(period_keeper_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/period_keeper_test.cpp
  LIBS qvx_looptest)
