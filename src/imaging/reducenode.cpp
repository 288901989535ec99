#include "imaging/reducenode.h"

#include <algorithm>

namespace imaging {

ReduceNode::ReduceNode(Image input, int factor) : m_input(std::move(input)), m_factor(std::max(1, factor)) {}

Rect ReduceNode::extent() const
{
    const Rect e = m_input.extent();
    const double k = m_factor;
    return Rect::fromEdges(e.x() / k, e.y() / k, e.maxX() / k, e.maxY() / k);
}

int ReduceNode::preferredTileSize() const
{
    const int inner = m_input.node() ? m_input.node()->preferredTileSize() : 256;
    return std::max(64, inner / m_factor);
}

void ReduceNode::render(PixelBuffer &out) const
{
    const PixelRect r = out.rect();
    const int k = m_factor;
    const float norm = 1.0f / static_cast<float>(k * k);
    // The input is rendered a band of output rows at a time, so that a large factor does not
    // need a k² times larger buffer for the whole tile.
    const int bandRows = std::max(1, (1 << 20) / std::max(1, r.width() * k * k));
    for (int y0 = r.y0; y0 < r.y1; y0 += bandRows) {
        const int y1 = std::min(r.y1, y0 + bandRows);
        PixelBuffer fine(PixelRect{r.x0 * k, y0 * k, r.x1 * k, y1 * k});
        m_input.render(fine);
        for (int y = y0; y < y1; ++y) {
            float *dst = out.row(y);
            std::fill(dst, dst + out.stride(), 0.f);
            for (int j = 0; j < k; ++j) {
                const float *src = fine.row(y * k + j);
                for (int x = 0; x < r.width(); ++x)
                    for (int i = 0; i < k; ++i)
                        for (int c = 0; c < 4; ++c) dst[4 * x + c] += src[4 * (x * k + i) + c];
            }
            for (std::size_t i = 0; i < out.stride(); ++i) dst[i] *= norm;
        }
    }
}

} // namespace imaging
