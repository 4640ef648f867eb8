#include "ui/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless always, also when ctest lists the tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    vx::ui::CApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
