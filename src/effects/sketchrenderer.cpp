// oneTBB comes before the Qt headers: it uses the name "emit", which Qt defines as a macro.
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include "effects/sketchrenderer.h"

#include "imaging/bufferpool.h"
#include "imaging/gaussianblurnode.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr float inv255 = 1.0f / 255.0f;

// The blur of radius 10 as the engine makes it: 4 x 4 cell averages (variance (16 - 1) / 12), a
// Gaussian on the cell grid and a bilinear return to full resolution (variance 16 / 6); the
// grid's Gaussian has the variance that is left.
constexpr int cell = 4;
const double cellSigma = std::sqrt(10.0 * 10.0 - (cell * cell - 1) / 12.0 - cell * cell / 6.0) / cell;
const int cellRadius = static_cast<int>(std::ceil(3.5 * cellSigma));

// The picture's rows are cut into bands of this many rows for the cores.
constexpr int bandRows = 32;

// Four pixels at a time (GCC/Clang vector extension; SSE on x86). The selections below are the
// scalar formulas' branches, lane by lane; a lane's unused quotient may be infinite or NaN.
typedef float v4f __attribute__((vector_size(16)));
typedef int v4i __attribute__((vector_size(16)));

typedef unsigned v4u __attribute__((vector_size(16)));
typedef unsigned char v4b __attribute__((vector_size(4)));

// qGray of pixels that are opaque or fully transparent (grey 0), four at a time; `opaque` when
// the format has no alpha (RGB32, whose alpha byte is not read).
void opaqueGrey(const QRgb *in, int count, unsigned char *grey, unsigned char *alpha, bool opaque)
{
    const v4u mask = {0xff, 0xff, 0xff, 0xff};
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        v4u p;
        std::memcpy(&p, in + x, sizeof p);
        const v4u a = opaque ? mask : p >> 24;
        const v4u g = ((p >> 16 & mask) * 11 + (p >> 8 & mask) * 16 + (p & mask) * 5) >> 5;
        const v4u zero = {0, 0, 0, 0};
        const v4b gb = __builtin_convertvector(a == zero ? zero : g, v4b), ab = __builtin_convertvector(a, v4b);
        std::memcpy(grey + x, &gb, sizeof gb);
        std::memcpy(alpha + x, &ab, sizeof ab);
    }
    for (; x < count; ++x) {
        alpha[x] = opaque ? 255 : static_cast<unsigned char>(qAlpha(in[x]));
        grey[x] = alpha[x] ? static_cast<unsigned char>(qGray(in[x])) : 0;
    }
}

inline v4f load(const float *p)
{
    v4f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float *p, v4f v) { std::memcpy(p, &v, sizeof v); }

// Four bytes as the engine reads 8-bit values: v / 255 as v * (1 / 255).
inline v4f bytesToUnit(const unsigned char *p)
{
    v4b b;
    std::memcpy(&b, p, sizeof b);
    const v4f scale = {inv255, inv255, inv255, inv255};
    return __builtin_convertvector(b, v4f) * scale;
}

// The grid's Gaussian along a row: out[i] = sum_k w[|k|] in[i + k], for `count` values, summed in
// the engine's order so that the values agree with its blur to the last bit. `in` and `out` have
// room for `count` rounded up to whole groups of four.
void convolveRow(const float *in, float *out, int count, const std::vector<float> &w)
{
    const int radius = static_cast<int>(w.size()) - 1;
    for (int i = 0; i < count; i += 4) {
        const float *c = in + i;
        v4f acc = load(c) * w[0];
        for (int k = 1; k <= radius; ++k) acc += (load(c - k) + load(c + k)) * w[k];
        store(out + i, acc);
    }
}

// Along columns, one output row at a time: rows[radius + k] is the input row k rows away.
void convolveColumns(const float *const *rows, float *out, int count, const std::vector<float> &w)
{
    const int radius = static_cast<int>(w.size()) - 1;
    const float *c = rows[radius];
    for (int x = 0; x < count; x += 4) {
        v4f acc = load(c + x) * w[0];
        for (int k = 1; k <= radius; ++k) acc = acc + (load(rows[radius - k] + x) + load(rows[radius + k] + x)) * w[k];
        store(out + x, acc);
    }
}

