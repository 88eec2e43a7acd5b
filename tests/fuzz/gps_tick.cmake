qvx_add_fuzz(fuzz_gps_tick SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_gps_tick.cpp LIBS qvx_virtualbench)
