# The program itself, run as a script runs it.
add_executable(test_app ${CMAKE_CURRENT_SOURCE_DIR}/app/BatchTest.cpp)
target_link_libraries(test_app PRIVATE vexel_app vexel_test_support GTest::gtest_main)
target_compile_definitions(test_app PRIVATE VEXEL_HELPER_PROGRAM="$<TARGET_FILE:vexel-helper>")
add_dependencies(test_app vexel-helper)
gtest_discover_tests(test_app DISCOVERY_TIMEOUT 60 PROPERTIES LABELS app)
