// Structure checks of the formats Qt decodes. Qt's PNG reader fails cleanly on missing data, but
// its BMP reader hands back a half-blank picture for a file cut in half and its TIFF reader one for
// strips that are not there; and none of them knows that a few bytes cannot cover 15000 x 15000
// pixels until it has allocated and filled them. These checks walk the headers only (chunks,
// strip tables, run-length codes) and never decode pixels.
#include "platform/imagecodecs.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace imagecodecs {

namespace {

constexpr qint64 unbounded = std::numeric_limits<qint64>::max();

// a * b, or `unbounded` when that does not fit (all operands here are non-negative).
qint64 product(qint64 a, qint64 b)
{
    if (a == 0 || b == 0)
        return 0;
    return a > unbounded / b ? unbounded : a * b;
}

qint64 sum(qint64 a, qint64 b)
{
    return a > unbounded - b ? unbounded : a + b;
}

qint64 ceilDiv(qint64 a, qint64 b)
{
    return a / b + (a % b != 0);
}

// Bounds-checked little- or big-endian reads over the file's bytes.
class Bytes
{
public:
    explicit Bytes(const QByteArray &data, bool bigEndian = false)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size()), m_big(bigEndian)
    {
    }
    qint64 size() const { return m_size; }
    bool has(qint64 pos, qint64 length) const { return pos >= 0 && length >= 0 && pos <= m_size && length <= m_size - pos; }
    quint8 u8(qint64 pos) const { return m_data[pos]; }
    quint16 u16(qint64 pos) const { return m_big ? qFromBigEndian<quint16>(m_data + pos) : qFromLittleEndian<quint16>(m_data + pos); }
    quint32 u32(qint64 pos) const { return m_big ? qFromBigEndian<quint32>(m_data + pos) : qFromLittleEndian<quint32>(m_data + pos); }
    quint64 u64(qint64 pos) const { return m_big ? qFromBigEndian<quint64>(m_data + pos) : qFromLittleEndian<quint64>(m_data + pos); }

private:
    const uchar *m_data;
    qint64 m_size;
    bool m_big;
};

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool damaged(QString *error, const char *format)
{
    return fail(error, QStringLiteral("the %1 header is damaged").arg(QLatin1String(format)));
}

// Deflate codes at most 258 repeated bytes in two bits; nothing compresses better than 1032 : 1.
constexpr qint64 deflateRatio = 1032;
// An LZW code of at least 9 bits stands for at most 4096 bytes.
constexpr qint64 lzwRatio = 4096 * 8 / 9;
// PackBits codes a run of at most 128 bytes in two.
constexpr qint64 packBitsRatio = 64;

} // namespace

bool inspectPng(const QByteArray &data, Declared &declared, QString *error)
{
    const Bytes b(data, true);
    qint64 pos = 8;
    qint64 idat = 0;
    int bitDepth = 0, colourType = -1;
    for (bool first = true;; first = false) {
        if (!b.has(pos, 8))
            return fail(error, truncated());
        const qint64 length = b.u32(pos);
        const QByteArray type = data.mid(pos + 4, 4);
        if (length > 0x7FFFFFFF)
            return damaged(error, "PNG");
        if (!b.has(pos + 8, length + 4))
            return fail(error, truncated());
        if (first) {
            if (type != "IHDR" || length != 13)
                return damaged(error, "PNG");
            declared.width = b.u32(pos + 8);
            declared.height = b.u32(pos + 12);
            bitDepth = b.u8(pos + 16);
            colourType = b.u8(pos + 17);
        }
        if (type == "IDAT")
            idat += length;
        pos += 12 + length;
        if (type == "IEND")
            break;
    }
    int channels = 0;
    switch (colourType) {
    case 0: case 3: channels = 1; break;
    case 2: channels = 3; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return damaged(error, "PNG");
    }
    if (bitDepth < 1 || bitDepth > 16)
        return damaged(error, "PNG");
    declared.bytesPerPixel = bitDepth > 8 ? 8 : 4;
    // The filtered rows (one filter byte each) are what the compressed data must produce.
    const qint64 rowBytes = ceilDiv(product(declared.width, qint64(channels) * bitDepth), 8) + 1;
    const qint64 raw = product(rowBytes, declared.height);
    declared.minimumDataBytes = sum(data.size() - idat, ceilDiv(raw, deflateRatio));
    return true;
}

