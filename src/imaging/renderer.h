#pragma once

#include <functional>

#include "imaging/image.h"
#include "imaging/pixelbuffer.h"

namespace imaging {

// Renders rectangles of images: the rectangle is cut into tiles that run on all cores (oneTBB);
// each tile asks the image's nodes only for the regions it needs.
class Renderer
{
public:
    // The whole rectangle as one float buffer.
    static PixelBuffer render(const Image &image, const PixelRect &rect);
    // Tile by tile: `consume` receives each finished tile, possibly from several threads at once
    // (tiles never overlap). Keeps memory to a few tiles per core and lets callers convert each
    // tile while it is still in cache.
    static void renderTiles(const Image &image, const PixelRect &rect,
                            const std::function<void(PixelBuffer &tile)> &consume);
    // The tile side used for an image.
    static int tileSize(const Image &image);
};

} // namespace imaging
