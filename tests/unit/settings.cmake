qvx_add_test(settings_codec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_codec_test.cpp
  LIBS qvx_shell)
