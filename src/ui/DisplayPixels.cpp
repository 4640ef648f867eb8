#include "ui/DisplayPixels.h"

#include "base/MyException.h"
#include "movie/DrawTarget.h"

#include <QWidget>
#include <cmath>
#include <vector>

namespace vx::ui {

void StretchUpright(QImage& out, int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                    const uint8_t* bits, const BitmapInfoHeader& header) {
    if (!bits || header.biBitCount != 24 || w <= 0 || h <= 0 || srcW <= 0 || srcH <= 0 ||
        out.format() != QImage::Format_RGB32) {
        return;
    }
    // The source column grows with the target column, so the columns inside both the image and
    // the bitmap are one run; they are the same for every row.
    int first = -1;
    std::vector<int> columns; // byte offsets into a source row
    for (int dx = 0; dx < w; ++dx) {
        const int px = x + dx;
        const int sx = StretchSourceColumn(srcX, srcW, w, dx);
        if (px >= 0 && px < out.width() && sx >= 0 && sx < header.biWidth) {
            if (first < 0) {
                first = px;
            }
            columns.push_back(3 * sx);
        }
    }
    if (columns.empty()) {
        return;
    }
    const bool oneToOne = w == srcW; // consecutive columns: no lookup per pixel
    const size_t count = columns.size();
    for (int dy = 0; dy < h; ++dy) {
        const int py = y + dy;
        if (py < 0 || py >= out.height()) {
            continue;
        }
        const uint8_t* src = StretchSourceRow(bits, header, srcY, srcH, h, dy);
        if (!src) {
            continue;
        }
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(py)) + first;
        if (oneToOne) {
            const uint8_t* p = src + columns[0];
            for (size_t i = 0; i < count; ++i, p += 3) {
                dst[i] = qRgb(p[2], p[1], p[0]);
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* p = src + columns[i];
                dst[i] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
}

void StretchUpright(const CDibImage& picture, QImage& out, const QRect& target) {
    if (!picture.Header()) {
        return;
    }
    StretchUpright(out, target.x(), target.y(), target.width(), target.height(), 0, 0,
                   picture.Width(), picture.Height(), picture.Bits(), *picture.Header());
}

std::unique_ptr<CDibImage> PictureFromImage(const QImage& image) {
    if (image.isNull()) {
        return nullptr;
    }
    // Premultiplied, a colour over white is the colour plus what the alpha leaves of white.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull()) {
        throw CMyException(3); // no memory for the conversion
    }
    const int w = argb.width();
    const int h = argb.height();
    auto picture = std::make_unique<CDibImage>(w, h);
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(h - 1 - y));
        uint8_t* out = picture->Row(y);
        for (int x = 0; x < w; ++x) {
            const int white = 255 - qAlpha(in[x]);
            out[3 * x] = uint8_t(qBlue(in[x]) + white);
            out[3 * x + 1] = uint8_t(qGreen(in[x]) + white);
            out[3 * x + 2] = uint8_t(qRed(in[x]) + white);
        }
    }
    return picture;
}

QSize DeviceSize(const QWidget& widget) {
    // Rounded as the window system sizes the backing store, so that the two agree.
    return (QSizeF(widget.size()) * widget.devicePixelRatioF()).toSize();
}

QPoint ToDevice(const QWidget& widget, QPointF point) {
    const qreal ratio = widget.devicePixelRatioF();
    return QPoint(static_cast<int>(std::floor(point.x() * ratio)),
                  static_cast<int>(std::floor(point.y() * ratio)));
}

} // namespace vx::ui
