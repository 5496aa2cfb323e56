# The program as a screen reader meets it: the real program on an X display of its own
# (Xvfb), with a private session bus and AT-SPI bus, its window read and driven through
# pyatspi. Skipped, saying why, where Xvfb, D-Bus, the bus launcher or pyatspi is missing.
# Named as the test programs are, so that the sanitizer runs leave it out.
add_test(NAME loopwren_accessibility
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/accessibility/run-atspi-test.sh
          $<TARGET_FILE:loopwren> $<TARGET_FILE_DIR:loopwren>/demo.LW)
set_tests_properties(loopwren_accessibility PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
# The same at View > Size 2 x, which the program takes from its settings as it starts.
add_test(NAME loopwren_accessibility_at_2x
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/accessibility/run-atspi-test.sh
          $<TARGET_FILE:loopwren> $<TARGET_FILE_DIR:loopwren>/demo.LW --scale 2)
set_tests_properties(loopwren_accessibility_at_2x PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
