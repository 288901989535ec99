#include "imaging/gaussianblurnode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace imaging {

namespace {

// One pixel as a SIMD value (GCC/Clang vector extension; SSE on x86).
typedef float v4f __attribute__((vector_size(16)));

inline v4f load(const float *p)
{
    v4f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store(float *p, v4f v) { std::memcpy(p, &v, sizeof v); }

#if defined(__x86_64__) || defined(__i386__)
#define LUMETTA_BLUR_AVX2 1
// AVX2 passes, chosen at run time on processors that have it: two pixels per 256-bit register,
// with the same operations in the same order as the 128-bit ones, so the sums are the same.
__attribute__((target("avx2"))) int convolveRowAvx2(const float *in, float *out, int count, const float *w, int radius)
{
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        const float *c = in + static_cast<std::ptrdiff_t>(i) * 4;
        __m256 acc = _mm256_mul_ps(_mm256_loadu_ps(c), _mm256_set1_ps(w[0]));
        for (int k = 1; k <= radius; ++k)
            acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_add_ps(_mm256_loadu_ps(c - 4 * k), _mm256_loadu_ps(c + 4 * k)),
                                                   _mm256_set1_ps(w[k])));
        _mm256_storeu_ps(out + static_cast<std::ptrdiff_t>(i) * 4, acc);
    }
    return i;
}

__attribute__((target("avx2"))) std::size_t convolveColumnAvx2(const float *const *rows, float *out, std::size_t floats,
                                                               const float *w, int radius)
{
    const float *c = rows[radius];
    const std::size_t n = floats / 8 * 8;
    const __m256 w0 = _mm256_set1_ps(w[0]);
    for (std::size_t x = 0; x < n; x += 8) _mm256_storeu_ps(out + x, _mm256_mul_ps(_mm256_loadu_ps(c + x), w0));
    for (int k = 1; k <= radius; ++k) {
        const float *a = rows[radius - k], *b = rows[radius + k];
        const __m256 wk = _mm256_set1_ps(w[k]);
        for (std::size_t x = 0; x < n; x += 8)
            _mm256_storeu_ps(out + x, _mm256_add_ps(_mm256_loadu_ps(out + x),
                                                    _mm256_mul_ps(_mm256_add_ps(_mm256_loadu_ps(a + x), _mm256_loadu_ps(b + x)), wk)));
    }
    return n;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

// Horizontal pass: out row pixel i = sum_k w[|k|] * in[i + k], for `count` outputs, reading from
// in[-radius] to in[count - 1 + radius].
void convolveRow(const float *in, float *out, int count, const std::vector<float> &w, int radius)
{
    int i = 0;
#ifdef LUMETTA_BLUR_AVX2
    if (hasAvx2) i = convolveRowAvx2(in, out, count, w.data(), radius);
#endif
    const float w0 = w[0];
    for (; i < count; ++i) {
        const float *c = in + static_cast<std::ptrdiff_t>(i) * 4;
        v4f acc = load(c) * w0;
        for (int k = 1; k <= radius; ++k) acc += (load(c - 4 * k) + load(c + 4 * k)) * w[k];
        store(out + static_cast<std::ptrdiff_t>(i) * 4, acc);
    }
}

// Vertical pass for one output row: out = sum_k w[|k|] * rows[centre + k], `floats` values wide.
void convolveColumn(const float *const *rows, float *out, std::size_t floats, const std::vector<float> &w,
                    int radius)
{
    std::size_t start = 0;
#ifdef LUMETTA_BLUR_AVX2
    if (hasAvx2) start = convolveColumnAvx2(rows, out, floats, w.data(), radius);
#endif
    const float *c = rows[radius];
    const float w0 = w[0];
    const std::size_t n = floats / 4;
    for (std::size_t x = start / 4; x < n; ++x) store(out + 4 * x, load(c + 4 * x) * w0);
    for (int k = 1; k <= radius; ++k) {
        const float *a = rows[radius - k], *b = rows[radius + k];
        const float wk = w[k];
        for (std::size_t x = start / 4; x < n; ++x)
            store(out + 4 * x, load(out + 4 * x) + (load(a + 4 * x) + load(b + 4 * x)) * wk);
    }
}

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

} // namespace

