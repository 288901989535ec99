#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include <QMetaType>

namespace imaging {

// A filter vector value of 1 to 8 components (positions, rectangles, offsets, 3D positions,
// the six-value transform form). Components past count() read as 0.
class Vector
{
public:
    static constexpr std::size_t maxCount = 8;

    Vector() = default;
    Vector(std::initializer_list<double> values)
    {
        for (double v : values) {
            if (m_count == maxCount) break;
            m_v[m_count++] = v;
        }
    }
    static Vector withCount(std::size_t count)
    {
        Vector v;
        v.m_count = count > maxCount ? maxCount : count;
        return v;
    }

    std::size_t count() const { return m_count; }
    double value(std::size_t i) const { return i < m_count ? m_v[i] : 0.0; }
    void setValue(std::size_t i, double v)
    {
        if (i < maxCount) {
            m_v[i] = v;
            if (i >= m_count) m_count = i + 1;
        }
    }
    double X() const { return value(0); }
    double Y() const { return value(1); }
    double Z() const { return value(2); }
    double W() const { return value(3); }

    friend bool operator==(const Vector &a, const Vector &b)
    {
        if (a.m_count != b.m_count) return false;
        for (std::size_t i = 0; i < a.m_count; ++i)
            if (a.m_v[i] != b.m_v[i]) return false;
        return true;
    }

private:
    std::array<double, maxCount> m_v{};
    std::size_t m_count = 0;
};

// A colour with straight (not premultiplied) components in 0..1.
struct Color
{
    double red = 0, green = 0, blue = 0, alpha = 1;

    Color() = default;
    Color(double r, double g, double b, double a = 1.0) : red(r), green(g), blue(b), alpha(a) {}
    Color withAlpha(double a) const { return Color(red, green, blue, a); }

    friend bool operator==(const Color &, const Color &) = default;
};

// A 2D affine transform in the (m11 m12 m21 m22 tX tY) layout: a point (x, y) maps to
// (m11 x + m21 y + tX, m12 x + m22 y + tY).
struct AffineTransform
{
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, tX = 0, tY = 0;

    AffineTransform() = default;
    AffineTransform(double a, double b, double c, double d, double tx, double ty)
        : m11(a), m12(b), m21(c), m22(d), tX(tx), tY(ty) {}

    static AffineTransform translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static AffineTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform rotation(double radians)
    {
        // Quarter turns come out exact, so that rotated pixel grids stay on whole pixels.
        double c = std::cos(radians), s = std::sin(radians);
        if (std::abs(c) < 1e-15) c = 0;
        if (std::abs(s) < 1e-15) s = 0;
        return {c, s, -s, c, 0, 0};
    }

    bool isIdentity() const { return *this == AffineTransform(); }
    double determinant() const { return m11 * m22 - m12 * m21; }
    bool isInvertible() const { return std::isfinite(determinant()) && determinant() != 0.0; }

    // this, then other: the result maps p to other(this(p)).
    AffineTransform then(const AffineTransform &o) const
    {
        return {m11 * o.m11 + m12 * o.m21, m11 * o.m12 + m12 * o.m22,
                m21 * o.m11 + m22 * o.m21, m21 * o.m12 + m22 * o.m22,
                tX * o.m11 + tY * o.m21 + o.tX, tX * o.m12 + tY * o.m22 + o.tY};
    }
    // The inverse; the identity when the transform is singular (callers check isInvertible()).
    AffineTransform inverted() const
    {
        const double det = determinant();
        if (!isInvertible()) return {};
        const double a = m22 / det, b = -m12 / det, c = -m21 / det, d = m11 / det;
        return {a, b, c, d, -(tX * a + tY * c), -(tX * b + tY * d)};
    }
    void map(double x, double y, double &outX, double &outY) const
    {
        outX = m11 * x + m21 * y + tX;
        outY = m12 * x + m22 * y + tY;
    }

    friend bool operator==(const AffineTransform &, const AffineTransform &) = default;
};

} // namespace imaging

Q_DECLARE_METATYPE(imaging::Vector)
Q_DECLARE_METATYPE(imaging::Color)
Q_DECLARE_METATYPE(imaging::AffineTransform)
