#include "imaging/cellmosaic.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include <immintrin.h>

#include "imaging/node.h"
#include "imaging/sampler.h"

namespace imaging::cells {

namespace {

enum class Kind { Squares, Hexagons, Crystals, Dots };

struct Params
{
    Kind kind;
    double cx, cy, size, radius;
};

// A pseudo-random number in [0, 1) for grid cell (i, j), the same on every run.
double jitter(std::int64_t i, std::int64_t j, std::uint32_t salt)
{
    std::uint64_t h = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(j) * 0xC2B2AE3D27D4EB4Full ^ salt;
    h ^= h >> 31; h *= 0xBF58476D1CE4E5B9ull; h ^= h >> 29;
    return (h & 0xffffff) / double(0x1000000);
}

// Reads seed colours: a seed beyond the input's extent shows the extent's nearest edge.
class SeedReader
{
public:
    SeedReader(const Image &input, const Rect &region)
        : m_extent(input.extent()), m_clamp(!m_extent.isInfinite() && !m_extent.isEmpty()),
          m_sampler(input, m_clamp ? region.intersected(m_extent.adjusted(1)) : region)
    {
    }
    void read(double x, double y, float *out) const
    {
        if (m_clamp) {
            x = std::clamp(x, m_extent.x() + 0.5, std::max(m_extent.x() + 0.5, m_extent.maxX() - 0.5));
            y = std::clamp(y, m_extent.y() + 0.5, std::max(m_extent.y() + 0.5, m_extent.maxY() - 0.5));
        }
        m_sampler.sample(x, y, out);
    }

private:
    Rect m_extent;
    bool m_clamp;
    Sampler m_sampler;
};

// std::floor without the library call it takes on processors without rounding instructions.
inline double fastFloor(double v)
{
    const auto t = static_cast<double>(static_cast<std::int64_t>(v));
    return t > v ? t - 1 : t;
}

// The two seeds nearest to a point, in image coordinates, with their squared distances.
struct TwoNearest
{
    double ax = 0, ay = 0, bx = 0, by = 0;
    double da = INFINITY, db = INFINITY;
};

// Hexagon centres form a triangular lattice: two interleaved rectangular grids. The nearer of the
// two grids' nearest centres is the nearest; the second nearest is one of its six neighbours.
// What depends on the row only is found once per row.
class HexagonRow
{
public:
    HexagonRow(const Params &p, double y)
        : m_p(p), m_w(p.size * std::numbers::sqrt3), m_inverseW(1 / m_w), m_q(y - p.cy),
          m_inside(p.size * (std::numbers::sqrt3 / 2) - std::numbers::sqrt2 / 2)
    {
        const double h = p.size * 3, qh = m_q / h;
        m_ay = (fastFloor(qh) + 0.5) * h;
        m_by = fastFloor(qh + 0.5) * h;
    }

    TwoNearest nearest(double x) const
    {
        const double w = m_w, u = x - m_p.cx, uw = u * m_inverseW, q = m_q;
        const double ax = (fastFloor(uw) + 0.5) * w, bx = fastFloor(uw + 0.5) * w;
        const double da = (u - ax) * (u - ax) + (q - m_ay) * (q - m_ay), db = (u - bx) * (u - bx) + (q - m_by) * (q - m_by);
        const bool first = da <= db;
        TwoNearest t;
        const double nx = first ? ax : bx, ny = first ? m_ay : m_by;
        t.ax = m_p.cx + nx; t.ay = m_p.cy + ny; t.da = first ? da : db;
        // A pixel inside the hexagon's inscribed circle lies in it whole: no second cell to find.
        if (m_inside > 0 && t.da < m_inside * m_inside) return t;
        const double v = m_p.size * 1.5;
        const double offsets[6][2] = {{w, 0}, {-w, 0}, {w / 2, v}, {-w / 2, v}, {w / 2, -v}, {-w / 2, -v}};
        for (const auto &o : offsets) {
            const double ex = nx + o[0] - u, ey = ny + o[1] - q, d = ex * ex + ey * ey;
            if (d < t.db) { t.db = d; t.bx = m_p.cx + nx + o[0]; t.by = m_p.cy + ny + o[1]; }
        }
        return t;
    }

private:
    const Params &m_p;
    double m_w, m_inverseW, m_q, m_inside, m_ay = 0, m_by = 0;
};

// The least of three rows of four lanes and its place (row * 3 + lane), the first of equals.
inline std::pair<int, float> firstLeast(const __m128 (&d)[3])
{
    __m128 m = _mm_min_ps(_mm_min_ps(d[0], d[1]), d[2]);
    m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(2, 3, 0, 1)));
    // The fourth lanes hold infinity and never match: the rows' masks side by side are the
    // places in order. Without branches, as which row holds the least hardly follows a pattern.
    const unsigned places = static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(d[0], m))) |
                            static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(d[1], m))) << 3 |
                            static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(d[2], m))) << 6;
    return {std::countr_zero(places), _mm_cvtss_f32(m)};
}

