#pragma once

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// An image restricted to a rectangle: pixels whose centre lies outside it are transparent.
class CropNode : public Node
{
public:
    CropNode(Image input, const Rect &rect);

    Rect extent() const override { return m_extent; }
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    int preferredTileSize() const override;

    const Image &input() const { return m_input; }
    // The pixels the crop keeps: those whose centres lie inside its extent.
    PixelRect keptPixels() const;

private:
    Image m_input;
    Rect m_rect, m_extent;
};

} // namespace imaging
