#include "document/KeltDoc.h"
#include "imageio/DibAdapters.h"
#include "imageio/ImExp.h"
#include "res/Resource.h"
#include "support/ScriptedPlatform.h"
#include "support/TempDir.h"
#include "support/TestData.h"

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
    // The morphing product's four keys, then a section of our own that it does not read.
    EXPECT_EQ(text.substr(0, text.find("\r\n[Vexel Helper]\r\n")),
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
    EXPECT_EQ(text.substr(0, text.find("\n[Vexel Helper]\n")),
              "; made by hand\n[Other]\nKey=1\n[vexelo]\noutputwidth=200\nFps=25\n"
              "OutputHeight=200\n\n[Images]\nSource=/data/pictures/source face.png\n"
              "Target=/data/pictures/target.bmp\n");
    EXPECT_EQ(text.find("[Vexel Helper]"), text.rfind("[Vexel Helper]"));
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
    const std::string text = Export("big.vpj");
    EXPECT_EQ(text.substr(0, text.find("\n[Vexel Helper]\n")), expected);
    EXPECT_TRUE(ui.messages.empty());
}

namespace {

// Real files all the way: originals on disk, loaded, placed, saved and exported through the
// commands, then reopened in a document of its own.
struct ProjectReopen : ProjectExport {
    test::ScriptedPlatform ui2;
    CKeltDoc doc2{ui2, ui2};

    std::string Original(const std::string& name, int w, int h, int shade) {
        CDibImage image(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < 3 * w; ++x) {
                image.Row(y)[x] = uint8_t(shade + x * 7 + y * 3 + (x * y) % 11);
            }
        }
        const std::string path = dir.File(name);
        auto writer = MakeWriteSource(image);
        int one = 1;
        EXPECT_EQ(ImExp_WriteFile(writer.get(), nullptr, path.c_str(), &one, nullptr, nullptr, 1),
                  1);
        return path;
    }
    bool SameBytes(const std::string& a, const std::string& b) const {
        return test::ReadWholeFile(dir.File(a)) == test::ReadWholeFile(dir.File(b));
    }
    static void Run(test::ScriptedPlatform& ui, CKeltDoc& doc, unsigned command,
                    const std::string& path) {
        ui.AnswerFile(path);
        EXPECT_TRUE(doc.OnCmdMsg(command));
    }
    // Both originals framed, saved and exported; the project's path.
    std::string FrameSaveAndExport() {
        doc.SetAspectRatio(3, 2);
        Run(ui, doc, res::ID_SOURCE_IMAGE, Original("s.png", 300, 200, 10));
        Run(ui, doc, res::ID_TARGET_IMAGE, Original("t.png", 180, 240, 90));
        doc.ApplyPlacement(ESlot::Source, {{37, -21}, 0.8137, 0.3}, EditKind::Move);
        doc.ApplyPlacement(ESlot::Target, {{-5, 12}, 1.23, -0.71}, EditKind::Rotate);
        doc.SetAspectRatio(4, 3); // after loading: the frames are scaled, not fitted again
        Run(ui, doc, res::ID_FILE_SAVE_SOURCE, dir.File("s-out.png"));
        Run(ui, doc, res::ID_FILE_SAVE_TARGET, dir.File("t-out.bmp"));
        Export("p.vpj");
        return dir.File("p.vpj");
    }
};

} // namespace

TEST_F(ProjectReopen, RoundTripGoesOnFromTheOriginalsAndSavesTheSameBytes) {
    const std::string project = FrameSaveAndExport();
    Run(ui2, doc2, res::ID_FILE_OPEN_PROJECT, project);
    EXPECT_TRUE(ui2.messages.empty());
    EXPECT_EQ(ui2.fileDialogs[0].filter, "Vexel project (*.vpj)|*.vpj|All files (*)|*|");
    for (ESlot slot : {ESlot::Source, ESlot::Target}) {
        EXPECT_EQ(doc2.GetPicture(slot)->GetPath(), doc.GetPicture(slot)->GetPath());
        EXPECT_EQ(doc2.GetFrame(slot)->Placement(), doc.GetFrame(slot)->Placement());
    }
    EXPECT_EQ(doc2.m_dAspect, doc.m_dAspect);
    EXPECT_EQ(doc2.m_nAspectX, 4);
    // The saved pictures are those of this framing: export is offered at once, nothing to lose.
    EXPECT_TRUE(doc2.m_bSourceSaved && doc2.m_bTargetSaved);
    EXPECT_FALSE(doc2.m_bSourceEdited || doc2.m_bTargetEdited);
    EXPECT_EQ(doc2.m_strTargetSaved, dir.File("t-out.bmp"));

    Run(ui2, doc2, res::ID_FILE_SAVE_SOURCE, dir.File("s-again.png"));
    Run(ui2, doc2, res::ID_FILE_SAVE_TARGET, dir.File("t-again.bmp"));
    EXPECT_TRUE(SameBytes("s-again.png", "s-out.png"));
    EXPECT_TRUE(SameBytes("t-again.bmp", "t-out.bmp"));
    // Exported again over the same saved pictures: the same project, byte for byte.
    const std::string before = test::ReadWholeFile(project);
    doc2.m_strSourceSaved = dir.File("s-out.png");
    doc2.m_strTargetSaved = dir.File("t-out.bmp");
    Run(ui2, doc2, res::ID_FILE_EXPORT, dir.File("p2.vpj"));
    EXPECT_EQ(test::ReadWholeFile(dir.File("p2.vpj")), before);
}

