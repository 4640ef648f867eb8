#include "support/TempDir.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Headless always, also when ctest lists the tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The application starts SANE: without a folder of the test's own it would probe whatever
    // scanners this machine has. This one lists no backend.
    vx::test::TempDir sane;
    if (!qEnvironmentVariableIsSet("SANE_CONFIG_DIR")) {
        vx::test::WriteWholeFile(sane.File("dll.conf"), "");
        setenv("SANE_CONFIG_DIR", sane.Path().c_str(), 1);
    }
    vx::ui::CApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
