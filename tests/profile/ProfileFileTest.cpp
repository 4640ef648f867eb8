#include "profile/ProfileFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vx {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

CProfileFile Parsed(const std::string& text) {
    CProfileFile file;
    file.Parse(text);
    return file;
}

TEST(ProfileFileRead, NamesMatchWithoutCaseAndTrimmed) {
    CProfileFile f = Parsed("; top comment\r\n[Twain]\r\n  Device0 =  Scanner A  \r\n"
                            "[ Other ]\r\nx=1\r\n");
    EXPECT_EQ(f.GetString("TWAIN", "DEVICE0", "-"), "Scanner A");
    EXPECT_EQ(f.GetString("twain", "device0", "-"), "Scanner A");
    EXPECT_EQ(f.GetString("OTHER", "X", "-"), "1");
    EXPECT_EQ(f.GetString("Twain", "x", "-"), "-"); // keys belong to their own section
    EXPECT_EQ(f.GetString("Missing", "x", "def"), "def");
}

TEST(ProfileFileRead, QuotesCommentsAndJunk) {
    CProfileFile f = Parsed("[S]\n"
                            "dq=\"  spaced  \"\n"
                            "sq='single'\n"
                            "mixed=\"half'\n"
                            "one=\"\n"
                            ";commented=1\n"
                            "junk line\n"
                            "empty=\n");
    EXPECT_EQ(f.GetString("S", "dq", "-"), "  spaced  ");
    EXPECT_EQ(f.GetString("S", "sq", "-"), "single");
    EXPECT_EQ(f.GetString("S", "mixed", "-"), "\"half'");
    EXPECT_EQ(f.GetString("S", "one", "-"), "\"");
    EXPECT_EQ(f.GetString("S", ";commented", "-"), "-");
    EXPECT_EQ(f.GetString("S", "junk line", "-"), "-");
    EXPECT_EQ(f.GetString("S", "empty", "-"), "");
}

TEST(ProfileFileRead, GetInt) {
    CProfileFile f = Parsed("[]\nX=  42\nY=-17px\nW=+8\nH=abc\nE=\nQ=\"12\"\nBig=99999999999\n");
    EXPECT_EQ(f.GetInt("", "X", -1), 42);
    EXPECT_EQ(f.GetInt("", "Y", -1), -17);
    EXPECT_EQ(f.GetInt("", "W", -1), 8);
    EXPECT_EQ(f.GetInt("", "H", -1), 0);
    EXPECT_EQ(f.GetInt("", "E", -1), -1); // an empty value reads as the default
    EXPECT_EQ(f.GetInt("", "Q", -1), 12);
    EXPECT_EQ(f.GetInt("", "Big", -1), INT_MAX);
    EXPECT_EQ(f.GetInt("", "Missing", -1), -1);
    EXPECT_EQ(f.GetInt("Nowhere", "X", 5), 5);
}

TEST(ProfileFileWrite, ReplaceInPlaceLeavesOtherLinesAlone) {
    const std::string before = "; settings\r\n[TWAIN]\r\n  device0 = old  \r\nDEVICE1=b\r\n"
                               "junk\r\n\r\n[Other]\r\nk=v\r\n";
    CProfileFile f = Parsed(before);
    f.SetString("twain", "DEVICE0", "new");
    EXPECT_EQ(f.Text(), "; settings\r\n[TWAIN]\r\ndevice0=new\r\nDEVICE1=b\r\n"
                        "junk\r\n\r\n[Other]\r\nk=v\r\n");
    // Writing the same key again changes nothing more and keeps one copy.
    f.SetString("TWAIN", "device0", "new");
    EXPECT_EQ(f.Text(), "; settings\r\n[TWAIN]\r\ndevice0=new\r\nDEVICE1=b\r\n"
                        "junk\r\n\r\n[Other]\r\nk=v\r\n");
}

