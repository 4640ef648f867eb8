# Scanners through the real application. These tests share SANE's configuration folder with
# the scanner tests: one at a time.
file(GLOB ui_scanner_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui_scanner/*.cpp)
add_executable(test_ui_scanner ${ui_scanner_test_sources} ${CMAKE_CURRENT_SOURCE_DIR}/ui/UiMain.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/scanner/SaneLeaks.cpp)
target_link_libraries(test_ui_scanner PRIVATE vexel_app vexel_test_support Qt6::Test GTest::gtest)
gtest_discover_tests(test_ui_scanner DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
    RUN_SERIAL TRUE LABELS ui_scanner)
