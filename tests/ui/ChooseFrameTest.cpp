// The Choose Frame dialog on real movies, and loading a slot from a movie through the menus.
#include "app/KeltApp.h"
#include "base/MyException.h"
#include "movie/MovieReader.h"
#include "res/Resource.h"
#include "support/TestMovies.h"
#include "ui/ChooseFrameDlg.h"
#include "ui/CommandActions.h"
#include "ui/FrameFetcher.h"
#include "ui/MainFrame.h"
#include "ui/QtDrawTarget.h"
#include "ui/ViewPict.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

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
    // Paints the dialog as the window system would, once the chosen frame has arrived, and
    // answers the number it shows.
    static int Painted(ui::CChooseFrameDlg& dialog) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Settled(dialog); }, 60000));
        return Shown(dialog);
    }
    // What it shows now, arrived or not.
    static int Shown(ui::CChooseFrameDlg& dialog) {
        dialog.grab();
        return ShownNumber(dialog.ShownFrame());
    }
    static bool Settled(const ui::CChooseFrameDlg& dialog) {
        return dialog.ShowsChosenFrame() && !dialog.Fetcher()->Busy();
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
    EXPECT_EQ(dialog.Label()->text(), "Frame - 1/250\n00:00:00.00");
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_FIRST));
    EXPECT_FALSE(Enabled(dialog, res::IDC_FRAME_PREV));
    EXPECT_TRUE(Enabled(dialog, res::IDC_FRAME_NEXT));
    EXPECT_TRUE(Enabled(dialog, res::IDC_FRAME_LAST));
    EXPECT_EQ(Painted(dialog), 0);

    dialog.Button(res::IDC_FRAME_LAST)->click();
    EXPECT_EQ(dialog.m_nFrame, 249);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 250/250\n00:00:09.96"); // 25 a second
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
    EXPECT_EQ(dialog.Label()->text(), "Frame - 101/250\n00:00:04.00");
    EXPECT_EQ(Painted(dialog), 100);
    QTest::keyClick(dialog.m_slider, Qt::Key_Right);
    EXPECT_EQ(dialog.m_nFrame, 101);
    EXPECT_EQ(Painted(dialog), 101);
    dialog.Button(res::IDC_FRAME_NEXT)->click();
    EXPECT_EQ(Painted(dialog), 102);

    // Repaints without a step (the dialog uncovered) show the same frame again.
    EXPECT_EQ(Painted(dialog), 102);
    EXPECT_EQ(Painted(dialog), 102);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 103/250\n00:00:04.08");

    dialog.Button(res::IDC_FRAME_FIRST)->click();
    EXPECT_EQ(dialog.m_nFrame, 0);
    EXPECT_EQ(Painted(dialog), 0);
    EXPECT_TRUE(messages.texts.empty());

    // The frame is fitted and centred in the preview area, which grows with the dialog.
    std::vector<int> widths;
    for (const QSize size : {dialog.size(), dialog.size() * 2}) {
        dialog.resize(size);
        EXPECT_EQ(Painted(dialog), 0);
        const QRect area = dialog.PreviewArea()->geometry();
        const QRect fitted = dialog.FittedPreview();
        EXPECT_EQ(fitted, ui::CViewPict::FittedRect(test::kMovieWidth, test::kMovieHeight,
                                                    area.width(), area.height())
                              .translated(area.topLeft()));
        EXPECT_TRUE(area.contains(fitted));
        // Drawn in the screen's pixels.
        EXPECT_EQ(dialog.ShownFrame().size(),
                  (QSizeF(fitted.size()) * dialog.devicePixelRatioF()).toSize());
        widths.push_back(fitted.width());
    }
    EXPECT_GT(widths[1], widths[0]);

    // Ending the dialog frees its reader; the choice stays readable.
    dialog.Button(res::IDC_FRAME_NEXT)->click();
    dialog.done(QDialog::Accepted);
    EXPECT_EQ(dialog.Fetcher(), nullptr);
    EXPECT_EQ(dialog.m_nFrame, 1);
}

