#pragma once

#include <atomic>
#include <functional>

#include "imaging/image.h"
#include "imaging/pixelbuffer.h"

namespace imaging {

// Renders rectangles of images: the rectangle is cut into tiles that run on all cores (oneTBB);
// each tile asks the image's nodes only for the regions it needs.
//
// A render that runs out of working memory (the pool's budget, or the system's) fails as a
// whole: a log line names the size, and the caller gets an empty buffer or false, never a
// partial picture passed off as a result.
class Renderer
{
public:
    // The whole rectangle as one float buffer; empty when the render failed.
    static PixelBuffer render(const Image &image, const PixelRect &rect);
    // Tile by tile: `consume` receives each finished tile, possibly from several threads at once
    // (tiles never overlap). Keeps memory to a few tiles per core and lets callers convert each
    // tile while it is still in cache. False when the render failed; tiles already consumed are
    // then to be discarded. A render whose `cancel` flag is raised stops before its next tile and
    // also returns false, without a log line (a newer preview has made it pointless).
    static bool renderTiles(const Image &image, const PixelRect &rect,
                            const std::function<void(PixelBuffer &tile)> &consume,
                            const std::atomic<bool> *cancel = nullptr);
    // The same as render() for nodes that render a whole input while a render is running (a
    // cache): a failure throws std::bad_alloc, so that the outer render fails too.
    static PixelBuffer renderNested(const Image &image, const PixelRect &rect);
    // The tile side used for an image.
    static int tileSize(const Image &image);
};

} // namespace imaging
