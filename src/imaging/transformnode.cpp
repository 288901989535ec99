#include "imaging/transformnode.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace imaging {

TransformNode::TransformNode(Image input, const AffineTransform &t)
    : m_input(std::move(input)), m_t(t), m_inverse(t.inverted())
{
    m_extent = mapRect(m_t, m_input.extent());
    m_integerShift = t.m11 == 1 && t.m12 == 0 && t.m21 == 0 && t.m22 == 1 &&
                     t.tX == std::floor(t.tX) && t.tY == std::floor(t.tY) &&
                     std::abs(t.tX) < (1 << 29) && std::abs(t.tY) < (1 << 29);
}

Rect TransformNode::mapRect(const AffineTransform &t, const Rect &r)
{
    if (r.isEmpty()) return Rect();
    if (r.isInfinite()) return Rect::infinite();
    const double xs[2] = {r.x(), r.maxX()}, ys[2] = {r.y(), r.maxY()};
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (double x : xs)
        for (double y : ys) {
            double mx, my;
            t.map(x, y, mx, my);
            x0 = std::min(x0, mx); x1 = std::max(x1, mx);
            y0 = std::min(y0, my); y1 = std::max(y1, my);
        }
    return Rect::fromEdges(x0, y0, x1, y1);
}

void TransformNode::render(PixelBuffer &out) const
{
    const PixelRect outRect = out.rect();
    if (m_integerShift) {
        const int dx = static_cast<int>(m_t.tX), dy = static_cast<int>(m_t.tY);
        PixelBuffer moved(PixelRect{outRect.x0 - dx, outRect.y0 - dy, outRect.x1 - dx, outRect.y1 - dy});
        m_input.render(moved);
        moved.relabel(outRect);
        out = std::move(moved);
        return;
    }
    const PixelRect visible = outRect.intersected(PixelRect::covering(m_extent));
    if (visible.isEmpty()) {
        out.clear();
        return;
    }
    // Which input pixels the visible output pixels read: the output rectangle mapped back, plus
    // the bilinear footprint, limited to where the input has pixels.
    Rect need = mapRect(m_inverse, visible.toRect()).adjusted(2);
    need = need.intersected(m_input.extent().adjusted(1));
    PixelBuffer in(PixelRect::covering(need));
    m_input.render(in);
    // Every visible pixel is written below; only the rest needs clearing.
    if (visible != outRect) out.clearOutside(visible);
    if (m_t.m12 == 0 && m_t.m21 == 0 && !in.isEmpty()) {
        // Axis-aligned (a scale and a shift, as in the preview): the source column of every
        // output column is the same on every row, so it is worked out once.
        const PixelRect ir = in.rect();
        const int w = visible.width();
        std::vector<int> col(w);
        std::vector<float> colT(w);
        std::vector<char> colInside(w);
        for (int i = 0; i < w; ++i) {
            const double rx = m_inverse.m11 * (visible.x0 + i + 0.5) + m_inverse.tX - 0.5 - ir.x0;
            const double fl = std::floor(rx);
            colInside[i] = rx >= 0 && rx < ir.width() - 1;
            col[i] = colInside[i] ? static_cast<int>(fl) : 0;
            colT[i] = static_cast<float>(rx - fl);
        }
        for (int y = visible.y0; y < visible.y1; ++y) {
            const double sy = m_inverse.m22 * (y + 0.5) + m_inverse.tY;
            const double ry = sy - 0.5 - ir.y0;
            float *dst = out.pixel(visible.x0, y);
            if (!(ry >= 0 && ry < ir.height() - 1)) {
                for (int i = 0; i < w; ++i) in.sampleBilinear(m_inverse.m11 * (visible.x0 + i + 0.5) + m_inverse.tX, sy, dst + 4 * i);
                continue;
            }
            const int iy = static_cast<int>(ry);
            const float t = static_cast<float>(ry - iy);
            const float *a = in.row(ir.y0 + iy), *b = in.row(ir.y0 + iy + 1);
            for (int i = 0; i < w; ++i) {
                float *d = dst + 4 * i;
                if (!colInside[i]) {
                    in.sampleBilinear(m_inverse.m11 * (visible.x0 + i + 0.5) + m_inverse.tX, sy, d);
                    continue;
                }
                const float *pa = a + 4 * col[i], *pb = b + 4 * col[i];
                const float s = colT[i];
                for (int c = 0; c < 4; ++c) {
                    const float top = pa[c] + (pa[c + 4] - pa[c]) * s;
                    const float bottom = pb[c] + (pb[c + 4] - pb[c]) * s;
                    d[c] = top + (bottom - top) * t;
                }
            }
        }
        return;
    }
    for (int y = visible.y0; y < visible.y1; ++y) {
        // Inverse map of the first pixel centre of the row; each step right adds (m11, m12) of the
        // inverse.
        double sx, sy;
        m_inverse.map(visible.x0 + 0.5, y + 0.5, sx, sy);
        float *dst = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, dst += 4) {
            in.sampleBilinear(sx, sy, dst);
            sx += m_inverse.m11;
            sy += m_inverse.m12;
        }
    }
}

Image TransformNode::scaled(const Image &, double s) const
{
    // S·T = T'·S with T' = S·T·S⁻¹: the same linear part and the translation scaled by s.
    AffineTransform t = m_t;
    t.tX *= s;
    t.tY *= s;
    return m_input.scaledForPreview(s).transformed(t);
}

int TransformNode::preferredTileSize() const
{
    return m_input.node() ? m_input.node()->preferredTileSize() : 256;
}

} // namespace imaging
