#include "imaging/cachenode.h"

#include <algorithm>

#include <tbb/task_arena.h>

#include "imaging/renderer.h"

namespace imaging {

CacheNode::CacheNode(Image input) : m_input(std::move(input)) {}

Image CacheNode::wrap(const Image &input, double maxPixels)
{
    const Rect e = input.extent();
    if (input.isNull() || e.isEmpty() || e.isInfinite() || e.width() * e.height() > maxPixels) return input;
    if (dynamic_cast<const CacheNode *>(input.node().get())) return input;
    return Image(std::make_shared<CacheNode>(input));
}

const PixelBuffer &CacheNode::pixels() const
{
    std::call_once(m_once, [this] {
        // Isolated, so that while this thread waits for the parallel render it never picks up
        // another tile of the outer render (which could come back here). A failure leaves the
        // flag unset and fails the outer render.
        tbb::this_task_arena::isolate([this] { m_cache = Renderer::renderNested(m_input, PixelRect::covering(m_input.extent())); });
    });
    return m_cache;
}

void CacheNode::render(PixelBuffer &out) const
{
    pixels();
    const PixelRect r = out.rect().intersected(m_cache.rect());
    if (r != out.rect()) out.clearOutside(r);
    for (int y = r.y0; y < r.y1; ++y) std::copy(m_cache.pixel(r.x0, y), m_cache.pixel(r.x1, y), out.pixel(r.x0, y));
}

Image CacheNode::scaled(const Image &, double s) const
{
    return wrap(m_input.scaledForPreview(s));
}

} // namespace imaging
