#include "imaging/renderer.h"

#include <algorithm>
#include <new>
#include <vector>

#include <QDebug>
#include <tbb/parallel_for.h>

#include "imaging/node.h"

namespace imaging {

namespace {

// Runs the tiles; std::bad_alloc from any of them cancels the rest and comes out here. Tiles not yet
// started are skipped once `cancel` is raised.
void runTiles(const Image &image, const PixelRect &rect, const std::function<void(PixelBuffer &tile)> &consume,
              const std::atomic<bool> *cancel = nullptr)
{
    if (rect.isEmpty()) return;
    int tile = Renderer::tileSize(image);
    // Small renders (the preview) still get enough tiles to keep every core busy.
    while (tile > 64 && (static_cast<long long>((rect.width() + tile - 1) / tile) *
                         ((rect.height() + tile - 1) / tile)) < 8)
        tile /= 2;
    std::vector<PixelRect> tiles;
    for (int y = rect.y0; y < rect.y1; y += tile)
        for (int x = rect.x0; x < rect.x1; x += tile)
            tiles.push_back({x, y, std::min(x + tile, rect.x1), std::min(y + tile, rect.y1)});
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, tiles.size(), 1),
        [&](const tbb::blocked_range<std::size_t> &range) {
            for (std::size_t i = range.begin(); i != range.end(); ++i) {
                if (cancel && cancel->load(std::memory_order_relaxed))
                    return;
                PixelBuffer buffer(tiles[i]);
                image.render(buffer);
                consume(buffer);
            }
        },
        tbb::simple_partitioner());
}

PixelBuffer renderWhole(const Image &image, const PixelRect &rect)
{
    PixelBuffer out(rect);
    runTiles(image, rect, [&out](PixelBuffer &tile) {
        for (int y = tile.rect().y0; y < tile.rect().y1; ++y)
            std::copy(tile.row(y), tile.row(y) + tile.stride(), out.pixel(tile.rect().x0, y));
    });
    return out;
}

void reportFailure(const PixelRect &rect)
{
    qWarning("imaging: not enough memory to render %dx%d pixels", rect.width(), rect.height());
}

} // namespace

int Renderer::tileSize(const Image &image)
{
    const int t = image.node() ? image.node()->preferredTileSize() : 256;
    return std::clamp(t, 64, 2048);
}

bool Renderer::renderTiles(const Image &image, const PixelRect &rect,
                           const std::function<void(PixelBuffer &tile)> &consume,
                           const std::atomic<bool> *cancel)
{
    try {
        runTiles(image, rect, consume, cancel);
        return !(cancel && cancel->load());
    } catch (const std::bad_alloc &) {
        reportFailure(rect);
        return false;
    }
}

PixelBuffer Renderer::render(const Image &image, const PixelRect &rect)
{
    try {
        return renderWhole(image, rect);
    } catch (const std::bad_alloc &) {
        reportFailure(rect);
        return PixelBuffer();
    }
}

PixelBuffer Renderer::renderNested(const Image &image, const PixelRect &rect) { return renderWhole(image, rect); }

} // namespace imaging