namespace {

// Walks BMP run-length codes (8 or 4 bits a pixel) from `pos` and counts the pixels they code;
// -1 when the data ends before the end-of-bitmap code or the last row. Codes that skip pixels (an
// early end of line or of the bitmap, a move) leave them uncoded: two bytes could otherwise stand
// for a picture of any size.
qint64 runLengthCoded(const Bytes &b, qint64 pos, qint64 width, qint64 height, bool fourBits)
{
    qint64 row = 0, x = 0, coded = 0;
    while (b.has(pos, 2)) {
        const int count = b.u8(pos), code = b.u8(pos + 1);
        pos += 2;
        if (count > 0) { // a run of `count` pixels of one value
            const qint64 inRow = std::min<qint64>(count, std::max<qint64>(0, width - x));
            coded += inRow;
            x += count;
        } else if (code == 0) { // end of line
            x = 0;
            if (++row >= height)
                return coded;
        } else if (code == 1) { // end of bitmap
            return coded;
        } else if (code == 2) { // move right and up
            if (!b.has(pos, 2))
                return -1;
            x += b.u8(pos);
            row += b.u8(pos + 1);
            pos += 2;
            if (row >= height)
                return coded;
        } else { // `code` literal pixels, padded to a whole number of 16-bit words
            const qint64 bytes = fourBits ? (code + 1) / 2 : code;
            if (!b.has(pos, bytes))
                return -1;
            coded += std::min<qint64>(code, std::max<qint64>(0, width - x));
            x += code;
            pos += bytes + (bytes & 1);
        }
    }
    return -1;
}

} // namespace

bool inspectBmp(const QByteArray &data, Declared &declared, QString *error)
{
    const Bytes b(data);
    if (!b.has(0, 26))
        return fail(error, truncated());
    const qint64 offset = b.u32(10);
    const qint64 headerSize = b.u32(14);
    qint64 height = 0;
    int bitsPerPixel = 0;
    quint32 compression = 0;
    if (headerSize == 12) {
        declared.width = b.u16(18);
        height = b.u16(20);
        bitsPerPixel = b.u16(24);
    } else if (headerSize >= 40) {
        if (!b.has(14, 40))
            return fail(error, truncated());
        declared.width = qint32(b.u32(18));
        height = qint32(b.u32(22));
        bitsPerPixel = b.u16(28);
        compression = b.u32(30);
    } else {
        return damaged(error, "BMP");
    }
    // A negative height marks rows stored from the top.
    declared.height = height < 0 ? -height : height;
    if (declared.width <= 0 || declared.height <= 0 || bitsPerPixel < 1 || bitsPerPixel > 64)
        return damaged(error, "BMP");
    switch (compression) {
    case 0: // plain rows, each padded to a multiple of four bytes
    case 3: // bit fields
    case 6: { // bit fields with alpha
        const qint64 stride = ceilDiv(product(declared.width, bitsPerPixel), 32) * 4;
        declared.minimumDataBytes = sum(offset, product(stride, declared.height));
        return true;
    }
    case 1:   // run-length coded, 8 bits a pixel
    case 2: { // run-length coded, 4 bits a pixel
        const qint64 coded = runLengthCoded(b, offset, declared.width, declared.height, compression == 2);
        if (coded < 0)
            return fail(error, truncated());
        if (coded < product(declared.width, declared.height))
            declared.minimumDataBytes = sum(b.size(), 1); // the codes leave part of the picture out
        return true;
    }
    default:
        return fail(error, QStringLiteral("this kind of BMP compression (%1) is not supported").arg(compression));
    }
}

