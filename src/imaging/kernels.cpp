#include "imaging/kernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/cachenode.h"
#include "imaging/kernelnodes.h"
#include "imaging/sampler.h"
#include "imaging/transformnode.h"

namespace imaging {

namespace kernels {

Image color(const Image &input, ColorFunction f)
{
    if (input.isNull()) return Image();
    return Image(std::make_shared<ColorKernelNode>(input, std::move(f)));
}

Image warp(const Image &input, const Rect &extent, WarpFunction f, Edge edge,
           std::function<Rect(const Rect &)> roi)
{
    if (input.isNull()) return Image();
    return Image(std::make_shared<WarpKernelNode>(input, extent, std::move(f), edge, std::move(roi)));
}

Image smoothWarp(const Image &input, const Rect &extent, WarpFunction f, Edge edge)
{
    if (input.isNull()) return Image();
    return Image(std::make_shared<WarpKernelNode>(input, extent, std::move(f), edge, std::function<Rect(const Rect &)>(), 4));
}

Image generator(const Rect &extent, GeneratorFunction f)
{
    return Image(std::make_shared<GeneratorNode>(extent, std::move(f)));
}

Image blend(const Image &source, const Image &background, BlendFunction f)
{
    if (source.isNull() || background.isNull()) return Image();
    return Image(std::make_shared<BlendNode>(source, background, std::move(f)));
}

Image general(General kernel)
{
    for (const Image &i : kernel.inputs)
        if (i.isNull()) return Image();
    return Image(std::make_shared<GeneralKernelNode>(std::move(kernel)));
}

namespace {

// v modulo period, in [0, period): a floor by conversion to an integer where v / period fits one,
// which costs a fraction of a library remainder (two per axis of every pixel of a texture).
double wrapInto(double v, double period)
{
    const double q = v / period;
    if (!(std::abs(q) < 1e15)) return std::fmod(std::fmod(v, period) + period, period);
    double n = static_cast<double>(static_cast<long long>(q));
    if (n > q) n -= 1;
    double r = v - n * period;
    if (r < 0) r += period;
    else if (r >= period) r -= period;
    return r;
}

} // namespace

Image repeated(const Image &tile, double originX, double originY)
{
    const Image t = CacheNode::wrap(tile);
    const Rect e = t.extent();
    if (e.isEmpty() || e.isInfinite()) return t;
    return Image(std::make_shared<RepeatNode>(t, originX, originY));
}

Rect available(const Image &input, const Rect &r)
{
    return r.intersected(input.extent().adjusted(2));
}

} // namespace kernels

namespace {
int inputTileSize(const Image &i) { return i.node() ? i.node()->preferredTileSize() : 256; }
} // namespace

void ColorKernelNode::render(PixelBuffer &out) const
{
    m_input.render(out);
    // The kernel runs only where the input exists: outside, the result stays transparent even
    // for kernels that would turn black into something else.
    const PixelRect r = out.rect().intersected(PixelRect::covering(m_input.extent()));
    for (int y = r.y0; y < r.y1; ++y) m_f(out.pixel(r.x0, y), r.width(), r.x0, y);
}

Image ColorKernelNode::scaled(const Image &, double s) const
{
    return kernels::color(m_input.scaledForPreview(s), m_f);
}

int ColorKernelNode::preferredTileSize() const { return inputTileSize(m_input); }

void WarpKernelNode::render(PixelBuffer &out) const
{
    const PixelRect visible = out.rect().intersected(PixelRect::covering(m_extent));
    if (visible.isEmpty()) {
        out.clear();
        return;
    }
    const Rect inExtent = m_input.extent();
    const bool clamp = m_edge == kernels::Edge::Clamp && !inExtent.isInfinite() && !inExtent.isEmpty();
    auto clampPoint = [&](double &x, double &y) {
        x = std::clamp(x, inExtent.x() + 0.5, std::max(inExtent.x() + 0.5, inExtent.maxX() - 0.5));
        y = std::clamp(y, inExtent.y() + 0.5, std::max(inExtent.y() + 0.5, inExtent.maxY() - 0.5));
    };
    Rect need;
    if (m_roi) {
        need = m_roi(visible.toRect());
    } else {
        // Estimate the region read by mapping a grid of points over the output rectangle.
        constexpr int steps = 8;
        double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
        for (int j = 0; j <= steps; ++j)
            for (int i = 0; i <= steps; ++i) {
                const double px = visible.x0 + 0.5 + (visible.width() - 1) * double(i) / steps;
                const double py = visible.y0 + 0.5 + (visible.height() - 1) * double(j) / steps;
                double sx, sy;
                m_f(px, py, sx, sy);
                if (!std::isfinite(sx) || !std::isfinite(sy)) continue;
                if (clamp) clampPoint(sx, sy);
                x0 = std::min(x0, sx); x1 = std::max(x1, sx);
                y0 = std::min(y0, sy); y1 = std::max(y1, sy);
            }
        need = x1 >= x0 ? Rect::fromEdges(x0, y0, x1, y1) : Rect();
    }
    need = need.adjusted(3);
    Rect bound = inExtent.adjusted(1);
    if (bound.isInfinite()) bound = bound.intersected(visible.toRect().adjusted(4096));
    need = need.intersected(bound);
    // Bitmaps and cached inputs are sampled where they lie: copying the region out of them for
    // every tile costs more than the warp itself when the region is the whole picture (textures,
    // tilings, a preview's reduced copy).
    const Sampler in(m_input, need);
    // Every visible pixel is sampled below; only the rest needs clearing.
    if (visible != out.rect()) out.clearOutside(visible);
    if (m_gridStep > 1) {
        // Grid nodes at pixel centres whose coordinates are multiples of g, covering the rectangle.
        const int g = m_gridStep;
        auto floorDiv = [g](int v) { return v >= 0 ? v / g : -((-v + g - 1) / g); };
        const int gx0 = floorDiv(visible.x0), gx1 = floorDiv(visible.x1 - 1) + 1;
        const int gy0 = floorDiv(visible.y0), gy1 = floorDiv(visible.y1 - 1) + 1;
        const int nx = gx1 - gx0 + 1;
        std::vector<double> mx(static_cast<std::size_t>(nx) * (gy1 - gy0 + 1)), my(mx.size());
        for (int j = gy0; j <= gy1; ++j)
            for (int i = gx0; i <= gx1; ++i) {
                const std::size_t k = static_cast<std::size_t>(j - gy0) * nx + (i - gx0);
                m_f(i * g + 0.5, j * g + 0.5, mx[k], my[k]);
            }
        // A cell whose four corners stay where they are is left alone by the warp (a twirl or a
        // bump acts within its radius only, most of the picture at their defaults): its pixels are
        // copied, which gives the floats a sample at their centres would.
        std::vector<char> still(mx.size());
        // Clamped edges repeat the border beyond the input: only runs within it are plain copies.
        auto inside = [&](int x0, int x1, int y) {
            return x0 >= inExtent.x() && x1 <= inExtent.maxX() && y >= inExtent.y() && y + 1 <= inExtent.maxY();
        };
        for (int j = gy0; j <= gy1; ++j)
            for (int i = gx0; i <= gx1; ++i) {
                const std::size_t k = static_cast<std::size_t>(j - gy0) * nx + (i - gx0);
                still[k] = mx[k] == i * g + 0.5 && my[k] == j * g + 0.5;
            }
        for (int y = visible.y0; y < visible.y1; ++y) {
            const int j = floorDiv(y);
            const double ty = double(y - j * g) / g;
            for (int i = floorDiv(visible.x0); i * g < visible.x1; ++i) {
                const int x0 = std::max(visible.x0, i * g), x1 = std::min(visible.x1, (i + 1) * g);
                const std::size_t k = static_cast<std::size_t>(j - gy0) * nx + (i - gx0);
                float *dst = out.pixel(x0, y);
                if (still[k] && still[k + 1] && still[k + nx] && still[k + nx + 1] && (!clamp || inside(x0, x1, y))
                    && in.copyPixels(x0, y, x1 - x0, dst))
                    continue;
                for (int x = x0; x < x1; ++x, dst += 4) {
                    const double tx = double(x - i * g) / g;
                    double sx, sy;
                    if (tx == 0 && ty == 0) {
                        sx = mx[k];
                        sy = my[k];
                    } else {
                        const double top = mx[k] + (mx[k + 1] - mx[k]) * tx, bottom = mx[k + nx] + (mx[k + nx + 1] - mx[k + nx]) * tx;
                        const double topY = my[k] + (my[k + 1] - my[k]) * tx, bottomY = my[k + nx] + (my[k + nx + 1] - my[k + nx]) * tx;
                        sx = top + (bottom - top) * ty;
                        sy = topY + (bottomY - topY) * ty;
                    }
                    if (clamp) clampPoint(sx, sy);
                    in.sample(sx, sy, dst);
                }
            }
        }
        return;
    }
    for (int y = visible.y0; y < visible.y1; ++y) {
        float *dst = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, dst += 4) {
            double sx, sy;
            m_f(x + 0.5, y + 0.5, sx, sy);
            if (clamp) clampPoint(sx, sy);
            in.sample(sx, sy, dst);
        }
    }
}

