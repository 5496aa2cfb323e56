# The LV2 instrument: its Turtle against the LV2 schemas, the plugin in a small host of
# the tests' own, on lilv, loaded by its URI from the build folder's bundle, and in jalv.
add_executable(loopwren_plugin_tests plugin/PluginTest.cpp plugin/PluginHost.h
  plugin/JalvTest.cpp)
target_include_directories(loopwren_plugin_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/live)
target_link_libraries(loopwren_plugin_tests PRIVATE loopwren_test_support loopwren::live
  PkgConfig::LILV)
target_compile_definitions(loopwren_plugin_tests PRIVATE
  LOOPWREN_LV2_BUNDLE="${LOOPWREN_LV2_BUNDLE}"
  LOOPWREN_RENDER_BIN="$<TARGET_FILE:loopwren-render>"
  LOOPWREN_KIT_DIR="${LOOPWREN_KIT_DIR}")
add_dependencies(loopwren_plugin_tests loopwren_lv2 loopwren-render vinyl_noise demo_song)
# jalv runs on a JACK server of its own, one at a time as the live tests' do.
gtest_discover_tests(loopwren_plugin_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 300 RESOURCE_LOCK jackd)

add_test(NAME loopwren_lv2_validate
  COMMAND lv2_validate ${LOOPWREN_LV2_BUNDLE}/manifest.ttl ${LOOPWREN_LV2_BUNDLE}/loopwren.ttl)
set_tests_properties(loopwren_lv2_validate PROPERTIES PASS_REGULAR_EXPRESSION "Found 0 errors"
  FAIL_REGULAR_EXPRESSION "warning:")
