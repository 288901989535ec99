#include "views/transformfields.h"

#include <cmath>
#include <numbers>

imaging::AffineTransform standard_fields_to_transform(float scale, float angle, float stretch, float skew,
                                                       float tX, float tY)
{
    // s * [[t, t k], [0, 1]] * [[c, n], [-n, c]]: stretch and skew along x, then the rotation, all
    // scaled by s (matrices acting on row vectors).
    const double s = scale, t = stretch, k = skew;
    const double c = std::cos(double(angle)), n = std::sin(double(angle));
    return {s * t * (c - k * n), s * t * (n + k * c), -s * n, s * c, double(tX), double(tY)};
}

imaging::Vector standard_fields_to_transform_vector(float scale, float angle, float stretch, float skew,
                                                     float tX, float tY)
{
    const imaging::AffineTransform m = standard_fields_to_transform(scale, angle, stretch, skew, tX, tY);
    return imaging::Vector{m.m11, m.m12, m.m21, m.m22, m.tX, m.tY};
}

TransformFields decomposeTransform(double m11, double m12, double m21, double m22)
{
    TransformFields f;
    // The second row of s [[t, tk], [0, 1]] R is s (-n, c): it gives the scale and the angle.
    const double s = std::sqrt(m21 * m21 + m22 * m22);
    double a = 0;
    if (!(m21 == 0 && m22 == 1)) {
        a = std::atan2(-m21, m22);
        if (a < 0)
            a += 2 * std::numbers::pi;
    }
    const double c = std::cos(a), n = std::sin(a);
    // The first row is s t (c - k n, n + k c). Projected on (c, n) it gives s t, on (n, -c) it
    // gives -s t k. Dividing by s t read this way (rather than by (c - n k) s) stays exact where
    // the rotation is a quarter turn and c vanishes.
    const double st = m11 * c + m12 * n;
    const double d = m11 * n - m12 * c;
    const double k = d == 0 ? 0.0 : -d / st;
    const double t = st / s;
    if (!std::isfinite(s) || s == 0 || !std::isfinite(t) || t == 0 || !std::isfinite(k))
        return {1, float(std::isfinite(a) ? a : 0), 1, 0};
    f.scale = float(s);
    f.angle = float(a);
    f.stretch = float(t);
    f.skew = float(k);
    return f;
}
