#pragma once

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// An image mapped through an invertible affine transform, resampled bilinearly. Whole-pixel
// translations move pixels without resampling.
class TransformNode : public Node
{
public:
    TransformNode(Image input, const AffineTransform &t);

    Rect extent() const override { return m_extent; }
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    int preferredTileSize() const override;

    // The bounding box of r mapped through t (infinite stays infinite).
    static Rect mapRect(const AffineTransform &t, const Rect &r);

private:
    Image m_input;
    AffineTransform m_t, m_inverse;
    Rect m_extent;
    bool m_integerShift = false;
};

} // namespace imaging
