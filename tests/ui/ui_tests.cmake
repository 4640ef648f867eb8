find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
file(GLOB ui_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp)
add_executable(test_ui ${ui_test_sources})
target_compile_definitions(test_ui PRIVATE VEXEL_TEST_APP_ID="${VEXEL_APP_ID}")
target_link_libraries(test_ui PRIVATE vexel_app vexel_test_support Qt6::Test GTest::gtest)
gtest_discover_tests(test_ui DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS ui)
# Once more at a scale factor of 2, where a view's points and the screen's pixels differ.
add_test(NAME Scale.AtFactorTwo COMMAND test_ui --gtest_filter=Scale.*:Shell.StartsWith*:Placement.StoredPlacement*:ChooseFrame.Steps*)
set_tests_properties(Scale.AtFactorTwo PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2" LABELS ui)
