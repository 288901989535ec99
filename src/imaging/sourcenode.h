#pragma once

#include <mutex>
#include <vector>

#include <QImage>

#include "imaging/node.h"

namespace imaging {

// Half of an 8-bit premultiplied bitmap (Format_ARGB32_Premultiplied or Format_RGB32), each pixel
// the mean of a 2 x 2 block. Blocks are anchored at the bottom-left corner: with an odd height the
// top row of the half covers the top source row alone (a missing last row or column repeats the
// edge). Null without memory for it.
QImage halvedBitmap(const QImage &src);

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
    // The picture resampled to exactly scale s, from the nearest mipmap level.
    Image resampledFromMip(const Image &self, double s) const;

    QImage m_image;
    // The last preview scale's bitmap: a canvas redraws at one zoom many times, and every filter
    // of a preview then reads plain 8-bit pixels instead of resampling the level again, often
    // several times per tile (chains, margins).
    mutable std::mutex m_previewMutex;
    mutable double m_previewScale = 0;
    mutable QImage m_preview;
    mutable std::mutex m_mipMutex;
    mutable std::vector<QImage> m_levels; // m_levels[i] is level i + 1
};

} // namespace imaging
