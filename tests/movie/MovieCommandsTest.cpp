#include "support/TestMovies.h"

#include "support/ScriptedPlatform.h"

#include "base/MyException.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"

namespace vx::test {
namespace {

class MovieCommandsTest : public MovieSuite {
protected:
    static void SetUpTestSuite() {
        MovieSuite::SetUpTestSuite();
        s_movie =
            MakeMovie(*s_pDir, {"commands.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 24", 48});
    }
    void SetUp() override { ASSERT_FALSE(s_movie.empty()) << "ffmpeg could not make the movie"; }

    // A slot holding a plain picture that a command must leave alone or keep.
    CDibImage* Fill(ESlot slot, bool saved) {
        doc.InstallPicture(slot, std::make_unique<CDibImage>(40, 30));
        (slot == ESlot::Source ? doc.m_bSourceSaved : doc.m_bTargetSaved) = saved;
        return doc.GetPicture(slot);
    }

    static inline std::string s_movie;
    ScriptedPlatform ui;
    CKeltDoc doc{ui, ui};
};

TEST_F(MovieCommandsTest, TheChosenFrameFillsItsOwnSlotOnly) {
    CDibImage* target = Fill(ESlot::Target, true);
    ui.AnswerFile(s_movie);
    ui.frameAnswers.push_back(17);
    ASSERT_TRUE(doc.OnCmdMsg(res::ID_SOURCE_VIDEO));

    EXPECT_EQ(ui.titles.back(), "Vexel Helper");
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_FALSE(ui.fileDialogs[0].save);
    // The original entry first, then every kind the reader opens, then every file.
    const std::string filter = ui.fileDialogs[0].filter;
    EXPECT_EQ(filter.find("Video files (*.mpg; *.mpeg; *.avi; *.mov; *.qt)|*.mpg; *.mpeg; *.avi; "
                          "*.mov; *.qt|All movie files|*.mp4;"),
              0u);
    for (const char* ext : {".mp4;", ".mkv;", ".webm;", ".m4v;", ".ts;", ".m2ts;", ".avi;"}) {
        EXPECT_NE(filter.find(ext), std::string::npos) << ext;
    }
    EXPECT_TRUE(filter.ends_with("|All files (*)|*||"));
    EXPECT_EQ(ui.chooseFrameDialogs, std::vector<std::string>{s_movie});
    EXPECT_TRUE(ui.messages.empty());

    const CDibImage* source = doc.GetPicture(ESlot::Source);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Width(), kMovieWidth);
    EXPECT_EQ(source->Height(), kMovieHeight);
    EXPECT_EQ(source->GetPath(), s_movie);
    EXPECT_EQ(source->FrameIndex(), 17);
    EXPECT_EQ(FrameNumberOf(source->Bits(), source->Width(), source->Height()), 17);
    EXPECT_NE(doc.GetSourceFrame(), nullptr);
    EXPECT_FALSE(doc.m_bSourceSaved);
    EXPECT_EQ(doc.GetPicture(ESlot::Target), target);
    EXPECT_TRUE(doc.m_bTargetSaved);

    // The last frame into the other slot.
    ui.AnswerFile(s_movie);
    ui.frameAnswers.push_back(47);
    doc.OnCmdMsg(res::ID_TARGET_VIDEO);
    const CDibImage* last = doc.GetPicture(ESlot::Target);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->FrameIndex(), 47);
    EXPECT_EQ(FrameNumberOf(last->Bits(), last->Width(), last->Height()), 47);
    EXPECT_EQ(doc.GetPicture(ESlot::Source), source);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MovieCommandsTest, CancellingEitherDialogChangesNothing) {
    CDibImage* source = Fill(ESlot::Source, true);
    CPictFrame* frame = doc.GetSourceFrame();
    const int repaints = ui.previewRepaints;

    ui.AnswerNoFile();
    doc.OnCmdMsg(res::ID_SOURCE_VIDEO);
    EXPECT_TRUE(ui.chooseFrameDialogs.empty());
    EXPECT_EQ(ui.titles.size(), 1u);

    ui.AnswerFile(s_movie);
    ui.frameAnswers.push_back(std::nullopt);
    doc.OnCmdMsg(res::ID_SOURCE_VIDEO);
    EXPECT_EQ(ui.chooseFrameDialogs.size(), 1u);
    EXPECT_EQ(ui.titles.size(), 2u);

    EXPECT_EQ(doc.GetPicture(ESlot::Source), source);
    EXPECT_EQ(doc.GetSourceFrame(), frame);
    EXPECT_TRUE(doc.m_bSourceSaved);
    EXPECT_EQ(ui.previewRepaints, repaints);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MovieCommandsTest, AFrameThatCannotBeReadIsReportedOnceAndKeepsTheSlot) {
    CDibImage* target = Fill(ESlot::Target, true);
    CPictFrame* frame = doc.GetTargetFrame();
    // The movie went bad between the dialog and the reading.
    const std::string broken = s_pDir->File("broken.mp4");
    WriteWholeFile(broken, "not a movie at all");
    ui.AnswerFile(broken);
    ui.frameAnswers.push_back(3);
    doc.OnCmdMsg(res::ID_TARGET_VIDEO);

    ASSERT_EQ(ui.messages.size(), 1u);
    // Code 9's text as it always was; the file and what went wrong beneath it.
    EXPECT_EQ(ui.messages[0].text, CMyException(9).Message());
    EXPECT_EQ(ui.messages[0].details.rfind("broken.mp4: ", 0), 0u) << ui.messages[0].details;
    EXPECT_GT(ui.messages[0].details.size(), std::string("broken.mp4: ").size());
    EXPECT_EQ(doc.GetPicture(ESlot::Target), target);
    EXPECT_EQ(doc.GetTargetFrame(), frame);
    EXPECT_FALSE(doc.m_bTargetSaved); // export waits until the slot is saved again
    EXPECT_EQ(doc.GetPicture(ESlot::Source), nullptr);

    // A movie without pictures says so.
    const std::string sound =
        RunFfmpeg(*s_pDir, "sound.mp4", "-f lavfi -i sine=duration=0.3 -c:a aac");
    ASSERT_FALSE(sound.empty());
    ui.AnswerFile(sound);
    ui.frameAnswers.push_back(0);
    doc.OnCmdMsg(res::ID_SOURCE_VIDEO);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, CMyException(9).Message());
    EXPECT_EQ(ui.messages[1].details, "sound.mp4: no video track");
}

} // namespace
} // namespace vx::test