TEST_F(ChooseFrame, KeysStepAndJumpAndTheNumberCanBeTyped) {
    ui::CChooseFrameDlg dialog(platform, nullptr);
    int accepted = 0;
    QObject::connect(&dialog, &QDialog::accepted, [&] { ++accepted; });
    dialog.m_strMoviePath = s_long;
    dialog.OnInitDialog();
    // Wherever the focus is: a step button, which would move the focus instead, or the dialog.
    QWidget* on = dialog.Button(res::IDC_FRAME_NEXT);
    const std::pair<int, int64_t> keys[] = {
        {Qt::Key_Right, 1},    {Qt::Key_Right, 2},    {Qt::Key_PageUp, 12}, {Qt::Key_Left, 11},
        {Qt::Key_PageDown, 1}, {Qt::Key_PageDown, 0}, {Qt::Key_Left, 0},    {Qt::Key_End, 249},
        {Qt::Key_Right, 249},  {Qt::Key_PageUp, 249}, {Qt::Key_Home, 0},
    };
    for (const auto& [key, frame] : keys) {
        QTest::keyClick(on, Qt::Key(key));
        EXPECT_EQ(dialog.m_nFrame, frame) << key;
        on = on == &dialog ? static_cast<QWidget*>(dialog.Button(res::IDC_FRAME_NEXT)) : &dialog;
    }
    EXPECT_EQ(Painted(dialog), 0);

    // A typed number is taken with Enter, which does not end the dialog.
    QSpinBox* number = dialog.NumberBox();
    EXPECT_EQ(number->value(), 1);
    number->selectAll();
    QTest::keyClicks(number, "120");
    EXPECT_EQ(dialog.m_nFrame, 0); // not while typing
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_EQ(dialog.m_nFrame, 119);
    EXPECT_EQ(dialog.Label()->text(), "Frame - 120/250\n00:00:04.76");
    EXPECT_EQ(Painted(dialog), 119);
    number->selectAll();
    QTest::keyClicks(number, "250");
    QTest::keyClick(number, Qt::Key_Enter);
    EXPECT_EQ(dialog.m_nFrame, 249);
    EXPECT_EQ(accepted, 0);
    // Steps show in the box.
    dialog.Button(res::IDC_FRAME_FIRST)->click();
    EXPECT_EQ(number->value(), 1);
    EXPECT_EQ(Painted(dialog), 0);

    EXPECT_EQ(ui::CChooseFrameDlg::TimeLabel(0), "00:00:00.00");
    EXPECT_EQ(ui::CChooseFrameDlg::TimeLabel(37230599999), "01:02:03.05");
    EXPECT_EQ(ui::CChooseFrameDlg::TimeLabel(int64_t(1000) * 3600 * 10000000), "1000:00:00.00");
}

// Holds every fetch of a dialog's worker until opened, noting the frames asked for. Shared
// with the worker, which may outlive the test's dialog.
struct Gate {
    std::mutex lock;
    std::condition_variable cond;
    bool open = true;
    int held = 0;
    std::vector<int64_t> fetched;

    static std::function<void(int64_t)> Hook(const std::shared_ptr<Gate>& gate) {
        return [gate](int64_t frame) {
            std::unique_lock guard(gate->lock);
            gate->fetched.push_back(frame);
            ++gate->held;
            gate->cond.notify_all();
            gate->cond.wait(guard, [&] { return gate->open; });
            --gate->held;
        };
    }
    void Close() {
        std::lock_guard guard(lock);
        open = false;
    }
    void Open() {
        {
            std::lock_guard guard(lock);
            open = true;
        }
        cond.notify_all();
    }
    // Until the worker waits at the gate.
    void AwaitHeld() {
        std::unique_lock guard(lock);
        cond.wait(guard, [&] { return held > 0; });
    }
    std::vector<int64_t> Fetched() {
        std::lock_guard guard(lock);
        return fetched;
    }
};

TEST_F(ChooseFrame, TheDialogAnswersWhileAFrameIsFetchedAndFetchesOnlyTheLatest) {
    auto gate = std::make_shared<Gate>();
    ui::CChooseFrameDlg dialog(platform, nullptr);
    dialog.m_strMoviePath = s_long;
    dialog.OnInitDialog();
    EXPECT_EQ(Painted(dialog), 0);
    dialog.Fetcher()->SetFetchHook(Gate::Hook(gate));

    // A far seek is held in the middle: the click came back, timers run, the last frame stays.
    gate->Close();
    dialog.Button(res::IDC_FRAME_LAST)->click();
    gate->AwaitHeld();
    bool ticked = false;
    QTimer::singleShot(10, &dialog, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 60000));
    EXPECT_EQ(dialog.Label()->text().left(15), "Frame - 250/250");
    EXPECT_EQ(Shown(dialog), 0);
    // Meanwhile the user moves on; only where they stop is fetched next.
    for (int value : {30, 60, 90, 120}) {
        dialog.m_slider->setValue(value);
    }
    dialog.Button(res::IDC_FRAME_PREV)->click();
    EXPECT_EQ(dialog.m_nFrame, 119);
    gate->Open();
    EXPECT_EQ(Painted(dialog), 119);
    EXPECT_EQ(gate->Fetched(), (std::vector<int64_t>{249, 119}));

    // Dragging shows the key frame before the thumb at once, marked; the resting thumb the
    // exact frame.
    const int64_t key = dialog.Fetcher()->Reader().KeyFrameAtOrBefore(100);
    ASSERT_LT(key, 100);
    dialog.m_slider->setSliderDown(true);
    dialog.m_slider->setValue(100);
    EXPECT_EQ(dialog.m_nFrame, 100);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog.Arrived()->frame == key && !dialog.Fetcher()->Busy(); }, 60000));
    EXPECT_TRUE(dialog.Arrived()->keyFrame);
    EXPECT_FALSE(dialog.ShowsChosenFrame());
    EXPECT_EQ(Shown(dialog), key);
    dialog.m_slider->setSliderDown(false);
    EXPECT_EQ(Painted(dialog), 100);
    EXPECT_FALSE(dialog.Arrived()->keyFrame);

    // Cancel in the middle of a fetch ends the dialog at once; the worker is let go.
    gate->Close();
    dialog.Button(res::IDC_FRAME_NEXT)->click();
    gate->AwaitHeld();
    dialog.Button(2)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Fetcher(), nullptr);
    gate->Open();
}

