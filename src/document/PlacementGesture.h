// The edits of a slot's placement by pointer and arrow keys, in crop units (the crop rectangle
// 1024 wide, origin at its centre), free of any window: what a drag point or a key step makes of
// the placement.
#pragma once

#include "picture/PictFrame.h"

#include <optional>

namespace vx {

// What a change of placement did, to name and group it (an undo step, a log line): Placement is
// typed in as numbers, Swap exchanges the slots, Undo puts back an earlier placement (an undo or
// a redo), Align places the TARGET on the SOURCE by matching points.
enum class EditKind { Move, Zoom, Rotate, Restore, Aspect, Placement, Swap, Undo, Align };

enum class EArrowKey { Left, Up, Right, Down };

// The placements that may be typed in (the Placement dialog, the command line): wide enough for
// any a drag reaches, narrow enough to keep the crop maths in range.
struct PlacementLimits {
    static constexpr double kMinZoom = 0.0001;
    static constexpr double kMaxZoom = 1000;
    static constexpr double kMaxDegrees = 1e6;
    static constexpr int kMaxOffset = 1 << 20;
};

// The edit of a mode (res::EDIT_MODE_*); nullopt for any other value.
std::optional<EditKind> EditKindOf(int mode);

// `angle` (radians) at the nearest whole degree.
double SnapToDegree(double angle);

// p turned by minus `angle`, each coordinate truncated toward zero.
CPoint Unrotate(CPoint p, double angle);

class CPlacementGesture {
public:
    // The arrow-key steps: fine, or coarse during a drag or with Shift.
    static constexpr double kZoomIn = 1.0025;
    static constexpr double kZoomOut = 0.9975062344139651; // 1 / 1.0025
    static constexpr double kRotate = 0.01745;
    static constexpr double kCoarseZoomIn = 2.005;
    static constexpr double kCoarseZoomOut = 0.49875311720698257; // 1 / 2.005
    static constexpr double kCoarseRotate = 4.0;
    static constexpr int kCoarseMove = 16;

    // A drag begun at crop point p on a slot placed at `base`; in the move mode the start point
    // is kept along the picture's axes.
    CPlacementGesture(int mode, const FramePlacement& base, CPoint p);

    // `now` with the one value of `mode` set for the pointer at crop point q: the move keeps the
    // start point under the pointer, the zoom scales the base by the squared distances from the
    // centre (start over pointer), the rotation turns the base by the angle from start to
    // pointer. nullopt when q changes nothing: the zoom at the very centre, or no edit mode.
    // The mode is that of the moment; the start point stays as the first mode kept it.
    std::optional<FramePlacement> DragTo(int mode, CPoint q, const FramePlacement& now) const;

    // One arrow-key step of `mode` from `now` for a document aspect (height : width); Left and
    // Up zoom in and turn by minus the step; the vertical move step follows the aspect.
    static std::optional<FramePlacement> Step(int mode, double aspect, const FramePlacement& now,
                                              EArrowKey key, bool coarse);

    const FramePlacement& Base() const { return m_base; }
    CPoint Start() const { return m_start; }

private:
    FramePlacement m_base;
    CPoint m_start;
};

} // namespace vx