std::vector<float> GaussianBlurNode::weights(double sigma, int radius)
{
    std::vector<double> w(radius + 1);
    double sum = 0;
    for (int k = 0; k <= radius; ++k) {
        w[k] = std::exp(-0.5 * k * k / (sigma * sigma));
        sum += k == 0 ? w[k] : 2 * w[k];
    }
    std::vector<float> out(radius + 1);
    for (int k = 0; k <= radius; ++k) out[k] = static_cast<float>(w[k] / sum);
    return out;
}

GaussianBlurNode::GaussianBlurNode(Image input, double sigma) : m_input(std::move(input)), m_sigma(sigma)
{
    // The coarsest grid that keeps the coarse sigma at 2.4 or more (enough for 50+ dB against a
    // true Gaussian on photographs).
    m_factor = 1;
    while (m_factor < 64 && m_sigma / (2.0 * m_factor) >= 2.4) m_factor *= 2;
    if (m_factor == 1) {
        m_coarseSigma = m_sigma;
        m_radius = std::max(1, static_cast<int>(std::ceil(3.0 * m_sigma)));
    } else {
        const double f = m_factor;
        const double variance = m_sigma * m_sigma - (f * f - 1) / 12.0 - f * f / 6.0;
        m_coarseSigma = std::sqrt(std::max(variance, 0.25)) / f;
        m_radius = static_cast<int>(std::ceil(3.5 * m_coarseSigma));
    }
    m_weights = weights(m_coarseSigma, m_radius);
}

Rect GaussianBlurNode::extent() const
{
    const Rect e = m_input.extent();
    if (e.isEmpty() || e.isInfinite()) return e;
    return e.adjusted(std::ceil(3.0 * m_sigma) + m_factor);
}

int GaussianBlurNode::preferredTileSize() const
{
    const int margin = (m_radius + 2) * m_factor;
    const int inner = m_input.node() ? m_input.node()->preferredTileSize() : 256;
    return std::clamp(6 * margin, std::max(256, inner), 1024);
}

void GaussianBlurNode::render(PixelBuffer &out) const
{
    if (PixelRect::covering(extent()).intersected(out.rect()).isEmpty()) {
        out.clear();
        return;
    }
    if (m_factor == 1) renderDirect(out);
    else renderCoarse(out);
    const PixelRect inside = PixelRect::covering(extent());
    if (inside.intersected(out.rect()) != out.rect()) out.clearOutside(inside);
}

void GaussianBlurNode::renderDirect(PixelBuffer &out) const
{
    const PixelRect r = out.rect();
    const int R = m_radius;
    PixelBuffer in(PixelRect{r.x0 - R, r.y0 - R, r.x1 + R, r.y1 + R});
    m_input.render(in);
    // Horizontal pass into rows of exactly the output width.
    PixelBuffer h(PixelRect{r.x0, r.y0 - R, r.x1, r.y1 + R});
    for (int y = h.rect().y0; y < h.rect().y1; ++y)
        convolveRow(in.pixel(r.x0, y), h.row(y), r.width(), m_weights, R);
    std::vector<const float *> rows(2 * R + 1);
    for (int y = r.y0; y < r.y1; ++y) {
        for (int k = -R; k <= R; ++k) rows[k + R] = h.row(y + k);
        convolveColumn(rows.data(), out.row(y), out.stride(), m_weights, R);
    }
}

