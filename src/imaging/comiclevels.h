#pragma once

#include <cstddef>

namespace imaging::comiclevels {

// The comic's flat colours for a picture at a reduced scale, for n pixels of one row: each pixel
// stands for a block of the full picture, and takes the mean of the four levels (0..3) over the
// colours it spans instead of the level of its mean colour. How far the colours spread is judged
// from its neighbours: half the spread is the length of the difference between the pixels on
// either side (across and up and down).
//
// s: the row's premultiplied RGBA pixels, readable one pixel before and after the row and `up`
// floats above and below it. edge: the outline strength (0..1) of each pixel, which darkens it.
// out: n RGBA pixels, premultiplied, alpha that of s.
void spreadRow(const float *s, std::ptrdiff_t up, const float *edge, float *out, int n);

} // namespace imaging::comiclevels
