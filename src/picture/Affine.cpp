#include "picture/Affine.h"

#include <cmath>

namespace vx {

void CAffine::SetAngle(double a) {
    angle = a;
    Rebuild();
}

void CAffine::SetTranslation(double x, double y) {
    tx = x;
    ty = y;
    Rebuild();
}

void CAffine::SetScale(double s) {
    scale = s;
    Rebuild();
}

void CAffine::Rebuild() {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    m[0] = scale * c;
    m[1] = scale * -s;
    m[2] = scale * tx;
    m[3] = scale * s;
    m[4] = scale * c;
    m[5] = scale * ty;
    m[6] = 0;
    m[7] = 0;
    m[8] = 1;
}

} // namespace vx
