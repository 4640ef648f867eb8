#include "ui/Cursors.h"

#include "res/Resource.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <map>

namespace vx::ui {

namespace {

constexpr int kSize = 32;

// A black shape with a white rim: the mask is the shape drawn with the wider pen.
QCursor MakeCursor(const std::function<void(QPainter&)>& shape, int hotX, int hotY) {
    auto draw = [&](int penWidth, int extra) {
        QBitmap bitmap(kSize, kSize);
        bitmap.fill(Qt::color0);
        QPainter painter(&bitmap);
        painter.setPen(
            QPen(Qt::color1, penWidth + extra, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::color1);
        shape(painter);
        return bitmap;
    };
    QBitmap mask = draw(2, 2);
    QBitmap image = draw(2, 0);
    return QCursor(image, mask, hotX, hotY);
}

void Arrowhead(QPainter& painter, QPointF tip, QPointF back, double half) {
    const QPointF d = tip - back;
    const QPointF n(-d.y(), d.x());
    const double len = std::hypot(n.x(), n.y());
    const QPointF side = n / len * half;
    const QPointF points[3] = {tip, back + side, back - side};
    painter.drawPolygon(points, 3);
}

void Zoom(QPainter& painter) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(19, 11), 7, 7);
    painter.restore();
    QPen handle = painter.pen();
    handle.setWidthF(handle.widthF() + 2);
    painter.setPen(handle);
    painter.drawLine(QPointF(13.5, 16.5), QPointF(5, 25));
}

void Move(QPainter& painter) {
    const QPointF c(15, 15);
    painter.drawLine(QPointF(15, 5), QPointF(15, 25));
    painter.drawLine(QPointF(5, 15), QPointF(25, 15));
    Arrowhead(painter, QPointF(15, 2), QPointF(15, 7), 3.5);
    Arrowhead(painter, QPointF(15, 28), QPointF(15, 23), 3.5);
    Arrowhead(painter, QPointF(2, 15), QPointF(7, 15), 3.5);
    Arrowhead(painter, QPointF(28, 15), QPointF(23, 15), 3.5);
    painter.drawPoint(c);
}

void Rotate(QPainter& painter) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    QPainterPath arc;
    const QRectF circle(7, 5, 18, 18); // centre (16, 14)
    arc.arcMoveTo(circle, -30);
    arc.arcTo(circle, -30, 270); // open below on the right, counter-clockwise up and around
    painter.drawPath(arc);
    painter.restore();
    // Head at the lower right end of the arc, pointing along the sweep.
    Arrowhead(painter, QPointF(26.5, 23.5), QPointF(23.8, 17.2), 4);
}

} // namespace

QCursor LoadCursor(unsigned id) {
    static std::map<unsigned, QCursor> cursors;
    if (cursors.empty()) {
        cursors.emplace(res::IDC_ZOOM, MakeCursor(Zoom, 16, 14));
        cursors.emplace(res::IDC_MOVE, MakeCursor(Move, 15, 15));
        cursors.emplace(res::IDC_ROTATE, MakeCursor(Rotate, 16, 14));
    }
    auto it = cursors.find(id);
    return it != cursors.end() ? it->second : QCursor(Qt::ArrowCursor);
}

QCursor EditCursor(int editMode) {
    switch (editMode) {
    case res::EDIT_MODE_ZOOM:
        return LoadCursor(res::IDC_ZOOM);
    case res::EDIT_MODE_MOVE:
        return LoadCursor(res::IDC_MOVE);
    case res::EDIT_MODE_ROTATE:
        return LoadCursor(res::IDC_ROTATE);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

} // namespace vx::ui
