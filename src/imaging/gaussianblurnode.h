#pragma once

#include <vector>

#include "imaging/image.h"
#include "imaging/node.h"

namespace imaging {

// A Gaussian blur whose cost hardly depends on the radius. Small sigmas are two exact 1-D
// passes. Larger ones are computed on a grid f times coarser (f a power of two chosen so that the
// coarse sigma stays >= 2.4): f x f box averages, a two-pass Gaussian on the coarse grid, and a
// bilinear return to full resolution. The box (variance (f²-1)/12) and the bilinear tent
// (variance f²/6) are taken out of the coarse Gaussian's variance so that the whole chain has the
// requested sigma; its shape then differs from a true Gaussian by far less than 8-bit
// quantisation. Outside the input everything is transparent, so the extent grows by 3 sigma.
class GaussianBlurNode : public Node
{
public:
    GaussianBlurNode(Image input, double sigma);

    Rect extent() const override;
    void render(PixelBuffer &out) const override;
    int preferredTileSize() const override;

    // Normalised weights of a sampled Gaussian, index 0 the centre, radius taps on each side.
    static std::vector<float> weights(double sigma, int radius);

private:
    void renderDirect(PixelBuffer &out) const;
    void renderCoarse(PixelBuffer &out) const;

    Image m_input;
    double m_sigma;
    int m_factor = 1;         // coarse grid step
    double m_coarseSigma = 0; // sigma on the coarse grid
    int m_radius = 0;         // taps each side on the grid that is convolved
    std::vector<float> m_weights;
};

} // namespace imaging
