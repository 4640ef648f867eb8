#include "profile/PrivateProfile.h"
#include "profile/SettingsPath.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace vx {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

TEST(PrivateProfile, WritesCreateThenUpdateAndKeepTheRest) {
    TempDir dir;
    std::string path = dir.File("project.vpj");
    ASSERT_TRUE(WritePrivateProfileString("Vexelo", "OutputWidth", "640", path));
    ASSERT_TRUE(WritePrivateProfileString("Vexelo", "OutputHeight", "480", path));
    ASSERT_TRUE(WritePrivateProfileString("Images", "Source", "/p/s.bmp", path));
    ASSERT_TRUE(WritePrivateProfileString("Images", "Target", "/p/t.bmp", path));
    const std::string first = "[Vexelo]\r\nOutputWidth=640\r\nOutputHeight=480\r\n\r\n"
                              "[Images]\r\nSource=/p/s.bmp\r\nTarget=/p/t.bmp\r\n";
    EXPECT_EQ(ReadWholeFile(path), first);

    // Writing twice keeps one copy of each key.
    ASSERT_TRUE(WritePrivateProfileString("Vexelo", "OutputWidth", "640", path));
    EXPECT_EQ(ReadWholeFile(path), first);

    // An existing file with other sections and comments: only the written values change.
    WriteWholeFile(path, "; made by hand\n[Notes]\nwho=me\n[VEXELO]\noutputwidth=1\n; keep\n");
    ASSERT_TRUE(WritePrivateProfileString("Vexelo", "OutputWidth", "800", path));
    ASSERT_TRUE(WritePrivateProfileString("Vexelo", "OutputHeight", "600", path));
    EXPECT_EQ(ReadWholeFile(path), "; made by hand\n[Notes]\nwho=me\n[VEXELO]\noutputwidth=800\n"
                                   "; keep\nOutputHeight=600\n");
    EXPECT_EQ(GetPrivateProfileString("notes", "WHO", "", path), "me");
    EXPECT_EQ(GetPrivateProfileInt("Vexelo", "OutputHeight", -1, path), 600);
}

TEST(PrivateProfile, ReadsOfMissingFilesAndFailedWrites) {
    TempDir dir;
    EXPECT_EQ(GetPrivateProfileString("S", "k", "dflt", dir.File("none.ini")), "dflt");
    EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, dir.File("none.ini")), -1);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.File("no/such/folder.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));

    std::string path = dir.File("d.ini");
    WriteWholeFile(path, "[S]\na=1\nb=2\n[T]\nc=3\n");
    EXPECT_TRUE(DeletePrivateProfileKey("s", "A", path));
    EXPECT_TRUE(DeletePrivateProfileSection("t", path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\nb=2\n");
}

TEST(SettingsPath, NamedAfterTheProgram) {
    EXPECT_EQ(SettingsPathBesideProgram("/opt/a.b/tool"), "/opt/a.b/tool.INI");
    EXPECT_EQ(SettingsPathBesideProgram("/opt/x/app.bin"), "/opt/x/app.INI");
    EXPECT_EQ(SettingsPathBesideProgram("/opt/x/app.tar.gz"), "/opt/x/app.tar.INI");
    EXPECT_EQ(SettingsPathBesideProgram("app"), "app.INI");
}

TEST(SettingsPath, ConfigFolderFallback) {
    EXPECT_EQ(ConfigBaseFolder("/xdg", "/h"), "/xdg");
    EXPECT_EQ(ConfigBaseFolder("", "/h"), "/h/.config");
    EXPECT_EQ(ConfigBaseFolder(nullptr, "/h"), "/h/.config");
    EXPECT_EQ(ConfigBaseFolder("relative", "/h"), "/h/.config");
    EXPECT_EQ(ConfigBaseFolder(nullptr, nullptr), "");

    TempDir dir;
    EXPECT_EQ(SettingsFilePath("/opt/a.b/tool", true, dir.Path().string()), "/opt/a.b/tool.INI");
    std::string fallback = SettingsFilePath("/opt/a.b/tool", false, dir.Path().string());
    EXPECT_EQ(fallback, (dir.Path() / "vexel-helper" / "tool.INI").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "vexel-helper"));
    ASSERT_TRUE(WritePrivateProfileString("", "X", "1", fallback));
}

TEST(SettingsPath, RealProgramAndFolderCheck) {
    std::string self = ProgramPath();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(std::filesystem::exists(self));

    TempDir dir;
    std::string program = dir.File("prog.bin");
    EXPECT_EQ(SettingsFilePath(program), dir.File("prog.INI"));
}

} // namespace
} // namespace vx