void RepeatNode::render(PixelBuffer &out) const
{
    const PixelRect r = out.rect();
    const Rect e = m_tile.extent();
    // Where each column and row of the output reads the tile: the pixel centre moved into the
    // copy at the origin, kept a half pixel inside the tile's edges as a clamped warp keeps its
    // samples, so that the bilinear footprint never reaches past them into transparency.
    auto coordinates = [](int from, int count, double origin, double start, double period) {
        std::vector<double> v(static_cast<std::size_t>(count));
        const double hi = std::max(start + 0.5, start + period - 0.5);
        for (int i = 0; i < count; ++i)
            v[static_cast<std::size_t>(i)] = std::clamp(start + kernels::wrapInto(from + i + 0.5 - origin, period), start + 0.5, hi);
        return v;
    };
    const std::vector<double> sx = coordinates(r.x0, r.width(), m_originX, e.x(), e.width());
    const std::vector<double> sy = coordinates(r.y0, r.height(), m_originY, e.y(), e.height());
    // Along each axis, pixel centres within one copy read the output's span moved into the tile
    // (plus the bilinear footprint); across a join they read the tile's whole span. A cached tile
    // is read in place either way; a tile too large to cache is then rendered only where the
    // copies show it.
    auto span = [](const std::vector<double> &v, double &a, double &b) {
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        a = *lo - 2;
        b = *hi + 2;
    };
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (!sx.empty() && !sy.empty()) {
        span(sx, x0, x1);
        span(sy, y0, y1);
    }
    const Sampler in(m_tile, Rect::fromEdges(x0, y0, x1, y1).intersected(e.adjusted(1)));
    for (int y = r.y0; y < r.y1; ++y) {
        float *dst = out.pixel(r.x0, y);
        const double v = sy[static_cast<std::size_t>(y - r.y0)];
        for (const double u : sx) {
            in.sample(u, v, dst);
            dst += 4;
        }
    }
}

