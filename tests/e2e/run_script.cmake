# scripts/run.sh's choice between hardware and the demo: only a port on
# which a module answers counts, not any serial device.
add_test(NAME run_script_module_port
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_script_module_port_test.sh ${CMAKE_BINARY_DIR}/bin
                 ${CMAKE_SOURCE_DIR}/scripts)
set_tests_properties(run_script_module_port PROPERTIES TIMEOUT 60 LABELS e2e)
