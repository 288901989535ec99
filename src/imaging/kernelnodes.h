#pragma once

#include "imaging/kernels.h"
#include "imaging/node.h"

namespace imaging {

// The nodes behind the kernel kinds of kernels.h. Together in one header because each is a
// handful of lines around its kernel function.

class ColorKernelNode : public Node
{
public:
    ColorKernelNode(Image input, kernels::ColorFunction f) : m_input(std::move(input)), m_f(std::move(f)) {}
    Rect extent() const override { return m_input.extent(); }
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    int preferredTileSize() const override;

    const Image &input() const { return m_input; }
    // The kernel over `count` pixels of a row (what render() runs on every row of its input).
    void apply(float *rgba, int count, int x, int y) const { m_f(rgba, count, x, y); }

private:
    Image m_input;
    kernels::ColorFunction m_f;
};

class WarpKernelNode : public Node
{
public:
    WarpKernelNode(Image input, const Rect &extent, kernels::WarpFunction f, kernels::Edge edge,
                   std::function<Rect(const Rect &)> roi, int gridStep = 1)
        : m_input(std::move(input)), m_extent(extent), m_f(std::move(f)), m_edge(edge), m_roi(std::move(roi)),
          m_gridStep(gridStep) {}
    Rect extent() const override { return m_extent; }
    void render(PixelBuffer &out) const override;

private:
    Image m_input;
    Rect m_extent;
    kernels::WarpFunction m_f;
    kernels::Edge m_edge;
    std::function<Rect(const Rect &)> m_roi;
    int m_gridStep;
};

// A finite image repeated over the plane (kernels::repeated). Every output column reads one
// column of the tile and every row one row, so the source coordinates are worked out once per
// column and row of an output tile instead of twice per pixel.
class RepeatNode : public Node
{
public:
    RepeatNode(Image tile, double originX, double originY)
        : m_tile(std::move(tile)), m_originX(originX), m_originY(originY) {}
    Rect extent() const override { return Rect::infinite(); }
    void render(PixelBuffer &out) const override;

private:
    Image m_tile; // finite and not empty
    double m_originX, m_originY;
};

class GeneratorNode : public Node
{
public:
    GeneratorNode(const Rect &extent, kernels::GeneratorFunction f) : m_extent(extent), m_f(std::move(f)) {}
    Rect extent() const override { return m_extent; }
    void render(PixelBuffer &out) const override;

private:
    Rect m_extent;
    kernels::GeneratorFunction m_f;
};

class BlendNode : public Node
{
public:
    BlendNode(Image source, Image background, kernels::BlendFunction f)
        : m_source(std::move(source)), m_background(std::move(background)), m_f(std::move(f)) {}
    Rect extent() const override { return m_source.extent().united(m_background.extent()); }
    void render(PixelBuffer &out) const override;
    Image scaled(const Image &self, double s) const override;
    int preferredTileSize() const override;

private:
    Image m_source, m_background;
    kernels::BlendFunction m_f;
};

class GeneralKernelNode : public Node
{
public:
    explicit GeneralKernelNode(kernels::General kernel) : m_kernel(std::move(kernel)) {}
    Rect extent() const override { return m_kernel.extent; }
    void render(PixelBuffer &out) const override;
    int preferredTileSize() const override { return m_kernel.tileSize; }

private:
    kernels::General m_kernel;
};

} // namespace imaging
