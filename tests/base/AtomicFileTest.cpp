#include "base/AtomicFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

bool Replace(const std::string& path, const std::string& text, CAtomicFile::Mode mode) {
    CAtomicFile file;
    return file.Open(path, mode) && file.WriteAll(text.data(), text.size()) && file.Commit();
}

class AtomicFileModes : public testing::TestWithParam<CAtomicFile::Mode> {};

TEST_P(AtomicFileModes, CreatesAndReplacesKeepingPermissionsAndLeavingNothingElse) {
    TempDir dir;
    const std::string path = dir.File("out.png");
    ASSERT_TRUE(Replace(path, "first", GetParam()));
    EXPECT_EQ(ReadWholeFile(path), "first");
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf(path), 0666 & ~mask);

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(Replace(path, "second, longer", GetParam()));
    EXPECT_EQ(ReadWholeFile(path), "second, longer");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"out.png"});
}

TEST_P(AtomicFileModes, AnUncommittedWriteLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const std::string path = dir.File("keep.ini");
    WriteWholeFile(path, "old");
    {
        CAtomicFile file;
        ASSERT_TRUE(file.Open(path, GetParam()));
        ASSERT_TRUE(file.WriteAll("new", 3));
    }
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"keep.ini"});
}

TEST_P(AtomicFileModes, LinksAreWrittenThroughAndStayLinks) {
    TempDir dir;
    fs::create_directory(dir.Path() / "real");
    const std::string real = dir.File("real/picture.jpg");
    WriteWholeFile(real, "old");
    fs::create_symlink("real/picture.jpg", dir.Path() / "link.jpg");
    ASSERT_TRUE(Replace(dir.File("link.jpg"), "new", GetParam()));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.jpg"));
    EXPECT_EQ(ReadWholeFile(real), "new");

    // A dangling link creates the file it names.
    fs::create_symlink("real/missing.jpg", dir.Path() / "dangling.jpg");
    ASSERT_TRUE(Replace(dir.File("dangling.jpg"), "made", GetParam()));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "dangling.jpg"));
    EXPECT_EQ(ReadWholeFile(dir.File("real/missing.jpg")), "made");
    EXPECT_EQ(Entries(dir.Path() / "real"),
              (std::vector<std::string>{"missing.jpg", "picture.jpg"}));
}

INSTANTIATE_TEST_SUITE_P(Both, AtomicFileModes,
                         testing::Values(CAtomicFile::Mode::Auto,
                                         CAtomicFile::Mode::NamedTemporary),
                         [](const auto& info) {
                             return info.param == CAtomicFile::Mode::Auto ? "Anonymous" : "Named";
                         });

TEST(AtomicFile, RefusesReadOnlyFilesFoldersAndSpecialFiles) {
    TempDir dir;
    const std::string readOnly = dir.File("locked.png");
    WriteWholeFile(readOnly, "precious");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    CAtomicFile file;
    EXPECT_FALSE(file.Open(readOnly));
    EXPECT_EQ(file.ErrorNumber(), EACCES);
    EXPECT_FALSE(file.Error().empty());
    EXPECT_EQ(ReadWholeFile(readOnly), "precious");
    EXPECT_EQ(ModeOf(readOnly), 0444u);

    EXPECT_FALSE(file.Open(dir.Path().string()));
    EXPECT_EQ(file.ErrorNumber(), EISDIR);
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_FALSE(file.Open(fifo));
    EXPECT_FALSE(file.Open(dir.File("no/such/folder/x.png")));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"locked.png", "pipe"}));
}

// A child process that dies in the middle of a write, as on a power cut or SIGKILL.
void KilledWhileWriting(const std::string& path, CAtomicFile::Mode mode) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CAtomicFile file;
        if (file.Open(path, mode)) {
            file.WriteAll("half a picture", 14);
        }
        raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
}

TEST(AtomicFile, AKilledWriterLeavesNothingBehindOrOnlyWhatTheNextWriteRemoves) {
    TempDir dir;
    const std::string path = dir.File("project.vpj");
    WriteWholeFile(path, "old");
    for (int i = 0; i < 5; ++i) {
        KilledWhileWriting(path, CAtomicFile::Mode::Auto);
    }
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"project.vpj"});

    // Without anonymous files a dead writer's temporary stays until the next write.
    for (int i = 0; i < 3; ++i) {
        KilledWhileWriting(path, CAtomicFile::Mode::NamedTemporary);
        EXPECT_EQ(Entries(dir.Path()).size(), 2u);
    }
    // Someone else's hidden file and a live writer's temporary are not ours to remove.
    WriteWholeFile(dir.File(".project.vpj.swp"), "editor");
    CAtomicFile live;
    ASSERT_TRUE(live.Open(path, CAtomicFile::Mode::NamedTemporary));
    ASSERT_TRUE(Replace(path, "new", CAtomicFile::Mode::Auto));
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(Entries(dir.Path()).size(), 3u); // the file, the editor's and the live temporary
    live.Discard();
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{".project.vpj.swp", "project.vpj"}));
}

TEST(AtomicFile, AWriteThatFailsForLackOfSpaceKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("big.bmp");
    WriteWholeFile(path, "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit fails the write as a full disk would.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string data(100000, 'x');
        CAtomicFile file;
        const bool opened = file.Open(path);
        const bool wrote = opened && file.WriteAll(data.data(), data.size());
        _exit(opened && !wrote && file.ErrorNumber() == EFBIG && file.Fd() < 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"big.bmp"});
}

} // namespace
} // namespace vx
