// The INI texts that seed the fuzz target, and the files it or a tester found, replayed.
#include "support/IniChecks.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(FuzzSeeds, Profiles) {
    if (!test::FuzzSeedsWanted()) {
        GTEST_SKIP() << "no seeds wanted";
    }
    using namespace std::string_literals;
    test::WriteFuzzSeed("ini", "crlf.ini",
                        "; settings\r\n[TWAIN]\r\nDEVICE0=Scanner A\r\n\r\n[]\r\nX=10\r\nY=20\r\n");
    test::WriteFuzzSeed("ini", "lf.ini",
                        "[Vexelo]\nOutputWidth=640\nOutputHeight=480\n\n"
                        "[Images]\nSource=/p/s.bmp\nTarget=/p/t.bmp\n");
    test::WriteFuzzSeed("ini", "junk.ini",
                        "junk line\n[S\n=\n;k=v\n[ Spaced ]\n  k  =  v  \n"
                        "x=1\rx\n\0nul=1\n"s);
    test::WriteFuzzSeed("ini", "empty-section.ini", "[]\r\nWIDTH=300\r\n[]\r\nwidth=1\r\n");
    test::WriteFuzzSeed("ini", "quoted.ini", "[Q]\ndq=\"  a  \"\nsq='b'\nmixed=\"c'\none=\"\n");
    test::WriteFuzzSeed("ini", "no-final-newline.ini", "[A]\r\na=1\r\n[B]\nb=2\r");
    test::WriteFuzzSeed("ini", "empty.ini", "");
}

TEST(IniFiles, RegressionFilesKeepTheRules) {
    const std::vector<std::string> files = test::TestDataFiles("ini");
    ASSERT_FALSE(files.empty());
    test::TempDir dir;
    for (const std::string& file : files) {
        EXPECT_EQ(test::CheckIniText(test::ReadWholeFile(file), dir.Path().string()), "") << file;
    }
}

} // namespace
} // namespace vx
