# The editing, import, sample manager, sequencer and bounce commands.
add_executable(loopwren_command_tests
  song/EditCommandsTest.cpp
  song/SequenceEditingTest.cpp
  samples/WavImportTest.cpp
  samples/SoundFileImportTest.cpp
  commands/EditMenuTest.cpp
  commands/MainCommandsTest.cpp
  session/RecoveryFilesTest.cpp
  session/RecoveryOfferTest.cpp
  session/AutoSaveScheduleTest.cpp
  session/RecoveryWriterTest.cpp
  session/RecoveryTestSupport.h
  commands/SampleCommandsTest.cpp
  commands/SequencerCommandsTest.cpp
  commands/BounceTest.cpp
  session/UndoHistoryTest.cpp)
target_link_libraries(loopwren_command_tests PRIVATE loopwren_test_support PkgConfig::SNDFILE)
gtest_discover_tests(loopwren_command_tests DISCOVERY_TIMEOUT 60)
