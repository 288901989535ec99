// GIF reading through giflib. The picture is the file's first frame (this program edits still
// pictures); the logical screen around it and later frames are not read. giflib reports a frame
// whose data ends early as an error, where Qt's reader returns the rows it got as a success.
// Before decoding, the frame's compressed data is measured: it must end within the file, and be
// long enough for LZW codes to cover every pixel the frame declares.
#include "platform/imagecodecs.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace imagecodecs {

namespace {

struct Source
{
    const QByteArray *data;
    qint64 pos = 0;
};

int readFromSource(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *s = static_cast<Source *>(gif->UserData);
    const qint64 count = std::clamp<qint64>(s->data->size() - s->pos, 0, length);
    std::memcpy(buffer, s->data->constData() + s->pos, size_t(count));
    s->pos += count;
    return int(count);
}

// The most pixels LZW codes in `bytes` bytes can stand for. Codes start at minCodeSize + 1 bits
// and widen as the table fills, up to 12 bits; each new code stands for at most one pixel more
// than the one before, and a full table (4096 entries) holds nothing longer than 4096 pixels.
qint64 maxLzwPixels(qint64 bytes, int minCodeSize)
{
    qint64 bits = bytes * 8;
    int width = minCodeSize + 1;
    qint64 next = (qint64(1) << minCodeSize) + 2;
    qint64 pixels = 0;
    for (qint64 longest = 1; bits >= width; ++longest) {
        bits -= width;
        pixels += longest;
        if (++next > (qint64(1) << width) && width < 12)
            ++width;
        if (next >= 4096)
            return pixels + bits / 12 * 4096;
    }
    return pixels;
}

// The bytes of the LZW sub-blocks starting at `pos`, or -1 when they run past the end of the data.
qint64 lzwDataBytes(const QByteArray &data, qint64 pos)
{
    qint64 total = 0;
    while (pos < data.size()) {
        const int length = quint8(data[pos]);
        if (length == 0)
            return total;
        total += length;
        pos += 1 + length;
    }
    return -1;
}

QString gifReason(int code)
{
    const char *text = GifErrorString(code);
    return text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(code);
}

} // namespace

QImage readGif(const QByteArray &data, Budget budget, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QImage();
    };
    Source source{&data};
    int status = 0;
    GifFileType *gif = DGifOpen(&source, readFromSource, &status);
    if (!gif)
        return fail(status == D_GIF_ERR_READ_FAILED ? truncated()
                                                    : QStringLiteral("the GIF data cannot be read (%1)").arg(gifReason(status)));
    struct Closer { GifFileType *gif; ~Closer() { DGifCloseFile(gif, nullptr); } } closer{gif};
    auto gifFailure = [&] {
        return fail(gif->Error == D_GIF_ERR_READ_FAILED || gif->Error == D_GIF_ERR_IMAGE_DEFECT
                        ? truncated()
                        : QStringLiteral("the GIF data cannot be decoded (%1)").arg(gifReason(gif->Error)));
    };

    // Up to the first frame: its transparent colour comes from a graphics control block before it.
    int transparent = -1;
    for (bool found = false; !found;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return gifFailure();
        switch (type) {
        case IMAGE_DESC_RECORD_TYPE:
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                return gifFailure();
            found = true;
            break;
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return gifFailure();
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4
                && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return gifFailure();
            break;
        }
        case TERMINATE_RECORD_TYPE:
            return fail(QStringLiteral("the GIF file holds no picture"));
        default:
            return gifFailure();
        }
    }

    const GifImageDesc &frame = gif->Image;
    Declared declared;
    declared.width = frame.Width;
    declared.height = frame.Height;
    declared.decoderBytes = frame.Width; // one row of colour indices
    // giflib has read the frame's header and the first byte of its data, the LZW code size.
    const int minCodeSize = source.pos > 0 ? quint8(data[source.pos - 1]) : 0;
    const qint64 lzw = lzwDataBytes(data, source.pos);
    if (lzw < 0)
        return fail(truncated());
    if (minCodeSize < 2 || minCodeSize > 11)
        return fail(QStringLiteral("the GIF data cannot be decoded (bad code size %1)").arg(minCodeSize));
    if (maxLzwPixels(lzw, minCodeSize) < declared.width * declared.height)
        declared.minimumDataBytes = data.size() + 1; // the codes cannot cover the frame
    if (!admit(declared, data.size(), budget, error))
        return QImage();

    // Colours: the frame's own table, else the screen's, else a grey ramp.
    const ColorMapObject *map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    std::vector<QRgb> colours(256, qRgb(0, 0, 0));
    for (int i = 0; i < 256; ++i) {
        if (map && i < map->ColorCount)
            colours[size_t(i)] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
        else if (!map)
            colours[size_t(i)] = qRgb(i, i, i);
    }
    if (transparent >= 0 && transparent < 256)
        colours[size_t(transparent)] = 0;

    QImage image(frame.Width, frame.Height, transparent >= 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return fail(QStringLiteral("there is not enough memory for the picture"));
    std::vector<GifPixelType> line(size_t(frame.Width));
    // Interlaced frames store every 8th row from 0, every 8th from 4, every 4th from 2, then the
    // odd rows.
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? starts[pass] : 0, step = frame.Interlace ? steps[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
                return gifFailure();
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < frame.Width; ++x)
                row[x] = colours[line[size_t(x)]];
        }
    }
    return image;
}

} // namespace imagecodecs