// The colour dodge of the blurred inverse (source s, alpha as) over the grey copy (background b,
// alpha ab), premultiplied, then rounded to bytes as the engine's 8-bit output does: alpha
// clamped to 0..1, colour to 0..alpha, times 255 plus one half, truncated.
inline void dodge(v4f s, v4f as, v4f b, v4f ab, v4i &grey, v4i &alpha)
{
    const v4f zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
    const v4f Cs = as > zero ? s / as : zero;
    const v4f Cb = ab > zero ? b / ab : zero;
    const v4f ratio = Cb / (one - Cs);
    const v4f B = Cb <= zero ? zero : Cs >= one ? one : ratio < one ? ratio : one;
    const v4f colour = s * (one - ab) + b * (one - as) + as * ab * B;
    v4f a = as + ab - as * ab;
    a = a < zero ? zero : a;
    a = one < a ? one : a;
    v4f c = colour < zero ? zero : colour;
    c = a < c ? a : c;
    const v4f scale = {255, 255, 255, 255}, half = {0.5f, 0.5f, 0.5f, 0.5f};
    grey = __builtin_convertvector(c * scale + half, v4i);
    alpha = __builtin_convertvector(a * scale + half, v4i);
}

} // namespace

SketchRenderer::SketchRenderer(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        m_image = image;
        break;
    default:
        m_image = image.convertToFormat(QImage::Format_ARGB32);
        break;
    }
    m_width = m_image.width();
    m_height = m_image.height();
}

void SketchRenderer::greyRow(int row, unsigned char *grey, unsigned char *alpha) const
{
    const auto *in = reinterpret_cast<const QRgb *>(m_image.constScanLine(row));
    QImage straight;
    if (m_image.format() == QImage::Format_ARGB32_Premultiplied) {
        // Opaque and transparent pixels need no division; a row with translucent ones is made
        // straight pixel by pixel, in integers: the library's whole-row conversion rounds
        // differently on different processors, and the dodge magnifies a level of difference.
        const bool translucent = std::any_of(in, in + m_width, [](QRgb p) { return qAlpha(p) != 0 && qAlpha(p) != 255; });
        if (translucent) {
            straight = QImage(m_width, 1, QImage::Format_ARGB32);
            if (straight.isNull())
                throw std::bad_alloc();
            auto *line = reinterpret_cast<QRgb *>(straight.scanLine(0));
            for (int x = 0; x < m_width; ++x)
                line[x] = qUnpremultiply(in[x]);
            in = line;
        } else {
            opaqueGrey(in, m_width, grey, alpha, false);
            return;
        }
    } else if (m_image.format() == QImage::Format_RGB32) {
        opaqueGrey(in, m_width, grey, alpha, true);
        return;
    }
    for (int x = 0; x < m_width; ++x) {
        const int a = qAlpha(in[x]);
        alpha[x] = static_cast<unsigned char>(a);
        grey[x] = static_cast<unsigned char>(qGray(in[x]) * a / 255);
    }
}

