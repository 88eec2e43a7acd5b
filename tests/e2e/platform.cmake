qvx_add_test(platform_serial_port_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_serial_port_test.cpp LIBS qvx_platform TIMEOUT 60)
qvx_add_test(platform_clock_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_clock_test.cpp LIBS qvx_platform TIMEOUT 60)
qvx_add_test(platform_sound_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_sound_test.cpp LIBS qvx_platform TIMEOUT 60)
qvx_add_test(platform_paint_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_paint_test.cpp LIBS qvx_platform TIMEOUT 60)
