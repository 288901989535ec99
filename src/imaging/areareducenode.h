#pragma once

#include <vector>

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// An image shrunk by a factor r >= 1 that need not be whole, by area: output pixel (i, j) is the
// mean of the input over the square [r i, r (i + 1)) x [r j, r (j + 1)), input pixels weighted by
// how much of them it covers. A preview rendered at a finer scale than it is shown at is seen
// through it, as a screen shows a result finer than its pixels.
class AreaReduceNode : public Node
{
public:
    AreaReduceNode(Image input, double factor);

    Rect extent() const override;
    void render(PixelBuffer &out) const override;
    int preferredTileSize() const override;

    // The input pixels that output pixels [i0, i1) of one axis read: from `first`, `weights[k]`
    // for the k-th output pixel starting at `starts[k]` (relative to `first`).
    struct Span
    {
        int first = 0, last = 0; // input pixels [first, last)
        std::vector<int> starts, counts;
        std::vector<float> weights; // counts[k] weights per output pixel, one after another
    };
    static Span span(int i0, int i1, double factor);

private:
    Image m_input;
    double m_factor;
};

} // namespace imaging
