#pragma once

#include "imaging/pixelbuffer.h"
#include "imaging/rect.h"

namespace imaging {

class Image;

// One step of an image recipe. Nodes are immutable once built and shared between images, so
// render() must be safe to call from several threads at once.
class Node
{
public:
    virtual ~Node() = default;

    // Where the node's picture may be non-transparent; may be infinite.
    virtual Rect extent() const = 0;
    // Fills every pixel of out.rect(); pixels outside extent() become transparent black.
    virtual void render(PixelBuffer &out) const = 0;
    // The same picture scaled by s about the origin, built as cheaply as the node allows (for the
    // preview). `self` is the image that holds this node. The default resamples the full picture.
    virtual Image scaled(const Image &self, double s) const;
    // Tile side the renderer should use when this node is the root: nodes that read a wide margin
    // around each tile ask for larger tiles so that the margin costs less.
    virtual int preferredTileSize() const { return 256; }
};

} // namespace imaging
