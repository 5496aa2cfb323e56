# The windows, tested with Qt Test on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test)

function(loopwren_ui_test name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui)
  target_link_libraries(${name} PRIVATE loopwren_test_support loopwren::ui Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

loopwren_ui_test(loopwren_main_window_tests ui/MainWindowTest.cpp ui/MainWindowFixture.h)
loopwren_ui_test(loopwren_sequencer_tests ui/SequencerWindowTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_controllers_tests ui/StepControllersDialogTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_sample_manager_tests ui/SampleManagerWindowTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_program_dialogs_tests ui/ProgramDialogsTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_desktop_tests ui/DesktopTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_sample_menu_tests ui/SampleMenuTest.cpp ui/MainWindowFixture.h)
loopwren_ui_test(loopwren_keys_tests ui/KeysTest.cpp ui/MainWindowFixture.h)
loopwren_ui_test(loopwren_pattern_grid_tests ui/PatternGridTest.cpp ui/DialogsFixture.h)
# Dense screens: the 2x pictures at ratio 2, and a fractional ratio.
loopwren_ui_test(loopwren_dense_screen_tests ui/DenseScreenTest.cpp ui/MainWindowFixture.h)
set_tests_properties(loopwren_dense_screen_tests
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
add_test(NAME loopwren_dense_screen_tests_at_1.5 COMMAND loopwren_dense_screen_tests)
set_tests_properties(loopwren_dense_screen_tests_at_1.5
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=1.5")
loopwren_ui_test(loopwren_text_fit_tests ui/TextFitTest.cpp ui/DialogsFixture.h)
loopwren_ui_test(loopwren_undo_window_tests ui/UndoWindowsTest.cpp ui/DialogsFixture.h)
# Recovery copies: the program's lock while it runs, a run killed after its edits, and the
# start-up that brings them back. The crash session is the main window with the program's
# own recovery files, edited as a user edits it, for the test to kill.
add_executable(loopwren_crash_session ui/CrashSession.cpp)
target_link_libraries(loopwren_crash_session PRIVATE loopwren::ui)
loopwren_ui_test(loopwren_recovery_tests ui/RecoveryTest.cpp ui/MainWindowFixture.h)
add_dependencies(loopwren_recovery_tests loopwren loopwren_crash_session)
target_compile_definitions(loopwren_recovery_tests PRIVATE
  LOOPWREN_BIN="$<TARGET_FILE:loopwren>"
  CRASH_SESSION_BIN="$<TARGET_FILE:loopwren_crash_session>")
loopwren_ui_test(loopwren_file_menu_tests ui/FileMenuTest.cpp ui/MainWindowFixture.h)
loopwren_ui_test(loopwren_export_dialog_tests ui/ExportDialogTest.cpp ui/DialogsFixture.h)
# "Audio & MIDI" and the window's side of the live outputs (a private dummy JACK server).
loopwren_ui_test(loopwren_audio_midi_tests ui/AudioMidiTest.cpp ui/DialogsFixture.h)
target_include_directories(loopwren_audio_midi_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/live)
set_tests_properties(loopwren_audio_midi_tests PROPERTIES RESOURCE_LOCK jackd)
loopwren_ui_test(loopwren_midi_window_tests ui/MidiWindowTest.cpp)
target_include_directories(loopwren_midi_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/live)
target_link_libraries(loopwren_sample_manager_tests PRIVATE PkgConfig::SNDFILE)
