// A 3 x 3 matrix built from rotation, translation and scale: scale x [[cos, -sin, tx],
// [sin, cos, ty]] over [0, 0, 1].
#pragma once

namespace vx {

class CAffine {
public:
    virtual ~CAffine() = default;

    void SetAngle(double angle);
    void SetTranslation(double tx, double ty);
    void SetScale(double scale);

    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double angle = 0;
    double tx = 0;
    double ty = 0;
    double scale = 1.0;

private:
    void Rebuild();
};

} // namespace vx