void GaussianBlurNode::renderCoarse(PixelBuffer &out) const
{
    const PixelRect r = out.rect();
    const int f = m_factor, R = m_radius;
    // Coarse cell j covers full-resolution pixels [f j, f j + f); its centre is f (j + 0.5). A full
    // pixel centre x + 0.5 sits at coarse coordinate u = (x + 0.5) / f - 0.5 in cell-centre units,
    // so the cells read by bilinear interpolation run from floor(u(x0)) to floor(u(x1 - 1)) + 1.
    auto firstCell = [f](int x) { return floorDiv(2 * x + 1 - f, 2 * f); };
    const int cx0 = firstCell(r.x0), cx1 = firstCell(r.x1 - 1) + 2; // [cx0, cx1)
    const int cy0 = firstCell(r.y0), cy1 = firstCell(r.y1 - 1) + 2;
    // Coarse cells needed as convolution input, with the kernel margin.
    const PixelRect cells{cx0 - R, cy0 - R, cx1 + R, cy1 + R};
    PixelBuffer coarse(cells);
    const float inv = 1.0f / static_cast<float>(f * f);

    // Box-average the input into coarse cells, reading it in bands of rows so that the
    // full-resolution buffer stays small; each band is a multiple of f rows. The kernel's margin
    // reaches 3.5 sigma beyond the tile, mostly outside the picture for a large sigma: only the
    // cells that overlap the input's extent are read, the rest are transparent.
    const Rect e = m_input.extent();
    PixelRect used = cells;
    if (!e.isInfinite()) {
        const PixelRect inputCells = PixelRect::covering(Rect::fromEdges(e.x() / f, e.y() / f, e.maxX() / f, e.maxY() / f));
        used = cells.intersected(inputCells);
        if (used != cells) coarse.clear();
    }
    const int bandCells = std::max(1, 128 / f);
    std::vector<float> sums(static_cast<std::size_t>(used.width()) * f * 4);
    for (int cy = used.y0; cy < used.y1; cy += bandCells) {
        const int cyEnd = std::min(cy + bandCells, used.y1);
        PixelBuffer band(PixelRect{used.x0 * f, cy * f, used.x1 * f, cyEnd * f});
        m_input.render(band);
        for (int c = cy; c < cyEnd; ++c) {
            // Sum the f rows of this cell row...
            std::fill(sums.begin(), sums.end(), 0.f);
            for (int yy = c * f; yy < c * f + f; ++yy) {
                const float *src = band.row(yy);
                for (std::size_t i = 0; i < sums.size(); i += 4) store(&sums[i], load(&sums[i]) + load(src + i));
            }
            // ...then f columns per cell.
            float *dst = coarse.pixel(used.x0, c);
            for (int cx = 0; cx < used.width(); ++cx) {
                v4f acc = {0, 0, 0, 0};
                const float *s = &sums[static_cast<std::size_t>(cx) * f * 4];
                for (int k = 0; k < f; ++k) acc += load(s + 4 * k);
                store(dst + 4 * cx, acc * inv);
            }
        }
    }

    // Two-pass Gaussian on the coarse grid, for the cells [cx0, cx1) x [cy0, cy1) only.
    PixelBuffer h(PixelRect{cx0, cells.y0, cx1, cells.y1});
    for (int y = cells.y0; y < cells.y1; ++y)
        convolveRow(coarse.pixel(cx0, y), h.row(y), cx1 - cx0, m_weights, R);
    PixelBuffer blurred(PixelRect{cx0, cy0, cx1, cy1});
    std::vector<const float *> rows(2 * R + 1);
    for (int y = cy0; y < cy1; ++y) {
        for (int k = -R; k <= R; ++k) rows[k + R] = h.row(y + k);
        convolveColumn(rows.data(), blurred.row(y), blurred.stride(), m_weights, R);
    }

    // Bilinear back to full resolution. Column positions are the same for every row.
    std::vector<int> col(r.width());
    std::vector<float> colT(r.width());
    for (int x = r.x0; x < r.x1; ++x) {
        const double u = (x + 0.5) / f - 0.5;
        const int j = static_cast<int>(std::floor(u));
        col[x - r.x0] = j;
        colT[x - r.x0] = static_cast<float>(u - j);
    }
    for (int y = r.y0; y < r.y1; ++y) {
        const double v = (y + 0.5) / f - 0.5;
        const int j = static_cast<int>(std::floor(v));
        const float t = static_cast<float>(v - j);
        const float *a = blurred.row(j), *b = blurred.row(j + 1);
        float *dst = out.row(y);
        for (int i = 0; i < r.width(); ++i) {
            const int c = (col[i] - cx0) * 4;
            const float s = colT[i];
            const v4f top = load(a + c) + (load(a + c + 4) - load(a + c)) * s;
            const v4f bottom = load(b + c) + (load(b + c + 4) - load(b + c)) * s;
            store(dst + 4 * i, top + (bottom - top) * t);
        }
    }
}

} // namespace imaging
