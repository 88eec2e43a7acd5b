# qvx-export end to end: formats validated (ajv, xmllint), the HTML map in
# headless Chromium. ajv-cli and the GeoJSON schema are installed by
# scripts/setup.sh under build-tools/npm.
add_test(NAME export_tool_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/export/check_exports.sh $<TARGET_FILE:qvx-export> ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/build-tools/npm)
set_tests_properties(export_tool_test PROPERTIES TIMEOUT 300)
# The level colour scale of the HTML map (headless Chromium) and the KML.
add_test(NAME export_scale_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/export/check_scale.sh $<TARGET_FILE:qvx-export> ${CMAKE_SOURCE_DIR})
set_tests_properties(export_scale_test PROPERTIES TIMEOUT 300)
