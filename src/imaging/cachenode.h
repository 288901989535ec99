#pragma once

#include <mutex>

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// Holds a finite image rendered once. Filters that read the whole of an input for every tile
// (tilings, textures, shading maps) read it from here instead of recomputing it per tile.
class CacheNode : public Node
{
public:
    explicit CacheNode(Image input);

    // The input wrapped in a cache when it is finite and at most `maxPixels` large; otherwise
    // the input itself.
    static Image wrap(const Image &input, double maxPixels = 16e6);

    Rect extent() const override { return m_input.extent(); }
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    // The whole input, rendered on first use; shared by every tile that reads it.
    const PixelBuffer &pixels() const;
    const Image &input() const { return m_input; }

private:
    Image m_input;
    mutable std::once_flag m_once;
    mutable PixelBuffer m_cache;
};

} // namespace imaging
