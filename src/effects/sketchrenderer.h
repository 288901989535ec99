#pragma once

#include <QImage>

#include <vector>

// The pencil sketch of a picture in two passes over its pixels, one grey channel at a time:
//
//   grey G (premultiplied, alpha A) -> inverse I = A - G -> blur of radius 10 -> B
//   sketch = colour dodge of B over G
//
// The picture is the same, to the rounding of the last 8-bit step, as the one the engine's
// filters "CIColorInvert", "CIGaussianBlur" (radius 10) and "CIColorDodgeBlendMode" make from the
// grey copy: the blur is the engine's Gaussian of sigma 10, which averages 4 x 4 cells, blurs
// the cell grid with the remaining variance and returns to full resolution bilinearly. Working
// on one grey channel, and never on full-size float intermediates, makes it several times
// faster than running the three filters on RGBA.
//
// Pass one reads the picture and sums the inverse and the alpha of its grey copy into the cells;
// the cell grid is blurred (small); pass two reads the picture again for the grey copy,
// interpolates the blurred cells and writes the dodge. Both passes run on all cores, in bands of
// rows, four pixels at a time.
class SketchRenderer
{
public:
    explicit SketchRenderer(const QImage &image);

    // The sketch, Format_ARGB32_Premultiplied and of the picture's size; null when there is no
    // picture or its memory cannot be had.
    QImage render();

private:
    // Grey and alpha of one bitmap row as the grey copy holds them (grey of the straight colour,
    // then premultiplied by the alpha).
    void greyRow(int row, unsigned char *grey, unsigned char *alpha) const;
    void sumCells();
    void blurCells();
    void dodgeRows(uchar *out, qsizetype bytesPerLine, int firstRow, int endRow) const;

    QImage m_image;
    int m_width = 0, m_height = 0;
    // The blurred cells, inverse and alpha, over cell columns -1 .. m_cellsX and rows -1 ..
    // m_cellsY (the bilinear return reads one cell beyond the picture on each side).
    int m_cellsX = 0, m_cellsY = 0;
    std::vector<float> m_inverse, m_alpha;
    // Their row length, rounded up to whole groups of four.
    int gridStride() const { return (m_cellsX + 2 + 3) & ~3; }
};
