#include "imaging/areareducenode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace imaging {

namespace {

// A pixel's four channels as one value, with the compiler's vector types.
using Lanes = float __attribute__((vector_size(16)));

Lanes load(const float *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

AreaReduceNode::AreaReduceNode(Image input, double factor)
    : m_input(std::move(input)), m_factor(std::isfinite(factor) ? std::max(1.0, factor) : 1.0)
{
}

Rect AreaReduceNode::extent() const
{
    const Rect e = m_input.extent();
    if (e.isEmpty() || e.isInfinite()) return e;
    const double k = m_factor;
    return Rect::fromEdges(e.x() / k, e.y() / k, e.maxX() / k, e.maxY() / k);
}

int AreaReduceNode::preferredTileSize() const
{
    // The input's tiles at most 128 pixels wide: a kernel over them with its scratch rows stays
    // in the core's cache (larger ones took about 15 % longer for a comic preview).
    const int inner = m_input.node() ? m_input.node()->preferredTileSize() : 256;
    return std::max(64, static_cast<int>(std::min(inner, 128) / m_factor));
}

AreaReduceNode::Span AreaReduceNode::span(int i0, int i1, double factor)
{
    Span s;
    // Input pixel edges are whole numbers; an output pixel's edges fall at multiples of factor.
    s.first = static_cast<int>(std::floor(i0 * factor));
    s.last = static_cast<int>(std::ceil(i1 * factor));
    const double norm = 1.0 / factor;
    for (int i = i0; i < i1; ++i) {
        const double a = i * factor, b = (i + 1) * factor;
        const int p0 = static_cast<int>(std::floor(a)), p1 = static_cast<int>(std::ceil(b));
        s.starts.push_back(p0 - s.first);
        s.counts.push_back(p1 - p0);
        for (int p = p0; p < p1; ++p) s.weights.push_back(static_cast<float>((std::min<double>(b, p + 1) - std::max<double>(a, p)) * norm));
    }
    return s;
}

void AreaReduceNode::render(PixelBuffer &out) const
{
    const PixelRect r = out.rect();
    const Span across = span(r.x0, r.x1, m_factor);
    const int w = r.width();
    // The input is rendered a band of output rows at a time, so that a large factor does not need
    // a factor² times larger buffer for the whole tile. Each input row is first reduced along x.
    const int bandRows = std::max(1, static_cast<int>((1 << 20) / std::max(1.0, w * m_factor * m_factor)));
    std::vector<float> rowSums;
    for (int y0 = r.y0; y0 < r.y1; y0 += bandRows) {
        const int y1 = std::min(r.y1, y0 + bandRows);
        const Span down = span(y0, y1, m_factor);
        PixelBuffer fine(PixelRect{across.first, down.first, across.last, down.last});
        m_input.render(fine);
        rowSums.resize(static_cast<std::size_t>(down.last - down.first) * w * 4);
        for (int j = down.first; j < down.last; ++j) {
            const float *src = fine.row(j);
            float *sum = &rowSums[static_cast<std::size_t>(j - down.first) * w * 4];
            const float *weight = across.weights.data();
            for (int x = 0; x < w; ++x, sum += 4) {
                const float *p = src + 4 * across.starts[x];
                Lanes acc = {0, 0, 0, 0};
                for (int k = 0; k < across.counts[x]; ++k, p += 4, ++weight) acc += load(p) * *weight;
                std::memcpy(sum, &acc, sizeof acc);
            }
        }
        const float *weight = down.weights.data();
        for (int y = y0; y < y1; ++y) {
            float *dst = out.row(y);
            const int k = y - y0;
            const float *first = &rowSums[static_cast<std::size_t>(down.starts[k]) * w * 4];
            for (int x = 0; x < w; ++x) {
                Lanes acc = {0, 0, 0, 0};
                const float *sum = first + 4 * x;
                for (int j = 0; j < down.counts[k]; ++j, sum += 4 * w) acc += load(sum) * weight[j];
                std::memcpy(dst + 4 * x, &acc, sizeof acc);
            }
            weight += down.counts[k];
        }
    }
}

} // namespace imaging
