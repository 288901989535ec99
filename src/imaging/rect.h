#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace imaging {

// An axis-aligned rectangle in image space (origin bottom-left, y up), stored as its edges so that
// infinite extents (generators) stay exact under intersection and union: [x0, x1) x [y0, y1).
// A rectangle with x1 <= x0 or y1 <= y0 is empty.
class Rect
{
public:
    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height)
        : m_x0(x), m_y0(y), m_x1(x + width), m_y1(y + height) {}

    static constexpr Rect fromEdges(double x0, double y0, double x1, double y1)
    {
        Rect r;
        r.m_x0 = x0; r.m_y0 = y0; r.m_x1 = x1; r.m_y1 = y1;
        return r;
    }
    static constexpr Rect infinite()
    {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return fromEdges(-inf, -inf, inf, inf);
    }

    constexpr double x() const { return m_x0; }
    constexpr double y() const { return m_y0; }
    constexpr double maxX() const { return m_x1; }
    constexpr double maxY() const { return m_y1; }
    constexpr double width() const { return isEmpty() ? 0.0 : m_x1 - m_x0; }
    constexpr double height() const { return isEmpty() ? 0.0 : m_y1 - m_y0; }

    constexpr bool isEmpty() const { return !(m_x1 > m_x0) || !(m_y1 > m_y0); }
    bool isInfinite() const
    {
        return std::isinf(m_x0) || std::isinf(m_y0) || std::isinf(m_x1) || std::isinf(m_y1);
    }
    constexpr bool contains(double px, double py) const
    {
        return px >= m_x0 && px < m_x1 && py >= m_y0 && py < m_y1;
    }
    constexpr bool contains(const Rect &o) const
    {
        return o.isEmpty() || (o.m_x0 >= m_x0 && o.m_x1 <= m_x1 && o.m_y0 >= m_y0 && o.m_y1 <= m_y1);
    }

    constexpr Rect intersected(const Rect &o) const
    {
        Rect r = fromEdges(std::max(m_x0, o.m_x0), std::max(m_y0, o.m_y0),
                           std::min(m_x1, o.m_x1), std::min(m_y1, o.m_y1));
        return r.isEmpty() ? Rect() : r;
    }
    constexpr Rect united(const Rect &o) const
    {
        if (isEmpty()) return o;
        if (o.isEmpty()) return *this;
        return fromEdges(std::min(m_x0, o.m_x0), std::min(m_y0, o.m_y0),
                         std::max(m_x1, o.m_x1), std::max(m_y1, o.m_y1));
    }
    constexpr Rect translated(double dx, double dy) const
    {
        return fromEdges(m_x0 + dx, m_y0 + dy, m_x1 + dx, m_y1 + dy);
    }
    // Grown (or shrunk, for negative d) by d on every side.
    constexpr Rect adjusted(double d) const { return fromEdges(m_x0 - d, m_y0 - d, m_x1 + d, m_y1 + d); }
    // The smallest rectangle with integer edges that contains this one (infinite edges stay).
    Rect integral() const
    {
        return fromEdges(std::floor(m_x0), std::floor(m_y0), std::ceil(m_x1), std::ceil(m_y1));
    }

    friend constexpr bool operator==(const Rect &a, const Rect &b)
    {
        if (a.isEmpty() && b.isEmpty()) return true;
        return a.m_x0 == b.m_x0 && a.m_y0 == b.m_y0 && a.m_x1 == b.m_x1 && a.m_y1 == b.m_y1;
    }

private:
    double m_x0 = 0, m_y0 = 0, m_x1 = 0, m_y1 = 0;
};

} // namespace imaging
