qvx_add_fuzz(fuzz_radio_receive SOURCE ${CMAKE_CURRENT_LIST_DIR}/fuzz_radio_receive.cpp LIBS qvx_virtualbench)