void SketchRenderer::sumCells()
{
    m_cellsX = (m_width + cell - 1) / cell;
    m_cellsY = (m_height + cell - 1) / cell;
    // The cell grid with the blur's margin of empty (transparent) cells around it, and one cell
    // more on each side for the bilinear return.
    const int margin = cellRadius + 1;
    // (Three more columns let the blur's rows run in whole groups of four.)
    const std::ptrdiff_t stride = m_cellsX + 2 * margin + 3;
    std::vector<float> inverse(stride * (m_cellsY + 2 * margin)), alpha(inverse.size());
    tbb::parallel_for(tbb::blocked_range<int>(0, m_cellsY, bandRows / cell), [&](const tbb::blocked_range<int> &r) {
        // Padded to whole groups of four pixels (the padding stays zero).
        const int padded = (m_width + 3) & ~3;
        std::vector<float> sumI(std::max(std::size_t(m_cellsX) * cell, std::size_t(padded))), sumA(sumI.size());
        std::vector<unsigned char> g(m_width), a(m_width);
        for (int cy = r.begin(); cy < r.end(); ++cy) {
            std::fill(sumI.begin(), sumI.end(), 0.0f);
            std::fill(sumA.begin(), sumA.end(), 0.0f);
            // Cell rows count from the bottom of the picture, as image y does.
            for (int y = cy * cell; y < std::min(cy * cell + cell, m_height); ++y) {
                greyRow(m_height - 1 - y, g.data(), a.data());
                int x = 0;
                for (; x + 4 <= m_width; x += 4) {
                    const v4f A = bytesToUnit(&a[x]), G = bytesToUnit(&g[x]);
                    store(&sumI[x], load(&sumI[x]) + (A - G));
                    store(&sumA[x], load(&sumA[x]) + A);
                }
                for (; x < m_width; ++x) {
                    const float A = a[x] * inv255, G = g[x] * inv255;
                    sumI[x] += A - G;
                    sumA[x] += A;
                }
            }
            float *outI = &inverse[(cy + margin) * stride + margin], *outA = &alpha[(cy + margin) * stride + margin];
            for (int cx = 0; cx < m_cellsX; ++cx) {
                const float *i4 = &sumI[std::size_t(cx) * cell], *a4 = &sumA[std::size_t(cx) * cell];
                outI[cx] = (0.0f + i4[0] + i4[1] + i4[2] + i4[3]) * (1.0f / (cell * cell));
                outA[cx] = (0.0f + a4[0] + a4[1] + a4[2] + a4[3]) * (1.0f / (cell * cell));
            }
        }
    });
    m_inverse = std::move(inverse);
    m_alpha = std::move(alpha);
}

void SketchRenderer::blurCells()
{
    const std::vector<float> w = imaging::GaussianBlurNode::weights(cellSigma, cellRadius);
    const int margin = cellRadius + 1;
    const std::ptrdiff_t stride = m_cellsX + 2 * margin + 3;
    const int rows = m_cellsY + 2 * margin;
    // Along rows first, for the cells -1 .. m_cellsX of every row, then along columns for the
    // rows -1 .. m_cellsY.
    const int outX = gridStride(), outY = m_cellsY + 2;
    for (std::vector<float> *plane : {&m_inverse, &m_alpha}) {
        std::vector<float> along(std::size_t(outX) * rows);
        tbb::parallel_for(tbb::blocked_range<int>(0, rows, 64), [&](const tbb::blocked_range<int> &r) {
            for (int y = r.begin(); y < r.end(); ++y)
                convolveRow(plane->data() + y * stride + cellRadius, along.data() + std::size_t(y) * outX, outX, w);
        });
        std::vector<float> blurred(std::size_t(outX) * outY);
        tbb::parallel_for(tbb::blocked_range<int>(0, outY, 64), [&](const tbb::blocked_range<int> &r) {
            std::vector<const float *> taps(2 * cellRadius + 1);
            for (int y = r.begin(); y < r.end(); ++y) {
                // Output row y is input row y + cellRadius of `along`, which starts at row -1 - radius.
                for (int k = 0; k <= 2 * cellRadius; ++k)
                    taps[k] = along.data() + std::size_t(y + k) * outX;
                convolveColumns(taps.data(), blurred.data() + std::size_t(y) * outX, outX, w);
            }
        });
        *plane = std::move(blurred);
    }
}

