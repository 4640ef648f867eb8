// The Choose Frame dialog on real movies, and loading a slot from a movie through the menus.
#include "app/KeltApp.h"
#include "base/MyException.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "support/TestMovies.h"
#include "ui/ChooseFrameDlg.h"
#include "ui/CommandActions.h"
#include "ui/MainFrame.h"
#include "ui/QtDrawTarget.h"
#include "ui/ViewPict.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace vx {
namespace {

using test::MakeMovie;
using test::TempDir;

// The number a shown frame carries, read at the places of the test movies' bit columns scaled
// to the shown size; -1 when it shows none cleanly.
int ShownNumber(const QImage& shown) {
    const int w = shown.width();
    const int h = shown.height();
    if (w < 16 || h < 16) {
        return -1;
    }
    int number = 0;
    for (int b = 0; b < 8; ++b) {
        const int x = (b * 20 + 10) * w / test::kMovieWidth;
        const int upper = qGreen(shown.pixel(x, 30 * h / test::kMovieHeight));
        const int lower = qGreen(shown.pixel(x, 90 * h / test::kMovieHeight));
        const auto clean = [](int g) { return g < 70 || g > 180; };
        if (!clean(upper) || !clean(lower) || (upper > 128) == (lower > 128)) {
            return -1;
        }
        number |= upper > 128 ? (1 << b) : 0;
    }
    return number;
}

// Answers every message box, counting them.
struct Messages {
    explicit Messages(ui::CQtPlatform& platform) {
        platform.SetMessageHook([this](const std::string& text, MsgButtons, MsgIcon) {
            texts.push_back(text);
            return MsgResult::Ok;
        });
    }
    std::vector<std::string> texts;
};

class ChooseFrame : public test::MovieSuite {
protected:
    static void SetUpTestSuite() {
        MovieSuite::SetUpTestSuite();
        s_long = MakeMovie(*s_pDir, {"long.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 24", 250});
        s_single = MakeMovie(*s_pDir, {"single.avi", "-c:v mjpeg -q:v 3", 1});
    }
    void SetUp() override {
        ASSERT_FALSE(s_long.empty());
        ASSERT_FALSE(s_single.empty());
    }
    // Paints the dialog as the window system would and answers the number it shows.
    static int Painted(ui::CChooseFrameDlg& dialog) {
        dialog.grab();
        return ShownNumber(dialog.ShownFrame());
    }
    static bool Enabled(ui::CChooseFrameDlg& dialog, unsigned id) {
        return dialog.Button(id)->isEnabled();
    }

    static inline std::string s_long;
    static inline std::string s_single;
    ui::CQtPlatform platform;
    Messages messages{platform};
};

TEST_F(ChooseFrame, StepsTheSliderAndTheLabelShowTheChosenFrame) {
    ui::CChooseFrameDlg dialog(platform, nullptr);
    dialog.m_strMoviePath = s_long;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.m_nLastFrame, 249);
    EXPECT_EQ(dialog.m_slider->minimum(), 0);
    EXPECT_EQ(dialog.m_slider->maximum(), 249);
    EXPECT_EQ(dialog.m_slider->tickInterval(), 24);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 1/250");
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_FIRST));
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_PREV));
    EXPECT_TRUE(Enabled(dialog, res::IDC_FRAME_NEXT));
    EXPECT_TRUE(Enabled(dialog, res::IDC_FRAME_LAST));
    EXPECT_EQ(Painted(dialog), 0);

    dialog.Button(res::IDC_FRAME_LAST)->click();
    EXPECT_EQ(dialog.m_nFrame, 249);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 250/250");
    EXPECT_EQ(dialog.m_slider->value(), 249);
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_NEXT));
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_LAST));
    EXPECT_TRUE(Enabled(dialog, res::IDC_FRAME_FIRST));
    EXPECT_EQ(Painted(dialog), 249);

    // Backwards, by button and by slider; every paint shows the frame the label names.
    dialog.Button(res::IDC_FRAME_PREV)->click();
    EXPECT_EQ(dialog.m_nFrame, 248);
    EXPECT_EQ(Painted(dialog), 248);
    dialog.m_slider->setValue(100);
    EXPECT_EQ(dialog.m_nFrame, 100);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 101/250");
    EXPECT_EQ(Painted(dialog), 100);
    QTest::keyClick(dialog.m_slider, Qt::Key_Right);
    EXPECT_EQ(dialog.m_nFrame, 101);
    EXPECT_EQ(Painted(dialog), 101);
    dialog.Button(res::IDC_FRAME_NEXT)->click();
    EXPECT_EQ(Painted(dialog), 102);

    // Repaints without a step (the dialog uncovered) show the same frame again.
    EXPECT_EQ(Painted(dialog), 102);
    EXPECT_EQ(Painted(dialog), 102);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 103/250");

    dialog.Button(res::IDC_FRAME_FIRST)->click();
    EXPECT_EQ(dialog.m_nFrame, 0);
    EXPECT_EQ(Painted(dialog), 0);
    EXPECT_TRUE(messages.texts.empty());

    // The frame is fitted and centred in the preview area.
    const QRect area = dialog.PreviewArea()->geometry();
    const QRect fitted = dialog.FittedPreview();
    EXPECT_EQ(fitted, ui::CViewPict::FittedRect(test::kMovieWidth, test::kMovieHeight, area.width(),
                                                area.height())
                          .translated(area.topLeft()));
    EXPECT_TRUE(area.contains(fitted));
    EXPECT_EQ(dialog.ShownFrame().size(), fitted.size());

    // Ending the dialog frees its reader; the choice stays readable.
    dialog.Button(res::IDC_FRAME_NEXT)->click();
    dialog.done(QDialog::Accepted);
    EXPECT_EQ(dialog.m_pReader, nullptr);
    EXPECT_EQ(dialog.m_nFrame, 1);
}

