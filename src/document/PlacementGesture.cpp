#include "document/PlacementGesture.h"

#include "res/Resource.h"

#include <cmath>
#include <numbers>

namespace vx {

std::optional<EditKind> EditKindOf(int mode) {
    switch (mode) {
    case res::EDIT_MODE_MOVE:
        return EditKind::Move;
    case res::EDIT_MODE_ZOOM:
        return EditKind::Zoom;
    case res::EDIT_MODE_ROTATE:
        return EditKind::Rotate;
    default:
        return std::nullopt;
    }
}

double SnapToDegree(double angle) {
    constexpr double kDegree = std::numbers::pi / 180;
    return std::round(angle / kDegree) * kDegree;
}

CPoint Unrotate(CPoint p, double angle) {
    const double ca = std::cos(-angle);
    const double sa = std::sin(-angle);
    return CPoint{static_cast<int>(std::trunc(p.x * ca - p.y * sa)),
                  static_cast<int>(std::trunc(p.x * sa + p.y * ca))};
}

CPlacementGesture::CPlacementGesture(int mode, const FramePlacement& base, CPoint p)
    : m_base(base), m_start(mode == res::EDIT_MODE_MOVE ? Unrotate(p, base.angle) : p) {}

std::optional<FramePlacement> CPlacementGesture::DragTo(int mode, CPoint q,
                                                        const FramePlacement& now) const {
    const CPoint s = m_start;
    FramePlacement next = now;
    switch (mode) {
    case res::EDIT_MODE_ZOOM: {
        const int64_t from = int64_t(s.x) * s.x + int64_t(s.y) * s.y;
        const int64_t to = int64_t(q.x) * q.x + int64_t(q.y) * q.y;
        if (from == 0 || to == 0) {
            return std::nullopt; // at the very centre the ratio is undefined or zero
        }
        next.zoom = m_base.zoom * (static_cast<double>(from) / static_cast<double>(to));
        break;
    }
    case res::EDIT_MODE_MOVE: {
        const CPoint r = Unrotate(q, m_base.angle);
        next.offset = {m_base.offset.x + (s.x - r.x), m_base.offset.y + (r.y - s.y)};
        break;
    }
    case res::EDIT_MODE_ROTATE:
        next.angle = m_base.angle + (std::atan2(s.x, s.y) - std::atan2(q.x, q.y));
        break;
    default:
        return std::nullopt;
    }
    return next;
}

std::optional<FramePlacement> CPlacementGesture::Step(int mode, double aspect,
                                                      const FramePlacement& now, EArrowKey key,
                                                      bool coarse) {
    const bool leftOrUp = key == EArrowKey::Left || key == EArrowKey::Up;
    FramePlacement next = now;
    switch (mode) {
    case res::EDIT_MODE_ZOOM:
        next.zoom = now.zoom * (leftOrUp ? (coarse ? kCoarseZoomIn : kZoomIn)
                                         : (coarse ? kCoarseZoomOut : kZoomOut));
        break;
    case res::EDIT_MODE_MOVE: {
        const int s = aspect >= 1.0 ? static_cast<int>(std::trunc(aspect)) : 1;
        const int dx = coarse ? kCoarseMove : 1;
        const int dy = coarse ? static_cast<int>(std::trunc(kCoarseMove / aspect * s)) : s;
        switch (key) {
        case EArrowKey::Left:
            next.offset.x += dx;
            break;
        case EArrowKey::Right:
            next.offset.x -= dx;
            break;
        case EArrowKey::Up:
            next.offset.y -= dy;
            break;
        case EArrowKey::Down:
            next.offset.y += dy;
            break;
        }
        break;
    }
    case res::EDIT_MODE_ROTATE: {
        const double step = coarse ? kRotate * kCoarseRotate : kRotate;
        next.angle = now.angle + (leftOrUp ? -step : step);
        break;
    }
    default:
        return std::nullopt;
    }
    return next;
}

} // namespace vx
