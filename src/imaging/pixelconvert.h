#pragma once

#include <QtGlobal>

namespace imaging::pixelconvert {

// Conversions between stored 8/16-bit premultiplied pixels and the float RGBA working format.
// These run once per pixel per render, so they are written for SIMD.

// QImage ARGB32(_Premultiplied) / RGB32 pixels -> float RGBA premultiplied in 0..1.
void argb32ToFloat(const uchar *src, float *dst, int count);
// QImage RGBA64_Premultiplied pixels -> float RGBA.
void rgba64ToFloat(const quint16 *src, float *dst, int count);
// Float RGBA premultiplied -> QImage ARGB32_Premultiplied, rounded, clamped to 0..1 and to
// colour <= alpha so that the result is valid premultiplied data.
void floatToArgb32(const float *src, uchar *dst, int count);
// One row of a half-size ARGB32 image from two source rows of `width` pixels (2 x 2 averages,
// the last column repeated when width is odd).
void halveRows(const uchar *rowA, const uchar *rowB, uchar *dst, int width);

} // namespace imaging::pixelconvert