TEST_F(ChooseFrame, AOneFrameMovieHasNothingToStepTo) {
    ui::CChooseFrameDlg dialog(platform, nullptr);
    dialog.m_strMoviePath = s_single;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.m_nLastFrame, 0);
    for (unsigned id :
         {res::IDC_FRAME_FIRST, res::IDC_FRAME_PREV, res::IDC_FRAME_NEXT, res::IDC_FRAME_LAST}) {
        EXPECT_FALSE(Enabled(dialog, id)) << id;
    }
    EXPECT_EQ(dialog.m_slider->maximum(), 0);
    EXPECT_EQ(dialog.m_slider->tickInterval(), 1);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 1/1");
    EXPECT_EQ(Painted(dialog), 0);

    EXPECT_EQ(ui::CChooseFrameDlg::TickFrequency(9), 1);  // 10 frames
    EXPECT_EQ(ui::CChooseFrameDlg::TickFrequency(10), 1); // 11 frames
    EXPECT_EQ(ui::CChooseFrameDlg::TickFrequency(24), 2); // 25 frames
    // The label takes the low 32 bits of the numbers.
    EXPECT_EQ(ui::CChooseFrameDlg::FrameLabel((int64_t(1) << 32) + 4, (int64_t(1) << 32) + 9),
              "Frame - 5/10");
}

TEST_F(ChooseFrame, AMovieThatCannotBeOpenedIsReportedOnceAndTheDialogDoesNotStay) {
    const std::string broken = s_pDir->File("broken.avi");
    test::WriteWholeFile(broken, std::string(5000, 'x'));
    for (const std::string& path : {broken, s_pDir->File("missing.mpg")}) {
        messages.texts.clear();
        ui::CChooseFrameDlg dialog(platform, nullptr);
        dialog.m_strMoviePath = path;
        // Should the dialog open after all, it is closed so that the test ends.
        QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(QDialog::Accepted); });
        EXPECT_EQ(dialog.DoModal(), QDialog::Rejected) << path;
        EXPECT_EQ(dialog.m_pReader, nullptr);
        ASSERT_EQ(messages.texts.size(), 1u) << path;
        EXPECT_EQ(messages.texts[0], CMyException(9).Message());
        // Beneath it, which movie and why.
        const std::string name = std::filesystem::path(path).filename().string() + ": ";
        const std::string& details = platform.LastMessageDetails();
        EXPECT_EQ(details.rfind(name, 0), 0u) << details;
        EXPECT_GT(details.size(), name.size()) << details;
    }
}

TEST(ChooseFrameFit, TheFrameKeepsItsProportionsInThePreviewArea) {
    EXPECT_EQ(ui::CViewPict::FittedRect(352, 288, 160, 120), QRect(7, 0, 146, 120));
    EXPECT_EQ(ui::CViewPict::FittedRect(320, 120, 160, 120), QRect(0, 30, 160, 60));
    EXPECT_EQ(ui::CViewPict::FittedRect(160, 240, 160, 120), QRect(40, 0, 80, 120));
}

