#pragma once

#include <array>

#include "imaging/image.h"

namespace imaging::blurs {

// Building blocks shared by the catalogue's focus and stylize filters.

// A true Gaussian of standard deviation sigma (transparent outside the input). sigma <= 0 gives
// the input unchanged.
Image gaussian(const Image &input, double sigma);
// A box 2 radius + 1 pixels wide each way, by running sums (cost independent of the radius); a
// fractional radius weights the outermost pixels by its fractional part.
Image box(const Image &input, double radius);
// A 3 x 3 convolution; weights row by row from the top-left, bias added to r, g and b.
Image convolve3x3(const Image &input, const std::array<float, 9> &weights, float bias, bool keepAlpha = true);

} // namespace imaging::blurs
