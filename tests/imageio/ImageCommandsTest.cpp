#include "document/KeltDoc.h"
#include "imageio/Codecs.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace vx;

namespace {

void SavePicture(int w, int h, const std::string& path, uint8_t shade) {
    CDibImage image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 3 * w; ++x) {
            image.Row(y)[x] = uint8_t(shade + x + 2 * y);
        }
    }
    auto writer = MakeWriteSource(image);
    int one = 1;
    ASSERT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1), 1);
}

struct ImageCommands : ::testing::Test {
    test::ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
    test::TempDir dir;

    void Load(unsigned command, const std::string& path) {
        ui.AnswerFile(path);
        EXPECT_TRUE(doc.OnCmdMsg(command));
    }
    void LoadBoth() {
        SavePicture(300, 200, dir.File("s.png"), 10);
        SavePicture(120, 160, dir.File("t.bmp"), 90);
        Load(res::ID_SOURCE_IMAGE, dir.File("s.png"));
        Load(res::ID_TARGET_IMAGE, dir.File("t.bmp"));
        ASSERT_TRUE(doc.BothLoaded());
    }
};

} // namespace

TEST_F(ImageCommands, LoadInstallsAndNoChoiceChangesNothing) {
    ui.previewSize = ViewSize{100, 100};
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_SOURCE_IMAGE);
    ASSERT_EQ(ui.titles.size(), 1u);
    EXPECT_EQ(ui.titles[0], "Vexel Helper");
    EXPECT_EQ(doc.m_pSource, nullptr);
    EXPECT_EQ(ui.allViewUpdates, 0);
    LoadBoth();
    EXPECT_EQ(doc.m_pSource->Width(), 300);
    EXPECT_EQ(doc.m_pSource->GetName(), "s.png");
    EXPECT_EQ(doc.m_pTarget->Height(), 160);
    EXPECT_NE(doc.m_pPreview, nullptr);
    EXPECT_FALSE(ui.fileDialogs[0].save);
}

TEST_F(ImageCommands, FailedLoadKeepsOldPictureButClearsSavedFlag) {
    ui.previewSize = ViewSize{100, 100};
    LoadBoth();
    CDibImage* before = doc.m_pSource.get();
    doc.m_bSourceSaved = true;
    const int repaints = ui.previewRepaints;
    test::WriteWholeFile(dir.File("bad.png"), "\x89PNG\r\n\x1a\nnot really");
    ui.messageAnswers.push_back(MsgResult::No);
    Load(res::ID_SOURCE_IMAGE, dir.File("bad.png"));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Can't read file. Locate file?");
    EXPECT_EQ(ui.messages[1].text, "Error number 4\nCan't read file!\nPossible cause - disk "
                                   "reading error, bad picture format, etc.\n");
    EXPECT_EQ(doc.m_pSource.get(), before);
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_GT(ui.previewRepaints, repaints);
}

TEST_F(ImageCommands, SaveWritesTheFullRenderAndRecordsThePath) {
    LoadBoth();
    doc.GetSourceFrame()->SetAngle(0.3);
    doc.GetSourceFrame()->SetZoom(1.5);
    const std::string out = dir.File("framed"); // no extension: the PNG entry's is added
    ui.AnswerFile(out, 0);
    EXPECT_TRUE(doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE));
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.m_strSourceSaved, out + ".png");
    EXPECT_TRUE(ui.fileDialogs.back().save);
    ASSERT_FALSE(ui.progressDialogs.empty());
    EXPECT_FALSE(ui.progressDialogs.back().cancelAllowed);

    const OutputSize size = doc.GetOutputSize(ESlot::Source);
    EXPECT_EQ(size, (OutputSize{300, 300}));
    CDibImage expected(size.width, size.height);
    doc.RenderFull(*doc.GetSourceFrame(), expected);
    CDibImage saved(ui, out + ".png", false);
    ASSERT_EQ(saved.Width(), size.width);
    ASSERT_EQ(saved.Height(), size.height);
    EXPECT_EQ(std::memcmp(saved.Bits(), expected.Bits(), expected.RasterBytes()), 0);

    // A save that fails says so and leaves path and flag as they were.
    ui.AnswerFile(dir.File("gone/x.png"));
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    EXPECT_EQ(doc.m_strSourceSaved, out + ".png");
    EXPECT_TRUE(doc.m_bSourceSaved);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, "Error number 8\nCan't create file!\nPossible cause - "
                                       "file is in use or no free disk space.");
    // Cancelling the dialog changes nothing.
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_FILE_SAVE_TARGET);
    EXPECT_FALSE(doc.m_bTargetSaved);
}

// Save and Export propose a name after the picture, in the folder last used for that kind of
// file, else beside the picture.
TEST_F(ImageCommands, SaveAndExportProposeANameInTheFolderLastUsed) {
    LoadBoth();
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    EXPECT_EQ(ui.fileDialogs.back().initialName, dir.File("s-source.png"));

    std::filesystem::create_directory(dir.Path() / "out");
    ui.AnswerFile(dir.File("out/mine.png"));
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_FILE_SAVE_TARGET);
    EXPECT_EQ(ui.fileDialogs.back().initialName, dir.File("out/t-target.png"));

    ui.AnswerFile(dir.File("project.vpj"));
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    EXPECT_EQ(ui.fileDialogs.back().initialName, dir.File("out/s.vpj"));
    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    EXPECT_EQ(ui.fileDialogs.back().initialName, dir.File("s.vpj"));
}

