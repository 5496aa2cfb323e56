# The painted skin, checked as the windows load it: from the compiled resources.
find_package(Qt6 REQUIRED COMPONENTS Gui)

add_executable(loopwren_skin_tests ui/SkinTest.cpp)
target_link_libraries(loopwren_skin_tests PRIVATE loopwren::skin Qt6::Gui GTest::gtest loopwren::flags)
target_compile_definitions(loopwren_skin_tests PRIVATE
  LOOPWREN_PAINT_SKIN="$<TARGET_FILE:paint_skin>"
  LOOPWREN_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
add_dependencies(loopwren_skin_tests paint_skin)
gtest_discover_tests(loopwren_skin_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

# The desktop icons paint_skin writes, drawn back (the SVG through Qt's renderer) and held
# against the icon the windows carry.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(loopwren_icon_tests ui/IconThemeTest.cpp)
target_link_libraries(loopwren_icon_tests PRIVATE loopwren::skin Qt6::Gui Qt6::Svg GTest::gtest
  loopwren::flags)
target_compile_definitions(loopwren_icon_tests PRIVATE LOOPWREN_PAINT_SKIN="$<TARGET_FILE:paint_skin>")
add_dependencies(loopwren_icon_tests paint_skin)
gtest_discover_tests(loopwren_icon_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
