// A camera's frames turned into pictures.
#include "ui/DisplayPixels.h"

#include <QVideoFrame>
#include <QVideoFrameFormat>
#include <gtest/gtest.h>

#include <cstring>

namespace vx {
namespace {

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

} // namespace
} // namespace vx
