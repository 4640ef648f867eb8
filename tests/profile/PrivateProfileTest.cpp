#include "profile/PrivateProfile.h"
#include "profile/SettingsPath.h"

#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(PrivateProfile, SeveralKeysAtOnceGiveTheFileOfOneCallPerKey) {
    TempDir dir;
    const std::string one = dir.File("one.INI");
    const std::string all = dir.File("all.INI");
    for (const char* start : {"", "; hand made\n[TWAIN]\nDEVICE0=a\n", "[]\r\ny=7\r\nx=1\r\n"}) {
        WriteWholeFile(one, start);
        WriteWholeFile(all, start);
        ASSERT_TRUE(WritePrivateProfileString("", "X", "10", one));
        ASSERT_TRUE(WritePrivateProfileString("", "Y", "20", one));
        ASSERT_TRUE(WritePrivateProfileString("", "WIDTH", "300", one));
        ASSERT_TRUE(WritePrivateProfileString("", "HEIGHT", "200", one));
        ASSERT_TRUE(WritePrivateProfileStrings(
            "", {{"X", "10"}, {"Y", "20"}, {"WIDTH", "300"}, {"HEIGHT", "200"}}, all));
        EXPECT_EQ(ReadWholeFile(all), ReadWholeFile(one)) << start;
        EXPECT_EQ(GetPrivateProfileInts("", {"x", "Y", "HEIGHT", "depth"}, -1, all),
                  (std::vector<int>{10, 20, 200, -1}));
    }

    // A value that cannot be stored writes none of them, and the next read sees the file.
    const std::string before = ReadWholeFile(all);
    EXPECT_FALSE(WritePrivateProfileStrings("", {{"X", "11"}, {"Y", "2\n1"}}, all));
    EXPECT_EQ(ReadWholeFile(all), before);
    EXPECT_EQ(GetPrivateProfileInts("", {"X"}, -1, all), std::vector<int>{10});
    EXPECT_EQ(GetPrivateProfileInts("", {"X", "Y"}, -1, dir.File("none.INI")),
              (std::vector<int>{-1, -1}));
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

TEST(PrivateProfile, EachCallSeesTheFileAsItIsNow) {
    TempDir dir;
    std::string path = dir.File("app.INI");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "1", path));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "1");
    // Rewritten in place by another program at once, to the same size.
    WriteWholeFile(path, "[S]\r\nk=2\r\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "2");
    WriteWholeFile(dir.File("other"), "[S]\r\nk=3\r\n");
    std::filesystem::rename(dir.File("other"), path);
    EXPECT_EQ(GetPrivateProfileInt("S", "k", -1, path), 3);
    ASSERT_TRUE(WritePrivateProfileString("S", "n", "4", path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\r\nk=3\r\nn=4\r\n");
    std::filesystem::remove(path);
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "-");

    // A file last changed long ago, read once, then changed.
    WriteWholeFile(path, "[S]\nk=5\n");
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(1));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "5");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "5");
    WriteWholeFile(path, "[S]\nk=6\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "-", path), "6");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "7", path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\nk=7\n");
}

struct Stamp {
    ino_t inode;
    off_t size;
    timespec modified;
};

Stamp StampOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return {st.st_ino, st.st_size, st.st_mtim};
}

// Sparse: the size costs no disk and no time.
void MakeBigFile(const std::string& path, std::uintmax_t size) {
    WriteWholeFile(path, "[TWAIN]\r\nDEVICE0=Scanner A\r\n[]\r\nX=10\r\n");
    std::filesystem::resize_file(path, size);
}

TEST(PrivateProfile, TooBigFileIsReadAsEmptyAndNeverWritten) {
    TempDir dir;
    std::string path = dir.File("big.INI");
    MakeBigFile(path, 50u << 20);
    const Stamp before = StampOf(path);
    TakePrivateProfileError();
    EXPECT_EQ(GetPrivateProfileString("TWAIN", "DEVICE0", "none", path), "none");
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, path), -1);
    EXPECT_FALSE(TakePrivateProfileError().empty());
    EXPECT_FALSE(WritePrivateProfileString("", "X", "20", path));
    EXPECT_FALSE(DeletePrivateProfileSection("TWAIN", path));
    EXPECT_FALSE(TakePrivateProfileError().empty());
    EXPECT_FALSE(PrivateProfileProblem(path).empty());
    const Stamp after = StampOf(path);
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.size, before.size);
    EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
    EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);

    // The limit itself is still ours.
    MakeBigFile(path, kMaxPrivateProfileBytes);
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, path), 10);
    EXPECT_TRUE(PrivateProfileProblem(path).empty());
    MakeBigFile(path, kMaxPrivateProfileBytes + 1);
    EXPECT_EQ(GetPrivateProfileInt("", "X", -1, path), -1);
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

TEST(SettingsPath, UnusableFileGivesWayToTheConfigFolderInEveryRun) {
    for (const bool folder : {true, false}) {
        TempDir dir;
        const std::string wanted = dir.File("app.INI");
        if (folder) {
            std::filesystem::create_directory(wanted);
        } else {
            MakeBigFile(wanted, 2u << 20);
        }
        const Stamp before = StampOf(wanted);
        const std::string config = dir.File("config");
        const std::string fallback = dir.File("config/vexel-helper/app.INI");
        std::string note;
        EXPECT_EQ(UsableSettingsFile(wanted, config, note), fallback);
        EXPECT_NE(note.find(fallback), std::string::npos) << note;
        ASSERT_TRUE(WritePrivateProfileString("", "X", "5", fallback));

        // The next run makes the same choice and finds what the last one wrote.
        EXPECT_EQ(UsableSettingsFile(wanted, config, note), fallback);
        EXPECT_EQ(GetPrivateProfileInt("", "X", -1, fallback), 5);
        EXPECT_EQ(StampOf(wanted).size, before.size);
        EXPECT_EQ(StampOf(wanted).modified.tv_nsec, before.modified.tv_nsec);

        // Nowhere to go: the wanted file is still left alone.
        EXPECT_EQ(UsableSettingsFile(wanted, "", note), wanted);
        EXPECT_NE(note.find("not be saved"), std::string::npos) << note;
    }
    TempDir dir;
    std::string note = "stale";
    EXPECT_EQ(UsableSettingsFile(dir.File("new.INI"), dir.File("config"), note),
              dir.File("new.INI"));
    EXPECT_EQ(note, "");
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
