// GIF writing through giflib (reading is in imagefiles_gifread.cpp). GIF holds at most 256
// colours, so the picture is reduced to a palette made for it (median cut over a colour histogram)
// and the remaining error is spread with Floyd-Steinberg dithering; a picture that already has 256
// colours or fewer keeps them exactly.
#include "platform/imagecodecs.h"

#include <gif_lib.h>

#include <QHash>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Rgb
{
    int r, g, b;
};

// A box of the median cut: a run of histogram cells (5 bits per channel) holding pixels.
struct Box
{
    std::vector<int> cells;
    qint64 pixels = 0;
    int lo[3] = {31, 31, 31};
    int hi[3] = {0, 0, 0};
};

int cellChannel(int cell, int c)
{
    return (cell >> (10 - 5 * c)) & 31;
}

void shrinkBox(Box &box)
{
    std::fill(std::begin(box.lo), std::end(box.lo), 31);
    std::fill(std::begin(box.hi), std::end(box.hi), 0);
    for (int cell : box.cells)
        for (int c = 0; c < 3; ++c) {
            box.lo[c] = std::min(box.lo[c], cellChannel(cell, c));
            box.hi[c] = std::max(box.hi[c], cellChannel(cell, c));
        }
}

// Median cut: repeatedly split the box with the longest side (weighted by how many pixels it
// holds, so that busy regions of colour space get more entries) at its pixel median.
std::vector<Rgb> medianCutPalette(const std::vector<qint64> &count, const std::vector<std::array<qint64, 3>> &sum,
                                  int colours)
{
    std::vector<Box> boxes(1);
    for (int cell = 0; cell < int(count.size()); ++cell)
        if (count[cell]) {
            boxes[0].cells.push_back(cell);
            boxes[0].pixels += count[cell];
        }
    shrinkBox(boxes[0]);
    while (int(boxes.size()) < colours) {
        int best = -1;
        double bestScore = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            if (boxes[i].cells.size() < 2)
                continue;
            const int side = std::max({boxes[i].hi[0] - boxes[i].lo[0], boxes[i].hi[1] - boxes[i].lo[1],
                                       boxes[i].hi[2] - boxes[i].lo[2]});
            const double score = double(side) * double(boxes[i].pixels);
            if (score > bestScore) {
                bestScore = score;
                best = i;
            }
        }
        if (best < 0)
            break;
        Box &box = boxes[best];
        int axis = 0;
        for (int c = 1; c < 3; ++c)
            if (box.hi[c] - box.lo[c] > box.hi[axis] - box.lo[axis])
                axis = c;
        std::sort(box.cells.begin(), box.cells.end(),
                  [axis](int a, int b) { return cellChannel(a, axis) < cellChannel(b, axis); });
        qint64 running = 0;
        size_t split = 1;
        for (; split < box.cells.size(); ++split) {
            running += count[box.cells[split - 1]];
            if (running * 2 >= box.pixels)
                break;
        }
        split = std::clamp<size_t>(split, 1, box.cells.size() - 1);
        Box other;
        other.cells.assign(box.cells.begin() + qsizetype(split), box.cells.end());
        box.cells.resize(split);
        box.pixels = 0;
        for (int cell : box.cells)
            box.pixels += count[cell];
        for (int cell : other.cells)
            other.pixels += count[cell];
        shrinkBox(box);
        shrinkBox(other);
        boxes.push_back(std::move(other));
    }
    std::vector<Rgb> palette;
    for (const Box &box : boxes) {
        std::array<qint64, 3> total{0, 0, 0};
        for (int cell : box.cells)
            for (int c = 0; c < 3; ++c)
                total[c] += sum[cell][c];
        const qint64 n = std::max<qint64>(1, box.pixels);
        palette.push_back({int(total[0] / n), int(total[1] / n), int(total[2] / n)});
    }
    return palette;
}

// Nearest palette entry, remembered per 6-bit colour cell: dithered targets take arbitrary
// values, and a brute-force search of 256 entries per pixel would dominate the time.
class NearestColour
{
public:
    explicit NearestColour(const std::vector<Rgb> &palette) : m_palette(palette), m_cache(1 << 18, -1) {}
    int operator()(int r, int g, int b)
    {
        const int key = ((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
        if (m_cache[key] >= 0)
            return m_cache[key];
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < int(m_palette.size()); ++i) {
            const int dr = r - m_palette[i].r, dg = g - m_palette[i].g, db = b - m_palette[i].b;
            const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db; // rough perceptual weights
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        m_cache[key] = int16_t(best);
        return best;
    }

private:
    const std::vector<Rgb> &m_palette;
    std::vector<int16_t> m_cache;
};

int writeToByteArray(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

} // namespace

namespace imagecodecs {

QByteArray encodeGif(const QImage &image, QString *error)
{
    if (image.width() > 65535 || image.height() > 65535) {
        if (error)
            *error = QStringLiteral("GIF pictures are at most 65535 pixels wide and high");
        return QByteArray();
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width(), h = argb.height();

    // Pixels less than half opaque become the transparent entry; the rest keep their colour.
    bool hasTransparent = false;
    QHash<QRgb, int> exact;
    bool fitsExactly = true;
    std::vector<qint64> count(1 << 15, 0);
    std::vector<std::array<qint64, 3>> sum(1 << 15, {0, 0, 0});
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) < 128) {
                hasTransparent = true;
                continue;
            }
            const QRgb rgb = row[x] | 0xFF000000u;
            if (fitsExactly && !exact.contains(rgb)) {
                if (exact.size() < 256)
                    exact.insert(rgb, int(exact.size()));
                else
                    fitsExactly = false;
            }
            const int cell = ((qRed(rgb) >> 3) << 10) | ((qGreen(rgb) >> 3) << 5) | (qBlue(rgb) >> 3);
            ++count[cell];
            sum[cell][0] += qRed(rgb);
            sum[cell][1] += qGreen(rgb);
            sum[cell][2] += qBlue(rgb);
        }
    }
    const int colourLimit = hasTransparent ? 255 : 256;
    fitsExactly = fitsExactly && exact.size() <= colourLimit;

