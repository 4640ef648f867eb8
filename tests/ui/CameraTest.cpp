// Pictures from a camera: the item in the Scan submenus, the frames turned into pictures, and a
// capture through the dialog where the machine has a camera.
#include "app/KeltApp.h"
#include "document/KeltDoc.h"
#include "res/Resource.h"
#include "support/TempDir.h"
#include "ui/CameraDlg.h"
#include "ui/CommandActions.h"
#include "ui/DisplayPixels.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace vx {
namespace {

struct CameraShell {
    explicit CameraShell(const std::string& profile) : app(profile) {
        app.m_videoProbe = [] { return true; };
        app.m_strConfigBase = (std::filesystem::path(profile).parent_path() / "config").string();
        app.Platform().SetMessageHook([this](const std::string& text, MsgButtons, MsgIcon) {
            messages.push_back(text);
            return MsgResult::Ok;
        });
        app.Platform().SetFileDialogHook(
            [](const FileDialogOptions&) { return std::optional<FileDialogResult>(); });
        EXPECT_TRUE(app.InitInstance());
    }
    ui::CMainFrame& Main() { return *app.MainFrame(); }
    void OpenScanMenus() {
        emit Main().menuBar()->actions().at(0)->menu()->aboutToShow();
        for (int i = 0; i < 2; ++i) {
            emit Main().ScanMenu(i)->aboutToShow();
        }
    }
    CKeltApp app;
    std::vector<std::string> messages;
};

std::vector<std::string> Texts(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    }
    return out;
}

TEST(Camera, TheScanSubmenusOfferACameraOnlyWhileOneIsConnected) {
    test::TempDir dir;
    CameraShell shell(dir.File("app.INI"));
    shell.OpenScanMenus();
    const bool connected = !ui::CCameraDlg::Cameras().isEmpty();
    for (int i = 0; i < 2; ++i) {
        std::vector<std::string> expected{"No TWAIN devices", "-", "&Add device..."};
        if (connected) {
            expected.insert(expected.begin() + 1, "Camera\u2026");
        }
        EXPECT_EQ(Texts(shell.Main().ScanMenu(i)), expected);
    }
}

// Pixel (x, y) of a test pattern, y down from the top: every byte differs by place and channel.
QRgb Pattern(int x, int y, int alpha = 255) {
    return qRgba((7 * x + 3 * y) & 0xff, (x + 11 * y + 50) & 0xff, (13 * x + y + 100) & 0xff,
                 alpha);
}

// The picture holds the image upright: its row 0 is the image's last row, BGR, zero padding.
void ExpectPicture(const QImage& image, const CDibImage& picture, const char* what) {
    ASSERT_EQ(picture.Width(), image.width()) << what;
    ASSERT_EQ(picture.Height(), image.height()) << what;
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* row = picture.Row(picture.Height() - 1 - y);
        for (int x = 0; x < w; ++x) {
            const QRgb p = Pattern(x, y);
            ASSERT_EQ(row[3 * x], qBlue(p)) << what << " at " << x << ", " << y;
            ASSERT_EQ(row[3 * x + 1], qGreen(p)) << what << " at " << x << ", " << y;
            ASSERT_EQ(row[3 * x + 2], qRed(p)) << what << " at " << x << ", " << y;
        }
        for (int pad = 3 * w; pad < picture.Stride(); ++pad) {
            ASSERT_EQ(row[pad], 0) << what << " padding of row " << y;
        }
    }
}

TEST(Camera, FramesBecomePicturesBottomRowFirstExactly) {
    for (const auto format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                              QImage::Format_BGR888}) {
        for (const int w : {1, 3, 5, 8}) {
            QImage image(w, 4, format);
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < w; ++x) {
                    image.setPixel(x, y, Pattern(x, y));
                }
            }
            const std::string what =
                "format " + std::to_string(format) + " width " + std::to_string(w);
            ExpectPicture(image, *ui::PictureFromImage(image), what.c_str());
        }
    }

    // A frame as the camera delivers it, through Qt's own conversion.
    QVideoFrame frame(QVideoFrameFormat(QSize(5, 3), QVideoFrameFormat::Format_BGRA8888));
    ASSERT_TRUE(frame.map(QVideoFrame::WriteOnly));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const QRgb p = Pattern(x, y);
            const uint8_t bgra[4] = {uint8_t(qBlue(p)), uint8_t(qGreen(p)), uint8_t(qRed(p)), 255};
            std::memcpy(frame.bits(0) + y * frame.bytesPerLine(0) + 4 * x, bgra, 4);
        }
    }
    frame.unmap();
    const QImage fromFrame = frame.toImage();
    ExpectPicture(fromFrame, *ui::PictureFromImage(fromFrame), "video frame");

    // Transparent parts come out on white; nothing at all gives no picture.
    QImage clear(3, 1, QImage::Format_ARGB32);
    clear.setPixel(0, 0, Pattern(0, 0, 0));
    clear.setPixel(1, 0, qRgba(0, 0, 0, 255));
    clear.setPixel(2, 0, qRgba(255, 0, 0, 102)); // red at 40 % over white
    const auto onWhite = ui::PictureFromImage(clear);
    const uint8_t expected[9] = {255, 255, 255, 0, 0, 0, 153, 153, 255};
    EXPECT_EQ(std::memcmp(onWhite->Row(0), expected, 9), 0);
    EXPECT_EQ(ui::PictureFromImage(QImage()), nullptr);
}

// Needs a camera: the live view comes up, Capture fills the slot and nothing else changes.
TEST(Camera, CaptureFillsTheChosenSlotLikeAScan) {
    test::TempDir dir;
    CameraShell shell(dir.File("app.INI"));
    if (ui::CCameraDlg::Cameras().isEmpty()) {
        // Unplugged after the menu opened: said so, and nothing changes.
        shell.Main().Actions().Get(res::ID_CAMERA_SOURCE)->trigger();
        EXPECT_EQ(shell.messages, std::vector<std::string>{"No camera is connected."});
        EXPECT_EQ(shell.app.Doc().m_pSource, nullptr);
        EXPECT_FALSE(shell.app.Doc().CanUndo());
        GTEST_SKIP() << "no camera on this machine (no /dev/video* device): nothing captured";
    }
    QTimer::singleShot(0, [] {
        auto* dialog = dynamic_cast<ui::CCameraDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (QTest::qWaitFor([dialog] { return dialog->CaptureButton()->isEnabled(); }, 20000)) {
            dialog->CaptureButton()->click();
        } else {
            dialog->CancelButton()->click();
        }
    });
    shell.Main().Actions().Get(res::ID_CAMERA_TARGET)->trigger();
    if (!shell.messages.empty()) {
        GTEST_SKIP() << "the camera can't be used here: " << shell.messages[0];
    }
    ASSERT_NE(shell.app.Doc().m_pTarget, nullptr);
    EXPECT_GT(shell.app.Doc().m_pTarget->Width(), 0);
    EXPECT_EQ(shell.app.Doc().m_pSource, nullptr);
    EXPECT_FALSE(shell.app.Doc().m_bTargetSaved);
    EXPECT_TRUE(shell.app.Doc().CanUndo());
}

} // namespace
} // namespace vx