// Seeds of a jittered grid: one per grid cell, for the pixels x0 <= x < x1 of one row at a time.
// The seeds of the three grid rows around the pixel row, and their colours, are found once per
// grid row, in grid units relative to the first column, where float is exact enough.
class JitteredSeeds
{
public:
    JitteredSeeds(const Params &p, int x0, int x1)
        : m_p(p), m_inverse(1 / p.size), m_first(static_cast<std::int64_t>(std::floor((x0 + 0.5 - p.cx) * m_inverse)) - 1),
          m_columns(static_cast<int>(static_cast<std::int64_t>(std::floor((x1 - 0.5 - p.cx) * m_inverse)) + 2 - m_first)),
          m_px(static_cast<std::size_t>(m_columns) * 3 + 1), m_py(m_px.size()), m_colour(m_px.size() * 4)
    {
    }

    void setRow(double y, const SeedReader &reader)
    {
        const double v = (y - m_p.cy) * m_inverse;
        const auto j0 = static_cast<std::int64_t>(std::floor(v));
        if (!m_valid || j0 != m_j0) {
            const double s = m_p.size;
            // Moving down one grid row (the usual case) keeps two of the three rows.
            int firstNew = 0;
            if (m_valid && j0 == m_j0 + 1) {
                const std::size_t n = static_cast<std::size_t>(m_columns);
                std::copy(m_px.begin() + n, m_px.end(), m_px.begin());
                std::copy(m_py.begin() + n, m_py.end(), m_py.begin());
                std::copy(m_colour.begin() + 4 * n, m_colour.end(), m_colour.begin());
                for (std::size_t k = 0; k < 2 * n; ++k) m_py[k] -= 1;
                firstNew = 2;
            }
            for (int r = firstNew; r < 3; ++r)
                for (int c = 0; c < m_columns; ++c) {
                    // One hash per seed gives both offsets (its low and high halves).
                    const double h = jitter(m_first + c, j0 - 1 + r, 3), hi = h * 4096.0;
                    const double fx = c + h, fy = r - 1 + (hi - static_cast<double>(static_cast<std::int64_t>(hi)));
                    const std::size_t k = static_cast<std::size_t>(r) * m_columns + c;
                    m_px[k] = static_cast<float>(fx);
                    m_py[k] = static_cast<float>(fy);
                    reader.read(m_p.cx + (m_first + fx) * s, m_p.cy + (j0 + fy) * s, &m_colour[k * 4]);
                }
            m_j0 = j0;
            m_valid = true;
        }
        m_v = static_cast<float>(v - j0);
        m_column = -1;
    }

