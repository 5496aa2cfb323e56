# The wave-output device and live playback.
add_executable(loopwren_playback_tests
  audio_out/WaveOutTest.cpp
  audio_out/PlaybackTest.cpp
  audio_out/SamplePreviewTest.cpp
  audio_out/SdlPlaybackTest.cpp)
target_link_libraries(loopwren_playback_tests PRIVATE loopwren_test_support loopwren::audio_out)
gtest_discover_tests(loopwren_playback_tests DISCOVERY_TIMEOUT 60)

# Live playback through the fake device faster than real time while another thread
# edits, imports, deletes and loads: built on its own with ThreadSanitizer.
add_executable(loopwren_race_tests audio_out/PlaybackRaceTest.cpp)
target_link_libraries(loopwren_race_tests PRIVATE loopwren_test_support)
gtest_discover_tests(loopwren_race_tests DISCOVERY_TIMEOUT 60)

# The audio callbacks' contract (the SDL device's and JACK's), checked with a counting
# allocator and a mutex hook that replace the program's own: built as a program of its own.
add_executable(loopwren_realtime_tests audio_out/RealTimeTest.cpp)
target_include_directories(loopwren_realtime_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/live
  ${CMAKE_CURRENT_SOURCE_DIR}/plugin)
target_link_libraries(loopwren_realtime_tests PRIVATE loopwren_test_support loopwren::audio_out
  loopwren::live PkgConfig::LILV ${CMAKE_DL_LIBS})
target_compile_definitions(loopwren_realtime_tests PRIVATE
  LOOPWREN_LV2_BUNDLE="${LOOPWREN_LV2_BUNDLE}")
add_dependencies(loopwren_realtime_tests loopwren_lv2)
gtest_discover_tests(loopwren_realtime_tests DISCOVERY_TIMEOUT 60 PROPERTIES RESOURCE_LOCK jackd)
# Its Link case again, in a network namespace of its own that holds only loopback.
add_test(NAME loopwren_realtime_link_in_private_network
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/live/in-private-network.sh
          $<TARGET_FILE:loopwren_realtime_tests> --gtest_filter=RealTimeJack.FollowingALinkSession*)
set_tests_properties(loopwren_realtime_link_in_private_network PROPERTIES TIMEOUT 120
  RESOURCE_LOCK jackd SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