    std::vector<Rgb> palette;
    if (fitsExactly) {
        palette.resize(size_t(exact.size()));
        for (auto it = exact.cbegin(); it != exact.cend(); ++it)
            palette[size_t(it.value())] = {qRed(it.key()), qGreen(it.key()), qBlue(it.key())};
    } else {
        palette = medianCutPalette(count, sum, colourLimit);
    }
    const int transparentIndex = hasTransparent ? int(palette.size()) : -1;
    if (hasTransparent)
        palette.push_back({0, 0, 0});
    if (palette.empty())
        palette.push_back({0, 0, 0});

    // Palette sizes in GIF are powers of two from 2 to 256.
    int bits = 1;
    while ((1 << bits) < int(palette.size()))
        ++bits;
    std::vector<GifColorType> colours(size_t(1) << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
        colours[i] = {GifByteType(palette[i].r), GifByteType(palette[i].g), GifByteType(palette[i].b)};

    // Indices, dithered unless the palette is exact.
    std::vector<GifByteType> indices(size_t(w) * size_t(h));
    if (fitsExactly) {
        for (int y = 0; y < h; ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x)
                indices[size_t(y) * w + x] = GifByteType(
                    qAlpha(row[x]) < 128 ? transparentIndex : exact.value(row[x] | 0xFF000000u));
        }
    } else {
        std::vector<Rgb> opaquePalette(palette.begin(), palette.begin() + (hasTransparent ? transparentIndex : qsizetype(palette.size())));
        NearestColour nearest(opaquePalette);
        // Error rows in 1/16 units, with one spare column on each side.
        std::vector<std::array<int, 3>> current(size_t(w) + 2, {0, 0, 0}), next(size_t(w) + 2, {0, 0, 0});
        for (int y = 0; y < h; ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            std::fill(next.begin(), next.end(), std::array<int, 3>{0, 0, 0});
            // Serpentine order keeps the diffusion from drawing diagonal streaks.
            const bool leftToRight = (y % 2) == 0;
            for (int i = 0; i < w; ++i) {
                const int x = leftToRight ? i : w - 1 - i;
                const int dir = leftToRight ? 1 : -1;
                if (qAlpha(row[x]) < 128) {
                    indices[size_t(y) * w + x] = GifByteType(transparentIndex);
                    continue;
                }
                const int want[3] = {
                    std::clamp(qRed(row[x]) + current[x + 1][0] / 16, 0, 255),
                    std::clamp(qGreen(row[x]) + current[x + 1][1] / 16, 0, 255),
                    std::clamp(qBlue(row[x]) + current[x + 1][2] / 16, 0, 255),
                };
                const int index = nearest(want[0], want[1], want[2]);
                indices[size_t(y) * w + x] = GifByteType(index);
                const int got[3] = {opaquePalette[index].r, opaquePalette[index].g, opaquePalette[index].b};
                for (int c = 0; c < 3; ++c) {
                    const int e = want[c] - got[c];
                    current[x + 1 + dir][c] += e * 7;
                    next[x + 1 - dir][c] += e * 3;
                    next[x + 1][c] += e * 5;
                    next[x + 1 + dir][c] += e * 1;
                }
            }
            std::swap(current, next);
        }
    }

    QByteArray bytes;
    int status = 0;
    GifFileType *gif = EGifOpen(&bytes, writeToByteArray, &status);
    if (!gif) {
        if (error)
            *error = QString::fromLatin1(GifErrorString(status));
        return QByteArray();
    }
    ColorMapObject *map = GifMakeMapObject(1 << bits, colours.data());
    bool ok = map != nullptr;
    if (ok && hasTransparent)
        EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    if (ok && hasTransparent) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparentIndex};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * w, w) == GIF_OK;
    if (!ok)
        status = gif->Error;
    if (map)
        GifFreeMapObject(map);
    int closeStatus = 0;
    if (EGifCloseFile(gif, &closeStatus) != GIF_OK && ok) {
        ok = false;
        status = closeStatus;
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("the GIF encoder failed (%1)").arg(QString::fromLatin1(GifErrorString(status)));
        return QByteArray();
    }
    return bytes;
}

} // namespace imagecodecs