namespace {

// One field of a TIFF directory: where its values are and how they are stored.
struct TiffField
{
    int type = 0;
    qint64 count = 0;
    qint64 pos = -1;
    bool present() const { return pos >= 0; }
};

int tiffTypeSize(int type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1; // bytes, text
    case 3: case 8: return 2;                 // short
    case 4: case 9: case 11: case 13: return 4; // long, float, directory
    case 5: case 10: case 12: case 16: case 17: case 18: return 8; // rational, double, long8
    default: return 0;
    }
}

} // namespace

bool inspectTiff(const QByteArray &data, Declared &declared, QString *error)
{
    const bool bigEndian = data.startsWith("MM");
    const Bytes b(data, bigEndian);
    if (!b.has(0, 16))
        return fail(error, truncated());
    const bool bigTiff = b.u16(2) == 43;
    const int offsetSize = bigTiff ? 8 : 4;
    const qint64 directory = bigTiff ? qint64(std::min<quint64>(b.u64(8), quint64(unbounded))) : qint64(b.u32(4));
    const int countSize = bigTiff ? 8 : 2;
    if (!b.has(directory, countSize))
        return fail(error, truncated());
    const qint64 entries = bigTiff ? qint64(std::min<quint64>(b.u64(directory), quint64(unbounded))) : b.u16(directory);
    const int entrySize = bigTiff ? 20 : 12;
    const qint64 first = directory + countSize;
    if (entries > b.size() / entrySize || !b.has(first, entries * entrySize))
        return fail(error, truncated());

    // The fields the check needs, by tag.
    enum { Width, Length, BitsPerSample, Compression, SamplesPerPixel, RowsPerStrip, StripOffsets,
           StripByteCounts, Planar, TileWidth, TileLength, TileOffsets, TileByteCounts, FieldCount };
    const int tags[FieldCount] = {256, 257, 258, 259, 277, 278, 273, 279, 284, 322, 323, 324, 325};
    TiffField fields[FieldCount];
    for (qint64 e = 0; e < entries; ++e) {
        const qint64 at = first + e * entrySize;
        const int tag = b.u16(at);
        const int index = int(std::find(std::begin(tags), std::end(tags), tag) - std::begin(tags));
        if (index == FieldCount)
            continue;
        TiffField &f = fields[index];
        f.type = b.u16(at + 2);
        f.count = bigTiff ? qint64(std::min<quint64>(b.u64(at + 4), quint64(unbounded))) : qint64(b.u32(at + 4));
        const int size = tiffTypeSize(f.type);
        if (size == 0 || f.count < 1 || f.count > b.size())
            return damaged(error, "TIFF");
        const qint64 valueAt = at + 4 + offsetSize;
        // Values that fit in the entry are stored in it; longer ones elsewhere in the file.
        f.pos = f.count * size <= offsetSize ? valueAt
                                             : (bigTiff ? qint64(std::min<quint64>(b.u64(valueAt), quint64(unbounded)))
                                                        : qint64(b.u32(valueAt)));
        if (!b.has(f.pos, f.count * size))
            return fail(error, truncated());
    }
    auto value = [&](const TiffField &f, qint64 i, qint64 otherwise) -> qint64 {
        if (!f.present() || i >= f.count)
            return otherwise;
        const qint64 at = f.pos + i * tiffTypeSize(f.type);
        switch (f.type) {
        case 1: case 6: case 7: return b.u8(at);
        case 3: case 8: return b.u16(at);
        case 16: case 17: case 18: return qint64(std::min<quint64>(b.u64(at), quint64(unbounded)));
        default: return b.u32(at);
        }
    };

    declared.width = value(fields[Width], 0, 0);
    declared.height = value(fields[Length], 0, 0);
    const qint64 samples = value(fields[SamplesPerPixel], 0, 1);
    const qint64 bits = value(fields[BitsPerSample], 0, 1);
    const qint64 compression = value(fields[Compression], 0, 1);
    const bool planar = value(fields[Planar], 0, 1) == 2;
    if (declared.width <= 0 || declared.height <= 0 || samples < 1 || samples > 16 || bits < 1 || bits > 64)
        return damaged(error, "TIFF");
    declared.bytesPerPixel = bits > 8 ? 8 : 4;

    // The picture is stored in strips of rows or in tiles; every one must be in the file.
    const bool tiled = fields[TileWidth].present();
    qint64 pieces = 0;
    if (tiled) {
        const qint64 tw = value(fields[TileWidth], 0, 0), tl = value(fields[TileLength], 0, 0);
        if (tw <= 0 || tl <= 0)
            return damaged(error, "TIFF");
        pieces = product(ceilDiv(declared.width, tw), ceilDiv(declared.height, tl));
    } else {
        const qint64 rows = std::clamp<qint64>(value(fields[RowsPerStrip], 0, declared.height), 1, declared.height);
        pieces = ceilDiv(declared.height, rows);
    }
    pieces = product(pieces, planar ? samples : 1);
    const TiffField &offsets = fields[tiled ? TileOffsets : StripOffsets];
    const TiffField &counts = fields[tiled ? TileByteCounts : StripByteCounts];
    if (!offsets.present())
        return damaged(error, "TIFF");
    const char *part = tiled ? "tile" : "strip";
    const char *parts = tiled ? "tiles" : "strips";
    if (offsets.count < pieces)
        return fail(error, partsMissing(pieces - offsets.count, pieces, part, parts));
    qint64 stored = 0, absent = 0;
    for (qint64 i = 0; i < pieces; ++i) {
        const qint64 at = value(offsets, i, 0);
        const qint64 length = value(counts, i, counts.present() ? 0 : 1);
        if (length <= 0 || at >= b.size() || length > b.size() - at)
            ++absent;
        else
            stored += length;
    }
    if (absent > 0)
        return fail(error, partsMissing(absent, pieces, part, parts));

    // The fewest bytes the compression could have made of the picture.
    const qint64 raw = ceilDiv(product(product(declared.width, declared.height), samples * bits), 8);
    qint64 needed = 0;
    switch (compression) {
    case 1: needed = raw; break;                                         // none
    case 5: needed = ceilDiv(raw, lzwRatio); break;                      // LZW
    case 8: case 32946: needed = ceilDiv(raw, deflateRatio); break;      // Deflate
    case 32773: needed = ceilDiv(raw, packBitsRatio); break;             // PackBits
    case 7: needed = ceilDiv(product(declared.width, declared.height), 512); break; // JPEG: a bit a block
    default: break; // fax codes and others: no useful bound
    }
    if (counts.present())
        declared.minimumDataBytes = sum(b.size() - stored, needed);
    return true;
}

