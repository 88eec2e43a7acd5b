# The layer rule holds in the build: the radio port channel's folder
# (ports) reaching the analysis window (above it) must fail, through its
# header at compile time and through a symbol at link time. The probes are
# built only by these tests, in this build folder.
add_library(layers_probe_include OBJECT EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/layers_probe_include.cpp)
target_link_libraries(layers_probe_include PRIVATE qvx_ports)
add_executable(layers_probe_symbol EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/layers_probe_symbol.cpp)
target_link_libraries(layers_probe_symbol PRIVATE qvx_ports)
set_target_properties(layers_probe_symbol PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layers/check)
foreach(probe include symbol)
  add_test(NAME layers_upward_${probe}_test
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layers_probe_${probe})
endforeach()
set_tests_properties(layers_upward_include_test PROPERTIES
  PASS_REGULAR_EXPRESSION "analysis/AnalysisWindow.h is not visible here: this target links no library of src/analysis")
# The linker's wording differs (lld, ld.bfd): the symbol's name is common.
set_tests_properties(layers_upward_symbol_test PROPERTIES
  PASS_REGULAR_EXPRESSION "undefined.*niceMetres")
# Two builds in one folder at once would race: one at a time.
set_tests_properties(layers_upward_include_test layers_upward_symbol_test PROPERTIES
  TIMEOUT 300 RESOURCE_LOCK layers_probe_build)
