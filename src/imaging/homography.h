#pragma once

#include <array>
#include <cmath>

namespace imaging {

// A plane projective map (x, y) -> ((a x + b y + c) / w, (d x + e y + f) / w), w = g x + h y + i.
struct Homography
{
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};

    bool map(double x, double y, double &ox, double &oy) const
    {
        const double w = m[6] * x + m[7] * y + m[8];
        if (!(std::abs(w) > 1e-12)) return false;
        ox = (m[0] * x + m[1] * y + m[2]) / w;
        oy = (m[3] * x + m[4] * y + m[5]) / w;
        return true;
    }
    bool isValid() const
    {
        for (double v : m)
            if (!std::isfinite(v)) return false;
        return std::abs(determinant()) > 1e-12;
    }
    double determinant() const
    {
        return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
               m[2] * (m[3] * m[7] - m[4] * m[6]);
    }
    Homography inverted() const
    {
        Homography r;
        const double det = determinant();
        r.m = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
               (m[5] * m[6] - m[3] * m[8]) / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
               (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
        return r;
    }
    // this, then o.
    Homography then(const Homography &o) const
    {
        Homography r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[i * 3 + j] = o.m[i * 3] * m[j] + o.m[i * 3 + 1] * m[3 + j] + o.m[i * 3 + 2] * m[6 + j];
        return r;
    }
    // The map of the unit square's corners (0,0), (1,0), (1,1), (0,1) onto q0..q3 (Heckbert's
    // closed form).
    static Homography squareToQuad(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                                   double y3)
    {
        Homography r;
        const double dx1 = x1 - x2, dx2 = x3 - x2, dx3 = x0 - x1 + x2 - x3;
        const double dy1 = y1 - y2, dy2 = y3 - y2, dy3 = y0 - y1 + y2 - y3;
        double g = 0, h = 0;
        if (dx3 != 0 || dy3 != 0) {
            const double den = dx1 * dy2 - dx2 * dy1;
            g = (dx3 * dy2 - dx2 * dy3) / den;
            h = (dx1 * dy3 - dx3 * dy1) / den;
        }
        r.m = {x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h, 1};
        return r;
    }
    // The map of the rectangle (x, y, w, h) onto the unit square.
    static Homography rectToSquare(double x, double y, double w, double h)
    {
        Homography r;
        r.m = {1 / w, 0, -x / w, 0, 1 / h, -y / h, 0, 0, 1};
        return r;
    }
};

} // namespace imaging
