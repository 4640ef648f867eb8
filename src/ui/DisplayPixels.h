// Pictures in the picture-buffer layout (BGR, rows padded to 4 bytes, bottom row first) turned
// into display pixels: the picture panes, the Preview and the movie frames all come through here.
#pragma once

#include "picture/DibImage.h"

#include <QImage>
#include <QRect>
#include <memory>

class QWidget;

namespace vx::ui {

// Stretches the bitmap's (srcX, srcY, srcW, srcH), y up from the bottom row of a bottom-up
// bitmap, upright into the RGB32 image's (x, y, w, h), y down from the top. Nearest neighbour
// with the movie targets' mapping (StretchSourceRow, StretchSourceColumn): rows and columns are
// dropped or repeated, never mixed. What falls outside the image or the bitmap is left alone.
void StretchUpright(QImage& out, int x, int y, int w, int h, int srcX, int srcY, int srcW, int srcH,
                    const uint8_t* bits, const BitmapInfoHeader& header);

// The whole picture stretched upright into `target` of the image.
void StretchUpright(const CDibImage& picture, QImage& out, const QRect& target);

// An image of any format (a camera's frame) as a picture: bottom row first, BGR, transparent
// parts on white as in the image files. Null for a null image; throws code 3 when too large.
std::unique_ptr<CDibImage> PictureFromImage(const QImage& image);

// The widget's size in the screen's own pixels: at a scale factor of 2 a view of 800 x 600 shows
// 1600 x 1200 of them, and a picture drawn at that size is crisp.
QSize DeviceSize(const QWidget& widget);
// A point of the widget, in its pixels as above.
QPoint ToDevice(const QWidget& widget, QPointF point);

} // namespace vx::ui