void GeneratorNode::render(PixelBuffer &out) const
{
    const PixelRect visible = out.rect().intersected(PixelRect::covering(m_extent));
    if (visible != out.rect()) out.clearOutside(visible);
    for (int y = visible.y0; y < visible.y1; ++y) {
        float *dst = out.pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, dst += 4) m_f(x + 0.5, y + 0.5, dst);
    }
}

void BlendNode::render(PixelBuffer &out) const
{
    PixelBuffer src(out.rect());
    m_source.render(src);
    m_background.render(out);
    for (int y = out.rect().y0; y < out.rect().y1; ++y)
        m_f(src.row(y), out.row(y), out.row(y), out.width());
}

Image BlendNode::scaled(const Image &, double s) const
{
    return kernels::blend(m_source.scaledForPreview(s), m_background.scaledForPreview(s), m_f);
}

int BlendNode::preferredTileSize() const
{
    return std::max(inputTileSize(m_source), inputTileSize(m_background));
}

void GeneralKernelNode::render(PixelBuffer &out) const
{
    const PixelRect visible = out.rect().intersected(PixelRect::covering(m_kernel.extent));
    if (visible.isEmpty()) {
        out.clear();
        return;
    }
    std::vector<PixelBuffer> in;
    in.reserve(m_kernel.inputs.size());
    for (std::size_t i = 0; i < m_kernel.inputs.size(); ++i) {
        const Rect need = m_kernel.roi ? m_kernel.roi(static_cast<int>(i), out.rect().toRect()) : out.rect().toRect();
        in.emplace_back(PixelRect::covering(need));
        if (!in.back().isEmpty()) m_kernel.inputs[i].render(in.back());
    }
    m_kernel.compute(in, out);
    if (visible != out.rect()) out.clearOutside(visible);
}

} // namespace imaging
