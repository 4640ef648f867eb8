#include "picture/PictFrame.h"

#include "picture/DibImage.h"

#include <cstdlib>

namespace vx {

CPictFrame::CPictFrame(double a) : aspect(a) {
    corners[0] = {-512, int(-0.5 * a * 1024)};
    corners[1] = {512, int(-0.5 * a * 1024)};
    corners[2] = {512, int(0.5 * a * 1024)};
    corners[3] = {-512, int(0.5 * a * 1024)};
}

CPictFrame::CPictFrame(CDibImage* pict, double a) : aspect(a), picture(pict) {
    const int w = pict->Width();
    const int h = pict->Height();
    const int ha = int(a * 1024);
    int fw, fh;
    if (w <= 0 || h <= 0) {
        SetCorners(512, ha / 2); // an empty picture shows nothing; keep the frame sane
        return;
    }
    // The comparison is the picture's height times A against its width.
    if (double(h) * 1024 * a > double(w) * 1024) {
        fw = 1024;
        fh = int((int64_t(h) * 1024) / w);
    } else {
        fw = int(double(w) * a * 1024 / h);
        fh = ha;
    }
    SetCorners(fw / 2, fh / 2);
}

void CPictFrame::SetCorners(int hw, int hh) {
    corners[0] = {-hw, -hh};
    corners[1] = {hw, -hh};
    corners[2] = {hw, hh};
    corners[3] = {-hw, hh};
}

void CPictFrame::SetOffset(int x, int y) {
    offset = {x, y};
    matrix.SetTranslation(x, y);
}

void CPictFrame::SetZoom(double z) {
    zoom = z;
    matrix.SetScale(z);
}

void CPictFrame::SetAngle(double a) {
    angle = a;
    matrix.SetAngle(a);
}

void CPictFrame::SetPlacement(const FramePlacement& p) {
    SetOffset(p.offset.x, p.offset.y);
    SetZoom(p.zoom);
    SetAngle(p.angle);
}

void CPictFrame::SetAspect(double a) {
    for (CPoint& c : corners) {
        c.x = int(c.x * a / aspect);
        c.y = int(c.y * a / aspect);
    }
    offset.x = int(offset.x * aspect / a);
    offset.y = int(offset.y * aspect / a);
    matrix.SetTranslation(offset.x, offset.y);
    aspect = a;
}

CPoint CPictFrame::Transform(CPoint p) const {
    const double* m = matrix.m;
    return {int(m[0] * p.x + m[1] * p.y + m[2]), int(m[3] * p.x + m[4] * p.y + m[5])};
}

int CPictFrame::FrameWidth() const {
    return std::abs(corners[1].x - corners[0].x);
}
int CPictFrame::FrameHeight() const {
    return std::abs(corners[1].y - corners[2].y);
}

bool CPictFrame::Contains(CPoint p) const {
    const CPoint u = Transform(p);
    const int hw = FrameWidth() / 2;
    const int hh = FrameHeight() / 2;
    return -hw <= u.x && u.x <= hw && -hh <= u.y && u.y <= hh;
}

CPoint CPictFrame::ToPicture(CPoint p, int w, int h) const {
    const CPoint u = Transform(p);
    const int64_t fw = FrameWidth();
    const int64_t fh = FrameHeight();
    if (fw == 0 || fh == 0) {
        return {-1, -1}; // a degenerate frame shows nothing
    }
    // 64 bits: u times the picture width in 1/1024 pixels passes 2^31 for wide pictures.
    const int64_t W = int64_t(w) * 1024;
    const int64_t H = int64_t(h) * 1024;
    return {int(u.x * W / fw + W / 2), int(u.y * H / fh + H / 2)};
}

} // namespace vx
