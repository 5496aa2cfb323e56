# The wave-output device and live playback.
add_executable(loopwren_playback_tests
  audio_out/WaveOutTest.cpp
  audio_out/PlaybackTest.cpp
  audio_out/SdlPlaybackTest.cpp)
target_link_libraries(loopwren_playback_tests PRIVATE loopwren_test_support loopwren::audio_out)
gtest_discover_tests(loopwren_playback_tests DISCOVERY_TIMEOUT 60)

# Live playback through the fake device faster than real time while another thread
# edits, imports, deletes and loads: built on its own with ThreadSanitizer.
add_executable(loopwren_race_tests audio_out/PlaybackRaceTest.cpp)
target_link_libraries(loopwren_race_tests PRIVATE loopwren_test_support)
gtest_discover_tests(loopwren_race_tests DISCOVERY_TIMEOUT 60)
