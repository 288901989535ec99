#pragma once

#include <algorithm>
#include <functional>
#include <vector>

namespace imaging {

// Ink coverage of a halftone screen averaged over whole pixels, tabulated once per filter
// instance by ink level and by where a pixel's centre falls in the screen's period (two
// coordinates a, b in 0..1). A screen whose cells are only a few pixels across then shows in each
// pixel the share of it that is inked, as the screen rendered much finer and averaged down would,
// for the price of one lookup instead of many evaluations of the screen inside the pixel.
class ScreenCoverage
{
public:
    // `footprint(a, b, s)` writes the screen's value (0 at the centre of a dot or line, 1 furthest
    // away) at `samples` points spread evenly over the area averaged for a pixel centred at (a, b).
    // One point is inked for ink level i by 1 - smoothstep(i - soft, i + soft, s). `stepsA` and
    // `stepsB` divide 0..1 for the lookup, `inkLevels` divide the inks. `footprint` is called from
    // several threads at once.
    ScreenCoverage(int stepsA, int stepsB, int inkLevels, int samples, float soft,
                   const std::function<void(float a, float b, float *s)> &footprint);

    // Coverage (0..1) for `ink` (clamped to 0..1) at position (a, b) in 0..1, interpolated between
    // the neighbouring positions and ink levels.
    [[gnu::always_inline]] float at(float ink, float a, float b) const
    {
        float ti;
        const int i = inkLevel(ink, ti);
        const float fa = a * static_cast<float>(m_a), fb = b * static_cast<float>(m_b);
        const int ia = std::clamp(static_cast<int>(fa), 0, m_a - 1), ib = std::clamp(static_cast<int>(fb), 0, m_b - 1);
        const float ta = fa - static_cast<float>(ia), tb = fb - static_cast<float>(ib);
        const float *p = m_table.data() + (static_cast<std::size_t>(ib) * (m_a + 1) + ia) * m_inks + i;
        const auto level = [ti](const float *q) { return q[0] + (q[1] - q[0]) * ti; };
        const float lo = level(p) + (level(p + m_inks) - level(p)) * ta;
        const float *r = p + static_cast<std::size_t>(m_a + 1) * m_inks;
        const float hi = level(r) + (level(r + m_inks) - level(r)) * ta;
        return lo + (hi - lo) * tb;
    }

    // The same at the nearest tabulated position: a quarter of the reads, for screens tabulated
    // finely. a and b must lie in 0..1.
    [[gnu::always_inline]] float nearest(float ink, float a, float b) const
    {
        float ti;
        const int i = inkLevel(ink, ti);
        const int ia = static_cast<int>(a * static_cast<float>(m_a) + 0.5f), ib = static_cast<int>(b * static_cast<float>(m_b) + 0.5f);
        const float *p = m_table.data() + (static_cast<std::size_t>(ib) * (m_a + 1) + ia) * m_inks + i;
        return p[0] + (p[1] - p[0]) * ti;
    }

private:
    [[gnu::always_inline]] int inkLevel(float ink, float &t) const
    {
        const float f = std::clamp(ink, 0.f, 1.f) * static_cast<float>(m_inks - 1);
        const int i = std::min(static_cast<int>(f), m_inks - 2);
        t = f - static_cast<float>(i);
        return i;
    }

    int m_a, m_b, m_inks;
    // [b][a][ink]: (m_b + 1) x (m_a + 1) positions, both ends included, each with its ink levels.
    std::vector<float> m_table;
};

} // namespace imaging
