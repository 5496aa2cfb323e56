# The live outputs beside the SDL queue: the period renderer by hand, and the JACK client
# on a dummy server each test starts for itself (skipped, saying why, where jackd cannot
# start), and MIDI from the ALSA sequencer (its tests skipped, saying why, where the machine
# has none).
add_executable(loopwren_live_tests
  live/AlsaMidiInputTest.cpp
  live/PeriodRendererTest.cpp
  live/LiveInputTest.cpp
  live/ExternalTimeTest.cpp
  live/MidiClockTest.cpp
  live/MidiReaderTest.cpp
  live/JackOutputTest.cpp
  live/JackMidiTest.cpp
  live/JackTransportTest.cpp
  live/BusyLock.h
  live/LiveSong.h)
target_include_directories(loopwren_live_tests PRIVATE ${PROJECT_SOURCE_DIR}/bench)
target_link_libraries(loopwren_live_tests PRIVATE loopwren_test_support loopwren::live)
add_dependencies(loopwren_live_tests vinyl_noise)
# One at a time: a JACK installation holds a handful of servers at once, and the periods
# keep time better on a quieter machine.
gtest_discover_tests(loopwren_live_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 RESOURCE_LOCK jackd)

# Ableton Link, in a network namespace of its own that holds only loopback (skipped,
# saying why, where none can be made): never on a real network. Named as the test
# programs are, so the sanitizer runs, which build only some of them, leave it out.
add_executable(loopwren_link_tests live/LinkTest.cpp)
target_link_libraries(loopwren_link_tests PRIVATE loopwren_test_support loopwren::live)
add_test(NAME loopwren_link_in_private_network
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/live/in-private-network.sh
          $<TARGET_FILE:loopwren_link_tests>)
set_tests_properties(loopwren_link_in_private_network PROPERTIES TIMEOUT 120 RESOURCE_LOCK jackd
  SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
