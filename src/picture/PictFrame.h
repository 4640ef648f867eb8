// The placement of one picture relative to the cropping rectangle, or the crop rectangle itself.
// Crop units: the crop rectangle is 1024 wide, origin at its centre. Picture units: 1/1024 pixel.
#pragma once

#include "picture/Affine.h"

#include <cstdint>

namespace vx {

class CDibImage;

struct CPoint {
    int x = 0;
    int y = 0;
    bool operator==(const CPoint&) const = default;
};

// A position between whole units: crop units, frame units or output pixels, as the user says.
struct PointF {
    double x = 0;
    double y = 0;
};

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CRect&) const = default;
};

// Where a picture sits under the crop rectangle: the values the user edits.
struct FramePlacement {
    CPoint offset;
    double zoom = 1.0;
    double angle = 0;
    bool operator==(const FramePlacement&) const = default;
};

class CPictFrame {
public:
    // The output frame: corners +-512 in x and +-trunc(0.5 A 1024) in y, no picture.
    explicit CPictFrame(double aspect);
    // A picture fitted under a crop rectangle of aspect A.
    CPictFrame(CDibImage* picture, double aspect);
    virtual ~CPictFrame() = default;

    void SetOffset(int x, int y);
    void SetZoom(double zoom);
    void SetAngle(double angle);
    void SetAspect(double aspect);
    // The frame's corners at +-halfWidth, +-halfHeight, as a fit or a series of aspect changes
    // left them.
    void SetExtent(CPoint half) { SetCorners(half.x, half.y); }
    CPoint Extent() const { return corners[2]; }
    FramePlacement Placement() const { return {offset, zoom, angle}; }
    void SetPlacement(const FramePlacement& placement);

    // The crop point transformed into the frame's own units (truncated toward zero).
    CPoint Transform(CPoint p) const;
    bool Contains(CPoint p) const;
    // Crop units to picture units for a picture of w x h pixels.
    CPoint ToPicture(CPoint p, int w, int h) const;

    int FrameWidth() const;  // |corner 1.x - corner 0.x|
    int FrameHeight() const; // |corner 1.y - corner 2.y|

    double aspect;
    CPoint corners[4];
    CPoint offset;
    double zoom = 1.0;
    double angle = 0;
    CDibImage* picture = nullptr;
    CAffine matrix;

private:
    void SetCorners(int hw, int hh);
};

} // namespace vx
