#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vx;

namespace {

struct ProjectExport : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    test::TempDir dir;

    void Prepare(int sw, int sh, int tw, int th) {
        doc.InstallPicture(ESlot::Source, std::make_unique<CDibImage>(sw, sh));
        doc.InstallPicture(ESlot::Target, std::make_unique<CDibImage>(tw, th));
        doc.m_strSourceSaved = "/data/pictures/source face.png";
        doc.m_strTargetSaved = "/data/pictures/target.bmp";
        doc.m_bSourceSaved = doc.m_bTargetSaved = true;
    }
    std::string Export(const std::string& name) {
        const std::string path = dir.File(name);
        ui.AnswerFile(path);
        EXPECT_TRUE(doc.OnCmdMsg(res::ID_FILE_EXPORT));
        return test::ReadWholeFile(path);
    }
};

} // namespace

TEST_F(ProjectExport, WritesTheFourValuesInOrder) {
    Prepare(300, 200, 400, 500);
    const std::string text = Export("a.vpj");
    EXPECT_EQ(text,
              "[Vexelo]\r\nOutputWidth=400\r\nOutputHeight=400\r\n\r\n[Images]\r\n"
              "Source=/data/pictures/source face.png\r\nTarget=/data/pictures/target.bmp\r\n");
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    const FileDialogOptions& o = ui.fileDialogs[0];
    EXPECT_TRUE(o.save);
    EXPECT_EQ(o.defaultExt, "vpj");
    EXPECT_EQ(o.filter, "Vexel project (*.vpj)|*.vpj");
    EXPECT_TRUE(o.promptOverwrite);
    EXPECT_TRUE(o.hideReadOnly);
    EXPECT_EQ(o.initialName, "/data/pictures/source face.vpj"); // beside the saved pictures
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProjectExport, MaximaTakenSeparatelyUnderTheRatio) {
    doc.SetAspectRatio(4, 3);
    Prepare(1000, 1000, 400, 1000);
    const std::string text = Export("b.vpj");
    EXPECT_NE(text.find("OutputWidth=1333\r\n"), std::string::npos);
    EXPECT_NE(text.find("OutputHeight=1000\r\n"), std::string::npos);
}

TEST_F(ProjectExport, ExistingFileKeepsOtherKeysAndTwiceGivesOneCopy) {
    Prepare(300, 200, 400, 500);
    const std::string path = dir.File("c.vpj");
    test::WriteWholeFile(path, "; made by hand\n[Other]\nKey=1\n[vexelo]\noutputwidth=7\nFps=25\n");
    Export("c.vpj");
    doc.GetTargetFrame()->SetZoom(0.5);
    const std::string text = Export("c.vpj");
    // The existing key keeps its spelling; its value is replaced in place.
    EXPECT_EQ(text, "; made by hand\n[Other]\nKey=1\n[vexelo]\noutputwidth=200\nFps=25\n"
                    "OutputHeight=200\n\n[Images]\nSource=/data/pictures/source face.png\n"
                    "Target=/data/pictures/target.bmp\n");
}

TEST_F(ProjectExport, CancelWritesNothingAndFailureKeepsOldFile) {
    Prepare(300, 200, 400, 500);
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_TRUE(ui.messages.empty());

    // The target is a folder: nothing can be written there.
    std::filesystem::create_directory(dir.File("folder.vpj"));
    ui.AnswerFile(dir.File("folder.vpj"));
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    // A folder that is gone.
    ui.AnswerFile(dir.File("gone/x.vpj"));
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Error number 8\nCan't create file!\nPossible cause - file is "
                                   "in use or no free disk space.");
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1); // the folder only: no temporary file left behind
}

TEST_F(ProjectExport, APathWithALineBreakIsRefusedAndTheFileKept) {
    Prepare(300, 200, 400, 500);
    const std::string path = dir.File("d.vpj");
    test::WriteWholeFile(path, "[Vexelo]\r\nOutputWidth=1\r\n");
    doc.m_strTargetSaved = "/data/pictures/two\nlines.png";
    const size_t dialogs = ui.fileDialogs.size();
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    EXPECT_EQ(ui.fileDialogs.size(), dialogs);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("saved target picture holds a line break"),
              std::string::npos);
    EXPECT_EQ(test::ReadWholeFile(path), "[Vexelo]\r\nOutputWidth=1\r\n");
}

TEST_F(ProjectExport, BigFileKeepsAllItsContent) {
    // Larger than any settings file may be: project files have no such limit.
    Prepare(300, 200, 400, 500);
    std::string big = "[Images]\nSource=old\n";
    while (big.size() < (3u << 20)) {
        big += "[Notes" + std::to_string(big.size()) + "]\nline=some text of the user\n";
    }
    test::WriteWholeFile(dir.File("big.vpj"), big);
    std::string expected = big;
    expected.replace(expected.find("Source=old"), 10, "Source=/data/pictures/source face.png");
    expected.insert(expected.find("[Notes"), "Target=/data/pictures/target.bmp\n");
    expected += "\n[Vexelo]\nOutputWidth=400\nOutputHeight=400\n";
    EXPECT_EQ(Export("big.vpj"), expected);
    EXPECT_TRUE(ui.messages.empty());
}