TEST(ProfileFileWrite, NewKeyGoesAfterLastNonBlankLineOfItsSection) {
    CProfileFile f = Parsed("[A]\na=1\n; note\n\n\n[B]\nb=2\n");
    f.SetString("a", "extra", "3");
    f.SetString("B", "more", "4");
    EXPECT_EQ(f.Text(), "[A]\na=1\n; note\nextra=3\n\n\n[B]\nb=2\nmore=4\n");
}

TEST(ProfileFileWrite, NewSectionsAndTheEmptyName) {
    CProfileFile f;
    f.SetString("Vexelo", "OutputWidth", "640");
    f.SetString("Vexelo", "OutputHeight", "480");
    f.SetString("Images", "Source", "/a/s.bmp");
    f.SetString("", "X", "10");
    EXPECT_EQ(f.Text(), "[Vexelo]\r\nOutputWidth=640\r\nOutputHeight=480\r\n\r\n"
                        "[Images]\r\nSource=/a/s.bmp\r\n\r\n[]\r\nX=10\r\n");
    EXPECT_EQ(f.GetInt("", "x", -1), 10);

    // A last line without an ending gets one before anything is appended, in the file's style.
    CProfileFile g = Parsed("[A]\na=1");
    g.SetString("B", "b", "2");
    EXPECT_EQ(g.Text(), "[A]\na=1\n\n[B]\nb=2\n");
}

TEST(ProfileFileWrite, Delete) {
    CProfileFile f = Parsed("[A]\na=1\nb=2\nA=3\n\n[B]\nc=1\n[a]\nd=4\n");
    f.DeleteKey("A", "a");
    EXPECT_EQ(f.Text(), "[A]\nb=2\n\n[B]\nc=1\n[a]\nd=4\n");
    f.DeleteSection("a");
    EXPECT_EQ(f.Text(), "[B]\nc=1\n");
    f.DeleteKey("Missing", "c");
    f.DeleteSection("Missing");
    EXPECT_EQ(f.Text(), "[B]\nc=1\n");
}

TEST(ProfileFileWrite, RefusesWhatWouldNotReadBackAndQuotesTheRest) {
    const std::string before = "[S]\nk=1\n";
    CProfileFile f = Parsed(before);
    // A line break would let a value or name start lines of its own, even sections.
    EXPECT_FALSE(f.SetString("S", "k", "x\n[TWAIN]\nDEVICE0=evil"));
    EXPECT_FALSE(f.SetString("S", "k", "x\r"));
    EXPECT_FALSE(f.SetString("S\n", "k", "x"));
    EXPECT_FALSE(f.SetString(" S", "k", "x"));
    EXPECT_FALSE(f.SetString("S", "k ", "x"));
    EXPECT_FALSE(f.SetString("S", "a=b", "x"));
    EXPECT_FALSE(f.SetString("S", ";k", "x"));
    EXPECT_FALSE(f.SetString("S", "[k]", "x"));
    EXPECT_EQ(f.Text(), before);

    for (const std::string value : {" padded ", "\"quoted\"", "'q'", "\"\"", "\t"}) {
        ASSERT_TRUE(f.SetString("S", "k", value));
        EXPECT_EQ(f.GetString("s", "K", "-"), value);
    }
    EXPECT_EQ(f.Text(), "[S]\nk=\"\t\"\n");
    ASSERT_TRUE(f.SetString("S", "k", "a \"b\" c"));
    EXPECT_EQ(f.Text(), "[S]\nk=a \"b\" c\n");
}