    // The two seeds nearest to (x, row), of the 3 x 3 grid cells around it: their indices and
    // squared distances in grid units, and the point in the same units.
    struct Nearest
    {
        int a, b;
        float da, db, u, v;
    };
    Nearest nearest(double x)
    {
        const double u = (x - m_p.cx) * m_inverse - m_first;
        const int i = static_cast<int>(u); // u >= 1: truncation is floor
        const auto fu = static_cast<float>(u), fv = m_v;
        // The 3 x 3 candidates as three rows of four lanes, the fourth lane of each row out of the
        // running (the arrays have a column to spare past the last row for it). What does not
        // depend on x is kept while the pixels stay in one grid column. The same float operations
        // as one candidate at a time, so the same distances.
        if (i != m_column) {
            const __m128 pv = _mm_set1_ps(fv), three = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
            for (int r = 0; r < 3; ++r) {
                const std::size_t k = static_cast<std::size_t>(r) * m_columns + i - 1;
                const __m128 dy = _mm_sub_ps(_mm_loadu_ps(&m_py[k]), pv);
                m_nearX[r] = _mm_loadu_ps(&m_px[k]);
                m_nearY2[r] = _mm_or_ps(_mm_and_ps(three, _mm_mul_ps(dy, dy)), _mm_andnot_ps(three, _mm_set1_ps(INFINITY)));
            }
            m_column = i;
        }
        const __m128 pu = _mm_set1_ps(fu), far = _mm_set1_ps(INFINITY);
        __m128 d[3];
        for (int r = 0; r < 3; ++r) {
            const __m128 dx = _mm_sub_ps(m_nearX[r], pu);
            d[r] = _mm_add_ps(_mm_mul_ps(dx, dx), m_nearY2[r]);
        }
        // The nearest, then the nearest of the others; the first in row order of equals, as a scan
        // with a strict comparison would find.
        const auto [a, da] = firstLeast(d);
        const __m128i at = _mm_set1_epi32(a);
        for (int r = 0; r < 3; ++r) {
            const __m128 chosen = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_set_epi32(-1, 3 * r + 2, 3 * r + 1, 3 * r), at));
            d[r] = _mm_or_ps(_mm_andnot_ps(chosen, d[r]), _mm_and_ps(chosen, far));
        }
        const auto [b, db] = firstLeast(d);
        auto index = [&](int k) { return (k / 3) * m_columns + i - 1 + k % 3; };
        return {index(a), index(b), da, db, fu, fv};
    }

    float x(int k) const { return m_px[k]; }
    float y(int k) const { return m_py[k]; }
    const float *colour(int k) const { return &m_colour[static_cast<std::size_t>(k) * 4]; }

private:
    Params m_p;
    double m_inverse;
    std::int64_t m_first;
    int m_columns;
    std::vector<float> m_px, m_py, m_colour;
    std::int64_t m_j0 = 0;
    bool m_valid = false;
    float m_v = 0;
    // The candidates' x and squared y distances for the pixels of grid column m_column.
    int m_column = -1;
    __m128 m_nearX[3], m_nearY2[3];
};

// A colour read once for consecutive pixels of the same seed.
struct SeedColour
{
    double x = NAN, y = NAN;
    float rgba[4] = {0, 0, 0, 0};

    const float *at(const SeedReader &reader, double sx, double sy)
    {
        if (sx != x || sy != y) {
            x = sx; y = sy;
            reader.read(sx, sy, rgba);
        }
        return rgba;
    }
};

// Jittered cells or dots: as hexagons, with the seeds' colours read once per grid row.
template <bool dots>
void renderJitteredOf(const Params &p, const SeedReader &reader, PixelBuffer &out, const PixelRect &visible)
{
    JitteredSeeds seeds(p, visible.x0, visible.x1);
    const float s = static_cast<float>(p.size), radius = static_cast<float>(p.radius / p.size);
    // Squared distances (in grid units) within which a dot covers the pixel whole, and beyond
    // which it misses it: half the pixel's diagonal from the edge, with a margin that leaves
    // every pixel near these bounds to the exact coverage below.
    const float reach = 0.7073f / s, inner = radius - reach;
    const float wholeWithin = inner > 0 ? inner * inner : -1.f, missedBeyond = (radius + reach) * (radius + reach);
    for (int y = visible.y0; y < visible.y1; ++y) {
        seeds.setRow(y + 0.5, reader);
        float *d = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, d += 4) {
            const JitteredSeeds::Nearest n = seeds.nearest(x + 0.5);
            // Far from both dots: paper, whatever the cells' shares.
            if (dots && n.da >= missedBeyond && n.db >= missedBeyond) {
                for (int c = 0; c < 4; ++c) d[c] = 0;
                continue;
            }
            const float *a = seeds.colour(n.a), *b = seeds.colour(n.b);
            // In grid units: the bisector lies (db - da) / 2 |b - a| from the pixel's centre, and
            // the pixel's half diagonal is 0.7072 / s.
            const float ex = seeds.x(n.b) - seeds.x(n.a), ey = seeds.y(n.b) - seeds.y(n.a), len2 = ex * ex + ey * ey;
            const float gap = (n.db - n.da) * s;
            float share = 1.f;
            if (gap * gap < 2.0001f * len2) {
                const float len = std::sqrt(len2);
                share = static_cast<float>(edgeCoverage(gap / (2 * len), ex / len, ey / len));
            }
            float wa = share, wb = 1 - share;
            if constexpr (dots) {
                // Each dot's edge, as seen from the pixel's centre, in pixels.
                auto disc = [&](int k, float dist2) {
                    if (dist2 <= wholeWithin) return 1.f;
                    if (dist2 >= missedBeyond) return 0.f;
                    const float dist = std::sqrt(dist2), edge = (radius - dist) * s;
                    // Half a pixel's diagonal or more from the edge: wholly inside or outside.
                    if (edge >= 0.7072f) return 1.f;
                    if (edge <= -0.7072f) return 0.f;
                    const float nx = dist > 0 ? (n.u - seeds.x(k)) / dist : 1.f, ny = dist > 0 ? (n.v - seeds.y(k)) / dist : 0.f;
                    // A dot smaller than the pixel covers at most its own area.
                    return std::min(static_cast<float>(edgeCoverage(edge, nx, ny)), std::numbers::pi_v<float> * radius * radius * s * s);
                };
                wa *= disc(n.a, n.da);
                if (wb > 0) wb *= disc(n.b, n.db);
            }
            for (int c = 0; c < 4; ++c) d[c] = a[c] * wa + b[c] * wb;
        }
    }
}

