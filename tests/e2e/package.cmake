# The Debian package, unpacked into a scratch root and run there. Not in the
# sanitizer or fuzzing builds: they make no package. Alone, since making the
# package takes both cores from the timing-sensitive tests.
if(NOT QVX_SANITIZE AND NOT QVX_FUZZ)
  add_test(NAME package_install
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_install_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(package_install PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS package)
endif()