// Every filter entry of the save dialog writes its own format when the name has no extension.
TEST_F(ImageCommands, EachSaveFilterWritesItsFormat) {
    LoadBoth();
    const std::pair<const char*, codec::Format> entries[] = {{"png", codec::Format::Png},
                                                             {"jpg", codec::Format::Jpeg},
                                                             {"bmp", codec::Format::Bmp},
                                                             {"tif", codec::Format::Tiff},
                                                             {"webp", codec::Format::WebP}};
    for (int i = 0; i < int(std::size(entries)); ++i) {
        const std::string name = dir.File("framed" + std::to_string(i));
        ui.AnswerFile(name, i);
        ASSERT_TRUE(doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE));
        EXPECT_EQ(doc.m_strSourceSaved, name + "." + entries[i].first);
        EXPECT_EQ(codec::Sniff(test::ReadWholeFile(doc.m_strSourceSaved).substr(0, 64)),
                  entries[i].second)
            << i;
    }
}

TEST_F(ImageCommands, ScannedFileIsKeptUntilSavedElsewhere) {
    ui.previewSize = ViewSize{80, 80};
    LoadBoth();
    SavePicture(64, 48, dir.File("scan1.png"), 30);
    ui.AnswerNoFile(); // the user keeps nothing
    doc.AddTwainFile(dir.File("scan1.png"), false);
    EXPECT_EQ(doc.m_pTarget->Width(), 64);
    EXPECT_FALSE(doc.m_bTargetSaved);
    EXPECT_TRUE(std::filesystem::exists(dir.File("scan1.png")));
    EXPECT_TRUE(ui.messages.empty());

    SavePicture(40, 30, dir.File("scan2.png"), 60);
    ui.AnswerFile(dir.File("kept.bmp"));
    doc.AddTwainFile(dir.File("scan2.png"), true);
    EXPECT_EQ(doc.m_pSource->Width(), 40);
    EXPECT_FALSE(std::filesystem::exists(dir.File("scan2.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("kept.bmp")));
    EXPECT_EQ(doc.m_pSource->GetPath(), dir.File("kept.bmp"));
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_NE(doc.m_pPreview, nullptr);
}

// A camera's capture has no file of its own: it fills the slot as a scan does, as one undo step,
// and the offer to keep it names the camera.
TEST_F(ImageCommands, CapturedPictureFillsTheSlotLikeAScan) {
    ui.previewSize = ViewSize{80, 80};
    LoadBoth();
    const CDibImage* before = doc.m_pTarget.get();
    ui.AnswerNoFile();
    doc.AddAcquiredPicture(ESlot::Target, std::make_unique<CDibImage>(50, 40), {}, "Webcam");
    EXPECT_EQ(doc.m_pTarget->Width(), 50);
    EXPECT_FALSE(doc.m_bTargetSaved);
    EXPECT_TRUE(doc.m_pTarget->GetPath().empty());
    EXPECT_TRUE(ui.fileDialogs.back().save);
    EXPECT_NE(doc.m_pPreview, nullptr);
    doc.Undo();
    EXPECT_EQ(doc.m_pTarget.get(), before);

    ui.AnswerFile(dir.File("capture.png"));
    doc.AddAcquiredPicture(ESlot::Source, std::make_unique<CDibImage>(30, 20), {}, "Webcam");
    EXPECT_EQ(ui.progressDialogs.back().text, "Webcam");
    EXPECT_EQ(doc.m_pSource->GetPath(), dir.File("capture.png"));
    EXPECT_EQ(CDibImage(ui, dir.File("capture.png"), false).Width(), 30);
    EXPECT_FALSE(doc.m_bSourceSaved); // the framed picture is what a save means
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImageCommands, ReadOnlyFilesAreNeitherReplacedBySaveNorByExport) {
    LoadBoth();
    const std::string picture = dir.File("locked.png");
    const std::string project = dir.File("locked.vpj");
    test::WriteWholeFile(picture, "keep me");
    test::WriteWholeFile(project, "[Vexelo]\r\nOutputWidth=1\r\n");
    std::filesystem::permissions(picture, std::filesystem::perms::owner_read);
    std::filesystem::permissions(project, std::filesystem::perms::owner_read);
    const std::string error8 = "Error number 8\nCan't create file!\nPossible cause - file is in "
                               "use or no free disk space.";

    ui.AnswerFile(picture);
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    EXPECT_FALSE(doc.m_bSourceSaved);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, error8);
    EXPECT_EQ(test::ReadWholeFile(picture), "keep me");

    ui.AnswerFile(dir.File("s-out.png"));
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    ui.AnswerFile(dir.File("t-out.png"));
    doc.OnCmdMsg(res::ID_FILE_SAVE_TARGET);
    ui.AnswerFile(project);
    doc.OnCmdMsg(res::ID_FILE_EXPORT);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, error8);
    EXPECT_EQ(test::ReadWholeFile(project), "[Vexelo]\r\nOutputWidth=1\r\n");
}

TEST_F(ImageCommands, EmptyOrHugeFramedPicturesAreRefusedBeforeTheFileDialog) {
    LoadBoth();
    doc.GetSourceFrame()->SetZoom(0.003); // 300 x 200 zoomed out to less than a pixel high
    ASSERT_EQ(doc.GetOutputSize(ESlot::Source).height, 0);
    const size_t dialogs = ui.fileDialogs.size();
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    EXPECT_EQ(ui.fileDialogs.size(), dialogs);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind("The framed picture is empty", 0), 0u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);

    // Beyond what a picture file may hold: refused before the render, not blamed on the disk.
    doc.GetSourceFrame()->SetZoom(200.0); // 40000 x 40000
    doc.OnCmdMsg(res::ID_FILE_SAVE_SOURCE);
    EXPECT_EQ(ui.fileDialogs.size(), dialogs);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text.rfind("The framed picture would be 40000 x 40000 pixels", 0), 0u);
    EXPECT_FALSE(doc.m_bSourceSaved);
}