TEST_F(ChooseFrame, AFrameThatCannotBeDecodedIsShownAsSuchAndTheDialogGoesOn) {
    // The movie is cut short once the dialog has it open: the frames the index promised are gone.
    const std::string copy = s_pDir->File("cut.avi");
    std::filesystem::copy_file(Movie("mjpeg.avi"), copy);
    ui::CChooseFrameDlg dialog(platform, nullptr);
    dialog.m_strMoviePath = copy;
    dialog.OnInitDialog();
    EXPECT_EQ(Painted(dialog), 0);
    std::filesystem::resize_file(copy, std::filesystem::file_size(copy) / 3);
    // Twice: after a failure the worker must not wait for ever on the reader.
    for (int i = 0; i < 2; ++i) {
        dialog.m_slider->setValue(60 - i);
        EXPECT_EQ(Painted(dialog), -1);
        EXPECT_FALSE(dialog.Arrived()->decoded);
        EXPECT_FALSE(dialog.Arrived()->failure.empty());
        EXPECT_TRUE(dialog.ShownFrame().pixel(dialog.ShownFrame().rect().center()) ==
                    qRgb(0, 0, 0));
    }
    dialog.Button(res::IDC_FRAME_FIRST)->click();
    EXPECT_EQ(Painted(dialog), 0);
    EXPECT_TRUE(dialog.Arrived()->decoded);
    EXPECT_TRUE(messages.texts.empty());
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
    EXPECT_EQ(dialog.Label()->text(), "Frame - 1/1\n00:00:00.00");
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
        EXPECT_EQ(dialog.Fetcher(), nullptr);
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

// Clicks `steps` times on ">" in the Choose Frame dialog once it is up, then OK or Cancel.
// With `wait`, first waits for the frame and notes what it shows and the picture it keeps.
void AnswerChooseFrame(int steps, bool ok, bool wait, int* shownNumber,
                       const CDibImage** shownPicture = nullptr) {
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
        if (wait) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->ShowsChosenFrame(); }, 60000));
            dialog->grab();
            *shownNumber = ShownNumber(dialog->ShownFrame());
            if (shownPicture) {
                *shownPicture = dialog->Arrived()->picture.get();
            }
        }
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

    // The very picture shown goes to the slot: the frame is not read a second time.
    int number = -1;
    const CDibImage* picture = nullptr;
    AnswerChooseFrame(3, true, true, &number, &picture);
    main.Actions().Get(res::ID_SOURCE_VIDEO)->trigger();
    EXPECT_EQ(number, 3);
    const CDibImage* source = app.Doc().GetPicture(ESlot::Source);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source, picture);
    EXPECT_EQ(source->GetPath(), s_long);
    EXPECT_EQ(source->FrameIndex(), 3);
    EXPECT_EQ(test::FrameNumberOf(source->Bits(), source->Width(), source->Height()), 3);
    ASSERT_EQ(asked.size(), 1u);
    const QStringList filters = ui::CQtPlatform::ToQtFilters(asked[0].filter);
    ASSERT_EQ(filters.size(), 3); // the original entry, every movie, every file
    EXPECT_TRUE(filters[1].startsWith("All movie files (*.mp4 *.m4v "));

    // Cancel leaves the target empty, even with the frame still on its way.
    AnswerChooseFrame(5, false, false, &number);
    main.Actions().Get(res::ID_TARGET_VIDEO)->trigger();
    EXPECT_EQ(app.Doc().GetPicture(ESlot::Target), nullptr);
    EXPECT_EQ(app.Doc().GetPicture(ESlot::Source), source);
    // OK before the frame arrived takes it when it does.
    AnswerChooseFrame(7, true, false, &number);
    main.Actions().Get(res::ID_TARGET_VIDEO)->trigger();
    const CDibImage* target = app.Doc().GetPicture(ESlot::Target);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->FrameIndex(), 7);
    EXPECT_EQ(test::FrameNumberOf(target->Bits(), target->Width(), target->Height()), 7);
    EXPECT_TRUE(shown.texts.empty());
    app.ExitInstance();
}

} // namespace
} // namespace vx
