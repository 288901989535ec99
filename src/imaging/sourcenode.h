#pragma once

#include <mutex>
#include <vector>

#include <QImage>

#include "imaging/node.h"

namespace imaging {

// A bitmap: kept compactly as 8-bit premultiplied ARGB (or 16-bit premultiplied RGBA when the
// file had more depth) and converted to the float working format per tile. Placed with its
// bottom-left corner at the origin.
class SourceNode : public Node
{
public:
    // `image` must already be Format_ARGB32_Premultiplied, Format_RGB32 or
    // Format_RGBA64_Premultiplied (the adapter converts).
    explicit SourceNode(QImage image);

    Rect extent() const override;
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    // Small tiles keep a colour-kernel chain over a bitmap inside the core's cache: the float
    // working copy of a tile never goes out to memory.
    int preferredTileSize() const override { return 128; }

    const QImage &bitmap() const { return m_image; }
    // Level n of the mipmap (n >= 1): each level halves the previous one, made on first use.
    QImage mipLevel(int n) const;

private:
    QImage m_image;
    mutable std::mutex m_mipMutex;
    mutable std::vector<QImage> m_levels; // m_levels[i] is level i + 1
};

} // namespace imaging