void renderJittered(const Params &p, const SeedReader &reader, PixelBuffer &out, const PixelRect &visible)
{
    if (p.kind == Kind::Dots) renderJitteredOf<true>(p, reader, out, visible);
    else renderJitteredOf<false>(p, reader, out, visible);
}

// Cells much finer than a pixel show, over each pixel, the mean of their colours: the mean of the
// input under it.
void renderUnderlying(const Image &input, PixelBuffer &out, const PixelRect &visible)
{
    const SeedReader reader(input, visible.toRect().adjusted(1));
    for (int y = visible.y0; y < visible.y1; ++y) {
        float *d = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, d += 4) reader.read(x + 0.5, y + 0.5, d);
    }
}

void renderNearest(const Params &p, const Image &input, PixelBuffer &out, const PixelRect &visible)
{
    // Four cells or more to a pixel (dots keep paper between them however small they are).
    const double pitch = p.kind == Kind::Hexagons ? p.size * std::numbers::sqrt3 : p.size;
    if (p.kind != Kind::Dots && pitch < 0.5) return renderUnderlying(input, out, visible);
    // Every seed read lies within two pitches of a pixel (the second nearest of a jittered grid
    // lies in the 3 x 3 grid cells around it); dots never reach beyond their seeds' cells.
    const SeedReader reader(input, visible.toRect().adjusted(2 * p.size + 2));
    if (p.kind != Kind::Hexagons) return renderJittered(p, reader, out, visible);
    SeedColour near, far;
    for (int y = visible.y0; y < visible.y1; ++y) {
        const HexagonRow row(p, y + 0.5);
        float *d = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, d += 4) {
            const TwoNearest t = row.nearest(x + 0.5);
            // The edge between the two cells is the bisector of their seeds, (db - da) / 2 |b - a|
            // from the pixel's centre; beyond half the pixel's diagonal it misses the pixel.
            const double ex = t.bx - t.ax, ey = t.by - t.ay, len2 = ex * ex + ey * ey, gap = t.db - t.da;
            const float *a = near.at(reader, t.ax, t.ay);
            if (gap * gap >= 2.0001 * len2) {
                for (int c = 0; c < 4; ++c) d[c] = a[c];
                continue;
            }
            const double len = std::sqrt(len2);
            const auto share = static_cast<float>(edgeCoverage(gap / (2 * len), ex / len, ey / len));
            const float *b = far.at(reader, t.bx, t.by);
            for (int c = 0; c < 4; ++c) d[c] = a[c] * share + b[c] * (1 - share);
        }
    }
}

// The overlaps of unit pixels [v, v + 1) with cells [o + i s, o + (i + 1) s): per pixel, the first
// cell (relative to `first`) and up to `most` shares.
struct Overlaps
{
    static constexpr int most = 6;
    std::vector<int> start, count;
    std::vector<float> share;

    Overlaps(int v0, int v1, double o, double s, std::int64_t first)
    {
        const int n = v1 - v0;
        start.resize(n); count.resize(n); share.resize(static_cast<std::size_t>(n) * most);
        for (int k = 0; k < n; ++k) {
            const double lo = v0 + k, hi = lo + 1;
            const auto i0 = static_cast<std::int64_t>(std::floor((lo - o) / s));
            start[k] = static_cast<int>(i0 - first);
            int m = 0;
            for (std::int64_t i = i0; m < most && o + i * s < hi; ++i, ++m)
                share[static_cast<std::size_t>(k) * most + m] = static_cast<float>(std::min(hi, o + (i + 1) * s) - std::max(lo, o + i * s));
            count[k] = m;
        }
    }
};