bool inspectWebp(const QByteArray &data, Declared &declared, QString *error)
{
    const Bytes b(data);
    if (!b.has(0, 30))
        return fail(error, truncated());
    if (qint64(b.u32(4)) + 8 > b.size())
        return fail(error, truncated());
    const QByteArray chunk = data.mid(12, 4);
    if (chunk == "VP8X") { // extended: the canvas size, less one, in 24 bits each
        declared.width = 1 + (b.u32(24) & 0xFFFFFF);
        declared.height = 1 + (b.u32(26) >> 8);
    } else if (chunk == "VP8L") { // lossless: 14 bits each, less one, after a signature byte
        if (b.u8(20) != 0x2F)
            return damaged(error, "WebP");
        const quint32 bits = b.u32(21);
        declared.width = 1 + (bits & 0x3FFF);
        declared.height = 1 + ((bits >> 14) & 0x3FFF);
    } else if (chunk == "VP8 ") { // lossy: a start code, then 14 bits each
        if (b.u8(23) != 0x9D || b.u8(24) != 0x01 || b.u8(25) != 0x2A)
            return damaged(error, "WebP");
        declared.width = b.u16(26) & 0x3FFF;
        declared.height = b.u16(28) & 0x3FFF;
    } else {
        return damaged(error, "WebP");
    }
    return true;
}

} // namespace imagecodecs
