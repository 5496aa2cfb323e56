# The starter kit and the demo songs the build writes: the files themselves, read and
# played as the program reads and plays them.
add_executable(loopwren_kit_tests
  tools/StarterKitTest.cpp
  tools/DemoSongsTest.cpp)
target_link_libraries(loopwren_kit_tests PRIVATE loopwren_test_support)
target_compile_definitions(loopwren_kit_tests PRIVATE
  LOOPWREN_KIT_BIN="$<TARGET_FILE:make_starter_kit>"
  LOOPWREN_KIT_DIR="${LOOPWREN_KIT_DIR}"
  LOOPWREN_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
add_dependencies(loopwren_kit_tests make_starter_kit starter_kit demo_song vinyl_noise)
gtest_discover_tests(loopwren_kit_tests DISCOVERY_TIMEOUT 60)