TEST(QtDrawTarget, StretchesUprightNearestNeighbourAndClipsToTheSurface) {
    // A 3 x 2 bottom-up bitmap: bottom row 1 2 3, top row 4 5 6 (blue = the number).
    CDibImage bitmap(3, 2);
    for (int x = 0; x < 3; ++x) {
        bitmap.Row(0)[3 * x] = uint8_t(1 + x);
        bitmap.Row(1)[3 * x] = uint8_t(4 + x);
    }
    BitmapInfoHeader header{};
    header.biWidth = 3;
    header.biHeight = 2;
    header.biBitCount = 24;
    QImage surface(8, 5, QImage::Format_RGB32);
    surface.fill(qRgb(0, 200, 0));
    ui::CQtDrawTarget target(surface);
    target.StretchDIBits(1, 1, 6, 4, 0, 0, 3, 2, bitmap.Bits(), header);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 7 && y >= 1;
            const int expected = inside ? (y < 3 ? 4 : 1) + (x - 1) / 2 : 0;
            EXPECT_EQ(qBlue(surface.pixel(x, y)), expected) << x << "," << y;
            EXPECT_EQ(qGreen(surface.pixel(x, y)), inside ? 0 : 200) << x << "," << y;
        }
    }
    // Past the surface's edges nothing is written, and what is inside still lands right.
    surface.fill(qRgb(0, 200, 0));
    target.StretchDIBits(-3, 3, 6, 4, 0, 0, 3, 2, bitmap.Bits(), header);
    EXPECT_EQ(qBlue(surface.pixel(0, 3)), 5);
    EXPECT_EQ(qBlue(surface.pixel(2, 4)), 6);
    EXPECT_EQ(qGreen(surface.pixel(3, 4)), 200);
    // Pixel for pixel, cut on the left and at the bottom.
    surface.fill(qRgb(0, 200, 0));
    target.StretchDIBits(-1, 4, 3, 2, 0, 0, 3, 2, bitmap.Bits(), header);
    EXPECT_EQ(qBlue(surface.pixel(0, 4)), 5);
    EXPECT_EQ(qBlue(surface.pixel(1, 4)), 6);
    EXPECT_EQ(qGreen(surface.pixel(2, 4)), 200);
    EXPECT_EQ(qGreen(surface.pixel(0, 3)), 200);
}

// Clicks `steps` times on ">" in the Choose Frame dialog once it is up, notes what it shows,
// then ends it with OK or Cancel.
void AnswerChooseFrame(int steps, bool ok, int* shownNumber) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<ui::CChooseFrameDlg*>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        for (int i = 0; i < steps; ++i) {
            dialog->Button(res::IDC_FRAME_NEXT)->click();
        }
        dialog->grab();
        *shownNumber = ShownNumber(dialog->ShownFrame());
        dialog->Button(ok ? 1 : 2)->click();
    });
    timer->start();
}

TEST_F(ChooseFrame, TheFrameShownIsTheFrameThatLandsInTheSlot) {
    TempDir dir;
    CKeltApp app(dir.File("app.INI"));
    app.m_videoProbe = [] { return true; };
    Messages shown(app.Platform());
    std::vector<FileDialogOptions> asked;
    app.Platform().SetFileDialogHook([&](const FileDialogOptions& options) {
        asked.push_back(options);
        return std::optional<FileDialogResult>(FileDialogResult{s_long, 0});
    });
    ASSERT_TRUE(app.InitInstance());
    auto& main = *app.MainFrame();

    int number = -1;
    AnswerChooseFrame(3, true, &number);
    main.Actions().Get(res::ID_SOURCE_VIDEO)->trigger();
    EXPECT_EQ(number, 3);
    const CDibImage* source = app.Doc().GetPicture(ESlot::Source);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->FrameIndex(), 3);
    EXPECT_EQ(test::FrameNumberOf(source->Bits(), source->Width(), source->Height()), 3);
    ASSERT_EQ(asked.size(), 1u);
    const QStringList filters = ui::CQtPlatform::ToQtFilters(asked[0].filter);
    ASSERT_EQ(filters.size(), 3); // the original entry, every movie, every file
    EXPECT_TRUE(filters[1].startsWith("All movie files (*.mp4 *.m4v "));

    // Cancel leaves the target empty.
    AnswerChooseFrame(5, false, &number);
    main.Actions().Get(res::ID_TARGET_VIDEO)->trigger();
    EXPECT_EQ(number, 5);
    EXPECT_EQ(app.Doc().GetPicture(ESlot::Target), nullptr);
    EXPECT_EQ(app.Doc().GetPicture(ESlot::Source), source);
    EXPECT_TRUE(shown.texts.empty());
    app.ExitInstance();
}

} // namespace
} // namespace vx