TEST_F(ProjectReopen, GoneOrReplacedOriginalsAndForeignProjectsOpenTheSavedPictures) {
    const std::string project = FrameSaveAndExport();
    // Values edited by hand into what no placement can be: that slot is not taken back.
    std::string text = test::ReadWholeFile(project);
    const size_t zoom = text.find("SourceZoom=");
    text.replace(zoom, text.find('\r', zoom) - zoom, "SourceZoom=nan");
    test::WriteWholeFile(dir.File("edited.vpj"), text);
    ASSERT_TRUE(doc2.OpenProject(dir.File("edited.vpj")));
    EXPECT_EQ(doc2.GetPicture(ESlot::Source)->GetPath(), dir.File("s-out.png"));
    EXPECT_EQ(doc2.GetPicture(ESlot::Target)->GetPath(), dir.File("t.png"));
    EXPECT_EQ(doc2.GetFrame(ESlot::Source)->zoom, 1.0);

    std::filesystem::remove(dir.File("s.png"));
    Original("t.png", 181, 240, 90); // another picture under the same name
    ASSERT_TRUE(doc2.OpenProject(project));
    EXPECT_EQ(doc2.GetPicture(ESlot::Source)->GetPath(), dir.File("s-out.png"));
    EXPECT_EQ(doc2.GetPicture(ESlot::Target)->GetPath(), dir.File("t-out.bmp"));
    EXPECT_EQ(doc2.GetFrame(ESlot::Source)->Placement(), FramePlacement{});
    ASSERT_EQ(ui2.messages.size(), 1u);
    EXPECT_EQ(ui2.messages[0].text,
              "The pictures this project was framed from are gone or have "
              "changed.\nThe saved framed pictures are opened in their place.");
    EXPECT_EQ(ui2.messages[0].details, dir.File("s.png") + "\n" + dir.File("t.png"));
    EXPECT_EQ(doc2.m_nAspectX, 4); // the saved crops keep their ratio

    // Written by another program, with names relative to the project's folder: no message.
    test::WriteWholeFile(dir.File("other.vpj"), "[Vexelo]\nOutputWidth=10\nOutputHeight=10\n"
                                                "[Images]\nSource=t-out.bmp\nTarget=s-out.png\n");
    ASSERT_TRUE(doc2.OpenProject(dir.File("other.vpj")));
    EXPECT_EQ(ui2.messages.size(), 1u);
    EXPECT_EQ(doc2.GetPicture(ESlot::Source)->GetPath(), dir.File("t-out.bmp"));
    EXPECT_EQ(doc2.m_strSourceSaved, "t-out.bmp");
}

TEST_F(ProjectReopen, AFailedOpenReportsAndChangesNothing) {
    Prepare(40, 30, 30, 40);
    CDibImage* source = doc.GetPicture(ESlot::Source);
    test::WriteWholeFile(dir.File("lost.vpj"), "[Images]\nSource=" + dir.File("gone.png") +
                                                   "\nTarget=" + dir.File("gone.png") + "\n");
    test::WriteWholeFile(dir.File("notes.vpj"), "[Vexelo]\nOutputWidth=10\n");
    EXPECT_FALSE(doc.OpenProject(dir.File("lost.vpj")));
    EXPECT_FALSE(doc.OpenProject(dir.File("notes.vpj")));
    EXPECT_FALSE(doc.OpenProject(dir.File("missing.vpj")));
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[0].text, "Can't read file. Locate file?"); // as the menus load
    EXPECT_EQ(ui.messages[1].text.rfind("Error number 4\n", 0), 0u);
    EXPECT_EQ(ui.messages[2].text,
              "This file is not a Vexel project: it names no source or no target image.");
    EXPECT_EQ(ui.messages[3].text, "Can't open the project.");
    EXPECT_EQ(ui.messages[3].details, "missing.vpj: the file cannot be opened (No such file or "
                                      "directory)");
    EXPECT_EQ(doc.GetPicture(ESlot::Source), source);
    EXPECT_TRUE(doc.m_bSourceSaved && doc.m_bTargetSaved);
}

// A frame of a movie comes back as that frame, without asking for it again.
TEST_F(ProjectReopen, AMovieFrameComesBackWithoutTheDialog) {
    const std::string movie = test::TestDataPath("movie/h264_30x32.mp4");
    ui.AnswerFile(movie);
    ui.frameAnswers.push_back(1);
    doc.OnCmdMsg(res::ID_SOURCE_VIDEO);
    Run(ui, doc, res::ID_TARGET_IMAGE, Original("t.png", 30, 30, 90));
    doc.ApplyPlacement(ESlot::Source, {{3, 4}, 0.5, 0.25}, EditKind::Zoom);
    Run(ui, doc, res::ID_FILE_SAVE_SOURCE, dir.File("s-out.png"));
    Run(ui, doc, res::ID_FILE_SAVE_TARGET, dir.File("t-out.png"));
    Export("m.vpj");
    ASSERT_TRUE(doc2.OpenProject(dir.File("m.vpj")));
    EXPECT_TRUE(ui2.chooseFrameDialogs.empty());
    EXPECT_EQ(doc2.GetPicture(ESlot::Source)->GetPath(), movie);
    EXPECT_EQ(doc2.GetPicture(ESlot::Source)->FrameIndex(), 1);
    EXPECT_EQ(doc2.GetFrame(ESlot::Source)->Placement(), doc.GetFrame(ESlot::Source)->Placement());
    Run(ui2, doc2, res::ID_FILE_SAVE_SOURCE, dir.File("s-again.png"));
    EXPECT_TRUE(SameBytes("s-again.png", "s-out.png"));
}
