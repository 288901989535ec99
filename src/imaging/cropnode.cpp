#include "imaging/cropnode.h"

#include <cmath>

namespace imaging {

CropNode::CropNode(Image input, const Rect &rect)
    : m_input(std::move(input)), m_rect(rect), m_extent(m_input.extent().intersected(rect))
{
}

PixelRect CropNode::keptPixels() const
{
    if (m_extent.isEmpty()) return {};
    // Pixels whose centres lie inside the rectangle: x + 0.5 in [x0, x1).
    auto lo = [](double e) { return std::isinf(e) ? (e < 0 ? -(1 << 29) : (1 << 29)) : static_cast<int>(std::ceil(e - 0.5)); };
    return PixelRect{lo(m_extent.x()), lo(m_extent.y()), lo(m_extent.maxX()), lo(m_extent.maxY())};
}

void CropNode::render(PixelBuffer &out) const
{
    const PixelRect keep = keptPixels().intersected(out.rect());
    if (m_extent.isEmpty() || keep.isEmpty()) {
        out.clear();
        return;
    }
    if (keep == out.rect()) {
        m_input.render(out);
        return;
    }
    PixelBuffer inner(keep);
    m_input.render(inner);
    out.clearOutside(keep);
    for (int y = keep.y0; y < keep.y1; ++y)
        std::copy(inner.row(y), inner.row(y) + inner.stride(), out.pixel(keep.x0, y));
}

Image CropNode::scaled(const Image &, double s) const
{
    const Rect r = Rect::fromEdges(m_rect.x() * s, m_rect.y() * s, m_rect.maxX() * s, m_rect.maxY() * s);
    return m_input.scaledForPreview(s).cropped(r);
}

int CropNode::preferredTileSize() const
{
    return m_input.node() ? m_input.node()->preferredTileSize() : 256;
}

} // namespace imaging