void renderSquares(const Params &p, const Image &input, PixelBuffer &out, const PixelRect &visible)
{
    const double s = p.size;
    if (s < 1.0 / (Overlaps::most - 1)) return renderUnderlying(input, out, visible);
    const auto i0 = static_cast<std::int64_t>(std::floor((visible.x0 - p.cx) / s)), i1 = static_cast<std::int64_t>(std::floor((visible.x1 - p.cx) / s));
    const auto j0 = static_cast<std::int64_t>(std::floor((visible.y0 - p.cy) / s)), j1 = static_cast<std::int64_t>(std::floor((visible.y1 - p.cy) / s));
    const auto ni = static_cast<std::size_t>(i1 - i0 + 1), nj = static_cast<std::size_t>(j1 - j0 + 1);
    // One colour per cell, read at its centre.
    // The centres' box joined with the pixels meets the extent, so that centres clamped to the
    // extent stay inside it.
    const Rect centres = Rect::fromEdges(p.cx + (i0 + 0.5) * s, p.cy + (j0 + 0.5) * s, p.cx + (i1 + 0.5) * s, p.cy + (j1 + 0.5) * s);
    const SeedReader reader(input, centres.adjusted(2).united(visible.toRect().adjusted(2)));
    std::vector<float> colours(ni * nj * 4);
    for (std::size_t j = 0; j < nj; ++j)
        for (std::size_t i = 0; i < ni; ++i)
            reader.read(p.cx + (i0 + double(i) + 0.5) * s, p.cy + (j0 + double(j) + 0.5) * s, &colours[(j * ni + i) * 4]);
    const Overlaps cols(visible.x0, visible.x1, p.cx, s, i0), rows(visible.y0, visible.y1, p.cy, s, j0);
    for (int y = visible.y0; y < visible.y1; ++y) {
        const int ry = y - visible.y0, nr = rows.count[ry];
        const float *wr = &rows.share[static_cast<std::size_t>(ry) * Overlaps::most];
        const float *rowColours = &colours[static_cast<std::size_t>(rows.start[ry]) * ni * 4];
        float *d = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, d += 4) {
            const int cx = x - visible.x0, nc = cols.count[cx];
            const float *cell = rowColours + static_cast<std::size_t>(cols.start[cx]) * 4;
            if (nr == 1 && nc == 1) {
                // Inside one cell (nearly every pixel of cells a few pixels across).
                for (int c = 0; c < 4; ++c) d[c] = cell[c];
                continue;
            }
            const float *wc = &cols.share[static_cast<std::size_t>(cx) * Overlaps::most];
            float sum[4] = {0, 0, 0, 0};
            for (int a = 0; a < nr; ++a)
                for (int b = 0; b < nc; ++b) {
                    const float w = wr[a] * wc[b];
                    const float *q = cell + (static_cast<std::size_t>(a) * ni + b) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += q[c] * w;
                }
            for (int c = 0; c < 4; ++c) d[c] = sum[c];
        }
    }
}

class MosaicNode final : public Node
{
public:
    MosaicNode(Image input, const Params &p) : m_input(std::move(input)), m_p(p) {}
    Rect extent() const override { return m_input.extent(); }
    void render(PixelBuffer &out) const override
    {
        const PixelRect visible = out.rect().intersected(PixelRect::covering(extent()));
        if (visible.isEmpty()) {
            out.clear();
            return;
        }
        if (visible != out.rect()) out.clearOutside(visible);
        if (m_p.kind == Kind::Squares) renderSquares(m_p, m_input, out, visible);
        else renderNearest(m_p, m_input, out, visible);
    }

private:
    Image m_input;
    Params m_p;
};

Image mosaic(const Image &input, const Params &p)
{
    if (input.isNull()) return input;
    return Image(std::make_shared<MosaicNode>(input, p));
}

} // namespace

Image squares(const Image &input, double cx, double cy, double size)
{
    return mosaic(input, {Kind::Squares, cx, cy, size, 0});
}

Image hexagons(const Image &input, double cx, double cy, double size)
{
    return mosaic(input, {Kind::Hexagons, cx, cy, size, 0});
}

Image crystals(const Image &input, double cx, double cy, double size)
{
    return mosaic(input, {Kind::Crystals, cx, cy, size, 0});
}

Image dots(const Image &input, double cx, double cy, double size, double radius)
{
    return mosaic(input, {Kind::Dots, cx, cy, size, radius});
}

} // namespace imaging::cells
