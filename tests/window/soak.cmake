# The soak tool as a test: short continuous runs in virtual time that carry
# the millisecond counter across 2^31 and across 2^32 (each starts 450 s
# before the boundary and runs 3000 packets of 300 ms); every packet must be
# answered and counted, and the stop at the end must complete.
foreach(boundary 2147483648 4294967296)
  math(EXPR start "${boundary} - 450000")
  add_test(NAME soak_counter_across_${boundary} COMMAND qvx-soak 3000 ${start})
  set_tests_properties(soak_counter_across_${boundary} PROPERTIES TIMEOUT 120 LABELS window
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endforeach()