TEST(ProfileFileWrite, EditsKeepEveryOtherByte) {
    // A lone carriage return inside a line, one before the end of an unterminated last line,
    // mixed endings and a NUL byte.
    using namespace std::string_literals;
    const std::string text = "[A]\r\na=1\rx\r\nj\0unk\n[B]\nb=2\r"s;
    CProfileFile f = Parsed(text);
    EXPECT_EQ(f.Text(), text);
    EXPECT_EQ(f.GetString("A", "a", "-"), "1\rx");
    EXPECT_EQ(f.GetString("B", "b", "-"), "2");
    f.SetString("A", "a", "22");
    f.SetString("A", "n", "3");
    f.SetString("C", "c", "4");
    EXPECT_EQ(f.Text(), "[A]\r\na=22\r\nj\0unk\nn=3\r\n[B]\nb=2\r\r\n\r\n[C]\r\nc=4\r\n"s);
    f.DeleteSection("B");
    f.DeleteKey("A", "A");
    EXPECT_EQ(f.Text(), "[A]\r\nj\0unk\nn=3\r\n[C]\r\nc=4\r\n"s);
    EXPECT_EQ(f.GetString("c", "C", "-"), "4");
}

TEST(ProfileFileDisk, LoadMissingIsEmptyAndSaveRoundTripsLineEndings) {
    TempDir dir;
    CProfileFile f;
    ASSERT_TRUE(f.Load(dir.File("none.ini")));
    EXPECT_EQ(f.Text(), "");

    for (const std::string eol : {"\r\n", "\n"}) {
        std::string path = dir.File("style.ini");
        WriteWholeFile(path, "[S]" + eol + "k=v" + eol);
        ASSERT_TRUE(f.Load(path));
        f.SetString("S", "n", "1");
        f.SetString("T", "m", "2");
        ASSERT_TRUE(f.Save(path)) << f.LastError();
        EXPECT_EQ(ReadWholeFile(path),
                  "[S]" + eol + "k=v" + eol + "n=1" + eol + eol + "[T]" + eol + "m=2" + eol);
    }
}

TEST(ProfileFileDisk, UnreadableFileIsAnError) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.ini"));
    CProfileFile f;
    EXPECT_FALSE(f.Load(dir.File("folder.ini")));
    EXPECT_FALSE(f.LastError().empty());

    // A named pipe without a writer neither blocks the load nor reads as empty.
    ASSERT_EQ(::mkfifo(dir.File("pipe.ini").c_str(), 0600), 0);
    EXPECT_FALSE(f.Load(dir.File("pipe.ini")));
    EXPECT_FALSE(f.LastError().empty());
}

TEST(ProfileFileDisk, SizeLimit) {
    TempDir dir;
    std::string path = dir.File("s.ini");
    WriteWholeFile(path, "[S]\nk=v\n");
    CProfileFile f;
    ASSERT_TRUE(f.Load(path, 8));
    EXPECT_EQ(f.GetString("S", "k", "-"), "v");
    EXPECT_FALSE(f.Load(path, 7));
    EXPECT_FALSE(f.LastError().empty());
    EXPECT_EQ(f.Text(), "");
    EXPECT_EQ(f.GetString("S", "k", "-"), "-");
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProfileFileDisk, FailedSaveKeepsOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string old = "[Keep]\r\nk=v\r\n";
    WriteWholeFile(dir.File("keep.ini"), old);
    CProfileFile f = Parsed("[New]\r\nx=1\r\n");

    // The target is a folder: nothing can be renamed over it.
    std::filesystem::create_directory(dir.File("target"));
    EXPECT_FALSE(f.Save(dir.File("target")));
    EXPECT_FALSE(f.LastError().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("target")));

    // The target's folder does not exist.
    EXPECT_FALSE(f.Save(dir.File("missing/keep.ini")));

    EXPECT_EQ(ReadWholeFile(dir.File("keep.ini")), old);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"keep.ini", "target"}));
}

TEST(ProfileFileDisk, SaveKeepsPermissionsAndReplacesWholeFile) {
    TempDir dir;
    std::string path = dir.File("p.ini");
    WriteWholeFile(path, "[S]\nk=a long old value that is longer than the new one\n");
    ::chmod(path.c_str(), 0640);
    CProfileFile f;
    ASSERT_TRUE(f.Load(path));
    f.SetString("S", "k", "b");
    ASSERT_TRUE(f.Save(path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\nk=b\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"p.ini"});
}

} // namespace
} // namespace vx
