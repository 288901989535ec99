#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "imaging/image.h"
#include "imaging/pixelbuffer.h"

namespace imaging {

// The kernel kinds a filter is written with. Each takes the formula only; the nodes behind them
// handle extents, regions of interest and tiling. All pixels are float RGBA premultiplied.
//
// Colour convention: the values are the picture's sRGB-encoded values (0..1), not linear light.
// Blends, blurs, mixes and colour formulas work on them as they are, which is what the usual
// blend formulas and other image tools do and what users expect from them. The exceptions are
// the operations defined in light: exposure (a stop doubles the light, so its gain is applied to
// linear values) and the two tone-curve filters that convert between the encodings; such filters
// decode to linear, do their work and encode again.
namespace kernels {

// Colour kernel: rewrites `count` pixels in place (x, y: image position of the first pixel).
using ColorFunction = std::function<void(float *rgba, int count, int x, int y)>;
Image color(const Image &input, ColorFunction f);

// Helper for colour kernels that work on straight (unpremultiplied) colour: f(r, g, b, a) gets
// r, g, b in 0..1 (alpha already divided out) as float references and may change all four; the
// result is premultiplied again. A template, so that the formula is inlined into the loop.
template<typename StraightFunction>
Image straightColor(const Image &input, StraightFunction f)
{
    return color(input, [f = std::move(f)](float *p, int n, int, int) {
        for (int i = 0; i < n; ++i, p += 4) {
            float a = p[3];
            if (a <= 0.f) {
                // Transparent pixels keep no colour; a kernel may still give them alpha (for
                // example a colour matrix with an alpha bias).
                float r = 0, g = 0, b = 0, a2 = 0;
                f(r, g, b, a2);
                a2 = std::clamp(a2, 0.f, 1.f);
                p[0] = r * a2; p[1] = g * a2; p[2] = b * a2; p[3] = a2;
                continue;
            }
            const float inv = 1.f / a;
            float r = p[0] * inv, g = p[1] * inv, b = p[2] * inv;
            f(r, g, b, a);
            a = std::clamp(a, 0.f, 1.f);
            p[0] = r * a; p[1] = g * a; p[2] = b * a; p[3] = a;
        }
    });
}

// Warp kernel: maps an output point to the source point to sample (the inverse mapping).
using WarpFunction = std::function<void(double x, double y, double &sx, double &sy)>;
enum class Edge { Transparent, Clamp };
// `extent` is the output extent; `roi`, when given, answers which input rectangle an output
// rectangle reads; otherwise it is estimated by mapping a grid of points of the rectangle.
Image warp(const Image &input, const Rect &extent, WarpFunction f, Edge edge = Edge::Transparent,
           std::function<Rect(const Rect &)> roi = {});

// The same for maps without jumps: the map is evaluated exactly on a grid every few pixels
// (anchored in image space, so tiles agree) and interpolated in between, which makes costly
// formulas (trigonometry per pixel) cheap. Not for maps with jumps (tilings, cells, holes).
Image smoothWarp(const Image &input, const Rect &extent, WarpFunction f, Edge edge = Edge::Transparent);

// Generator kernel: the colour (premultiplied) at a pixel centre.
using GeneratorFunction = std::function<void(double x, double y, float *rgba)>;
Image generator(const Rect &extent, GeneratorFunction f);

// Blend kernel: `count` pixels of the source (foreground) and of the background, result into out.
using BlendFunction = std::function<void(const float *src, const float *bg, float *out, int count)>;
Image blend(const Image &source, const Image &background, BlendFunction f);

// General kernel: any number of inputs, each read over the region `roi` asks for.
struct General
{
    std::vector<Image> inputs;
    Rect extent;
    // Which rectangle of input i an output rectangle needs. The buffer given to compute covers
    // exactly that, so a kernel that indexes pixels directly must ask for all it indexes. A kernel
    // that only samples an input (the samplers are transparent or clamped beyond the buffer) and
    // whose reach grows with a parameter limits the region with available(), so that a long
    // reach never costs more than the input holds.
    std::function<Rect(int input, const Rect &out)> roi;
    // Fills every pixel of out from the input buffers (each covering its roi).
    std::function<void(const std::vector<PixelBuffer> &in, PixelBuffer &out)> compute;
    int tileSize = 256;
};
Image general(General kernel);

// A finite image repeated over the plane, copies side by side, one of them with its extent's
// bottom-left corner at (originX, originY). Infinite or empty images come back unchanged.
Image repeated(const Image &tile, double originX, double originY);

// The part of r that `input` can provide: r limited to the input's extent grown by a
// transparent border of two pixels (what a bilinear sample at the edge reads).
Rect available(const Image &input, const Rect &r);

} // namespace kernels

} // namespace imaging
