#pragma once

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// An image shrunk by a whole factor k by averaging k x k blocks: output pixel (i, j) is the mean
// of input pixels (k i .. k i + k - 1, k j .. k j + k - 1). A preview renders a fine pattern k
// times larger and shows it through this node, so that it looks as the full result seen at the
// preview's scale instead of showing moiré.
class ReduceNode : public Node
{
public:
    ReduceNode(Image input, int factor);

    Rect extent() const override;
    void render(PixelBuffer &out) const override;
    int preferredTileSize() const override;

private:
    Image m_input;
    int m_factor;
};

} // namespace imaging