void SketchRenderer::dodgeRows(uchar *out, qsizetype bytesPerLine, int firstRow, int endRow) const
{
    const std::ptrdiff_t stride = gridStride();
    // Pixel centre x + 0.5 lies at u = (x + 0.5) / 4 - 0.5 in cell-centre units, and the bilinear
    // return reads cells floor(u) and floor(u) + 1 with weight u - floor(u). For the four pixels
    // 4k .. 4k + 3 that is cells k - 1, k - 1, k, k (and the next ones) with weights 0.625,
    // 0.875, 0.125, 0.375; the stored grid starts at cell -1, so cell k - 1 is entry k.
    const v4f s = {0.625f, 0.875f, 0.125f, 0.375f};
    auto across = [&s](const float *row, int k) {
        const v4f lo = {row[k], row[k], row[k + 1], row[k + 1]};
        const v4f hi = {row[k + 1], row[k + 1], row[k + 2], row[k + 2]};
        return lo + (hi - lo) * s;
    };
    // The last group of a row that is not a whole group: its pixels copied into a padded group.
    unsigned char tailGrey[4] = {}, tailAlpha[4] = {};
    std::vector<unsigned char> g(m_width), a(m_width);
    for (int y = firstRow; y < endRow; ++y) {
        const double v = (y + 0.5) / cell - 0.5;
        const int j = static_cast<int>(std::floor(v));
        const float tf = static_cast<float>(v - j);
        const v4f t = {tf, tf, tf, tf};
        const float *iLow = &m_inverse[(j + 1) * stride], *iHigh = iLow + stride;
        const float *aLow = &m_alpha[(j + 1) * stride], *aHigh = aLow + stride;
        const int row = m_height - 1 - y;
        greyRow(row, g.data(), a.data());
        auto *line = reinterpret_cast<QRgb *>(out + row * bytesPerLine);
        for (int x = 0; x < m_width; x += 4) {
            const int k = x / cell;
            // The blurred inverse (source) over the grey copy (background), premultiplied.
            const v4f iTop = across(iLow, k), iBottom = across(iHigh, k);
            const v4f aTop = across(aLow, k), aBottom = across(aHigh, k);
            const v4f src = iTop + (iBottom - iTop) * t, srcAlpha = aTop + (aBottom - aTop) * t;
            const bool whole = x + 4 <= m_width;
            if (!whole) {
                std::copy(g.begin() + x, g.end(), tailGrey);
                std::copy(a.begin() + x, a.end(), tailAlpha);
            }
            v4i grey, alpha;
            dodge(src, srcAlpha, bytesToUnit(whole ? &g[x] : tailGrey), bytesToUnit(whole ? &a[x] : tailAlpha), grey,
                  alpha);
            const v4u gu = reinterpret_cast<v4u &>(grey), au = reinterpret_cast<v4u &>(alpha);
            const v4u argb = au << 24 | gu << 16 | gu << 8 | gu;
            if (whole)
                std::memcpy(line + x, &argb, sizeof argb);
            else
                for (int i = 0; x + i < m_width; ++i)
                    line[x + i] = QRgb(argb[i]);
        }
    }
}

QImage SketchRenderer::render()
{
    if (m_image.isNull() || m_width <= 0 || m_height <= 0)
        return {};
    try {
        // Every page of the result is written once: huge pages save most of the page faults.
        const std::size_t bytes = std::size_t(m_width) * m_height * 4;
        uchar *data = static_cast<uchar *>(imaging::BufferPool::allocateLarge(bytes));
        QImage out;
        if (data)
            out = QImage(data, m_width, m_height, m_width * 4, QImage::Format_ARGB32_Premultiplied,
                         [](void *p) { std::free(p); }, data);
        if (out.isNull()) {
            std::free(data);
            qWarning("sketchEffect: not enough memory for the sketch of a %dx%d picture", m_width, m_height);
            return {};
        }
        sumCells();
        blurCells();
        // The rows are written from several threads: take the pointer once (no detach per row).
        uchar *bits = out.bits();
        const qsizetype bytesPerLine = out.bytesPerLine();
        tbb::parallel_for(tbb::blocked_range<int>(0, m_height, bandRows), [&](const tbb::blocked_range<int> &r) {
            dodgeRows(bits, bytesPerLine, r.begin(), r.end());
        });
        return out;
    } catch (const std::bad_alloc &) {
        qWarning("sketchEffect: not enough memory for the sketch of a %dx%d picture", m_width, m_height);
        return {};
    }
}
