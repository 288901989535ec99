// Hostile input to the one picture reader: files that are not files, files cut short in every
// format, tiny files that declare huge pictures, memory budgets in bytes, and the colour spaces
// a decoder might silently ignore. Each case goes through ImageFiles::readImageFile, the path
// every picture entering the program takes.
#include "platform/imagefiles.h"
#include "imagefixtures.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <openjpeg.h>

#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>
#include <sys/stat.h>

namespace {

using namespace imagefixtures;

class ImageReading : public ::testing::Test
{
protected:
    // Writes the bytes to a file and reads it back through the program's reader.
    QImage read(const QByteArray &bytes, const char *name = "picture")
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeAll(path, bytes));
        error.clear();
        return ImageFiles::readImageFile(path, &error);
    }
    // The reader refuses the bytes, giving a reason that contains `why`.
    void expectRefused(const QByteArray &bytes, const char *why, const char *name = "picture")
    {
        const QImage image = read(bytes, name);
        EXPECT_TRUE(image.isNull()) << name << " read as " << image.width() << " x " << image.height();
        EXPECT_TRUE(error.contains(QLatin1String(why))) << name << ": " << error.toStdString();
    }

    QTemporaryDir dir;
    QString error;
};

QByteArray le16(int v) { QByteArray b(2, 0); qToLittleEndian<quint16>(quint16(v), b.data()); return b; }
QByteArray le32(qint64 v) { QByteArray b(4, 0); qToLittleEndian<quint32>(quint32(v), b.data()); return b; }
QByteArray be32(qint64 v) { QByteArray b(4, 0); qToBigEndian<quint32>(quint32(v), b.data()); return b; }

QByteArray encoded(const QImage &image, int format)
{
    QString why;
    const QByteArray bytes = ImageFiles::encodeImage(image, format, &why);
    EXPECT_FALSE(bytes.isEmpty()) << why.toStdString();
    return bytes;
}

QByteArray firstHalf(const QByteArray &bytes) { return bytes.left(bytes.size() / 2); }

// A GIF of one frame with its own LZW data (minimum code size 2) and no colour table.
QByteArray gif(int w, int h, const QByteArray &lzw)
{
    QByteArray g = "GIF89a" + le16(w) + le16(h) + QByteArray("\x00\x00\x00", 3);
    g += ',' + le16(0) + le16(0) + le16(w) + le16(h) + QByteArray(1, '\0') + QByteArray(1, '\x02');
    for (qsizetype at = 0; at < lzw.size(); at += 255) {
        const QByteArray block = lzw.mid(at, 255);
        g += char(block.size()) + block;
    }
    return g + QByteArray(1, '\0') + ';';
}

// A PNG header of the given size and depth with a few bytes of (valid) compressed data.
QByteArray png(quint32 w, quint32 h, int bitDepth)
{
    QByteArray ihdr = be32(w) + be32(h);
    ihdr += char(bitDepth);
    ihdr += QByteArray("\x02\x00\x00\x00", 4); // RGB, deflate, no filter method, not interlaced
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr)
           + pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", QByteArray());
}

// A BMP header with the data that follows it.
QByteArray bmp(qint64 w, qint64 h, int bitsPerPixel, int compression, const QByteArray &data)
{
    const int palette = bitsPerPixel <= 8 ? 4 << bitsPerPixel : 0;
    const qint64 offset = 54 + palette;
    QByteArray b = "BM" + le32(offset + data.size()) + le32(0) + le32(offset);
    b += le32(40) + le32(w) + le32(h) + le16(1) + le16(bitsPerPixel) + le32(compression) + le32(data.size());
    b += le32(2835) + le32(2835) + le32(0) + le32(0) + QByteArray(palette, '\x40');
    return b + data;
}

// An 8-bit TIFF (grey, or RGB with three samples) with its directory first and the strips after
// it: `strips` are their bytes, `rowsPerStrip` rows each (every plane's strips in turn when the
// samples are stored in planes), `compression` 1 (none) or 8 (deflate); classic or BigTIFF.
QByteArray tiff(int w, int h, int rowsPerStrip, int compression, const std::vector<QByteArray> &strips,
                int samples = 1, bool planar = false, bool big = false)
{
    struct Field
    {
        int tag, type;
        std::vector<qint64> values;
    };
    std::vector<qint64> sizes;
    for (const QByteArray &strip : strips)
        sizes.push_back(strip.size());
    std::vector<Field> fields = {
        {256, 4, {w}}, {257, 4, {h}}, {258, 3, std::vector<qint64>(size_t(samples), 8)}, {259, 3, {compression}},
        {262, 3, {samples >= 3 ? 2 : 1}}, {273, 4, std::vector<qint64>(strips.size(), 0)}, {277, 3, {samples}},
        {278, 4, {rowsPerStrip}}, {279, 4, sizes}, {284, 3, {planar ? 2 : 1}}};
    const int word = big ? 8 : 4, entrySize = big ? 20 : 12, countSize = big ? 8 : 2, header = big ? 16 : 8;
    const qint64 directoryEnd = header + countSize + qint64(fields.size()) * entrySize + word;
    // Values that do not fit in their entry go to an area after the directory.
    std::vector<qint64> valuesAt(fields.size(), -1);
    qint64 extra = directoryEnd;
    for (size_t f = 0; f < fields.size(); ++f) {
        const qint64 bytes = qint64(fields[f].values.size()) * (fields[f].type == 3 ? 2 : 4);
        if (bytes > word) {
            valuesAt[f] = extra;
            extra += bytes + (bytes & 1);
        }
    }
    qint64 at = extra;
    for (size_t i = 0; i < strips.size(); ++i, at += strips[i - 1].size())
        fields[5].values[i] = at;

    auto le64 = [](qint64 v) { QByteArray b(8, 0); qToLittleEndian<quint64>(quint64(v), b.data()); return b; };
    auto value = [](const Field &f, size_t i) { return f.type == 3 ? le16(int(f.values[i])) : le32(f.values[i]); };
    QByteArray t = big ? QByteArray("II+\0\x08\0\0\0", 8) + le64(header) : QByteArray("II*\0", 4) + le32(header);
    t += big ? le64(qint64(fields.size())) : le16(int(fields.size()));
    for (size_t f = 0; f < fields.size(); ++f) {
        t += le16(fields[f].tag) + le16(fields[f].type);
        t += big ? le64(qint64(fields[f].values.size())) : le32(qint64(fields[f].values.size()));
        QByteArray field;
        if (valuesAt[f] >= 0) {
            field = big ? le64(valuesAt[f]) : le32(valuesAt[f]);
        } else {
            for (size_t i = 0; i < fields[f].values.size(); ++i)
                field += value(fields[f], i);
        }
        t += field + QByteArray(word - field.size(), '\0');
    }
    t += QByteArray(word, '\0'); // no further directory
    for (size_t f = 0; f < fields.size(); ++f)
        if (valuesAt[f] >= 0) {
            for (size_t i = 0; i < fields[f].values.size(); ++i)
                t += value(fields[f], i);
            if (t.size() & 1)
                t += '\0';
        }
    for (const QByteArray &strip : strips)
        t += strip;
    return t;
}

// A JPEG-2000 file made by OpenJPEG from components given as functions of (x, y) on their own
// grid (dx, dy > 1 for subsampled chroma), in tiles of `tile` pixels (0 for one tile).
struct Component
{
    int dx = 1, dy = 1;
    std::function<int(int, int)> value;
};

QByteArray jpeg2000(int w, int h, int tile, OPJ_COLOR_SPACE space, const std::vector<Component> &components,
                    const QString &path)
{
    std::vector<opj_image_cmptparm_t> parms(components.size());
    for (size_t c = 0; c < components.size(); ++c) {
        parms[c] = {};
        parms[c].dx = OPJ_UINT32(components[c].dx);
        parms[c].dy = OPJ_UINT32(components[c].dy);
        parms[c].w = OPJ_UINT32((w + components[c].dx - 1) / components[c].dx);
        parms[c].h = OPJ_UINT32((h + components[c].dy - 1) / components[c].dy);
        parms[c].prec = 8;
    }
    opj_image_t *image = opj_image_create(OPJ_UINT32(parms.size()), parms.data(), space);
    image->x1 = OPJ_UINT32(w);
    image->y1 = OPJ_UINT32(h);
    for (size_t c = 0; c < components.size(); ++c)
        for (OPJ_UINT32 y = 0; y < parms[c].h; ++y)
            for (OPJ_UINT32 x = 0; x < parms[c].w; ++x)
                image->comps[c].data[y * parms[c].w + x] = components[c].value(int(x), int(y));
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0;
    parameters.cp_disto_alloc = 1;
    parameters.numresolution = 3;
    if (tile > 0) {
        parameters.tile_size_on = OPJ_TRUE;
        parameters.cp_tdx = parameters.cp_tdy = tile;
    }
    opj_codec_t *codec = opj_create_compress(OPJ_CODEC_JP2);
    opj_setup_encoder(codec, &parameters, image);
    opj_stream_t *stream = opj_stream_create_default_file_stream(path.toLocal8Bit().constData(), OPJ_FALSE);
    const bool ok = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) && opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    EXPECT_TRUE(ok);
    return readAll(path);
}

// The tile-parts of a codestream, each from its SOT marker to the next.
std::vector<QByteArray> tileParts(const QByteArray &jp2, qsizetype &first)
{
    std::vector<QByteArray> parts;
    first = jp2.indexOf(QByteArray("\xFF\x90", 2));
    for (qsizetype at = first; at >= 0 && at + 10 <= jp2.size() && jp2.mid(at, 2) == QByteArray("\xFF\x90", 2);) {
        const qsizetype length = qFromBigEndian<quint32>(jp2.constData() + at + 6);
        parts.push_back(jp2.mid(at, length));
        at += length;
    }
    return parts;
}

// A CMYK JPEG of one colour: Adobe-style (ink stored inverted, as Photoshop writes it, with the
// Adobe marker that says so) or plain.
QByteArray cmykJpeg(int w, int h, int c, int m, int y, int k, bool adobe = true)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * 4);
    const int flip = adobe ? 255 : 0;
    for (int x = 0; x < w; ++x) {
        row[size_t(4 * x)] = JSAMPLE(std::abs(flip - c));
        row[size_t(4 * x + 1)] = JSAMPLE(std::abs(flip - m));
        row[size_t(4 * x + 2)] = JSAMPLE(std::abs(flip - y));
        row[size_t(4 * x + 3)] = JSAMPLE(std::abs(flip - k));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

void expectColour(const QImage &image, int x, int y, QRgb expected, int tolerance)
{
    ASSERT_FALSE(image.isNull());
    const QRgb p = image.pixel(x, y);
    EXPECT_NEAR(qRed(p), qRed(expected), tolerance) << x << "," << y;
    EXPECT_NEAR(qGreen(p), qGreen(expected), tolerance) << x << "," << y;
    EXPECT_NEAR(qBlue(p), qBlue(expected), tolerance) << x << "," << y;
}

} // namespace

TEST_F(ImageReading, OnlyRegularFilesAreRead)
{
    // A device would be read without end, a FIFO without a writer would block for ever.
    EXPECT_TRUE(ImageFiles::readImageFile(QStringLiteral("/dev/zero"), &error).isNull());
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(ImageFiles::readImageFile(fifo, &error).isNull());
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    // A link to a device is no way round it.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), dir.filePath("zero.png")));
    EXPECT_TRUE(ImageFiles::readImageFile(dir.filePath("zero.png"), &error).isNull());
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();

    EXPECT_TRUE(ImageFiles::readImageFile(dir.path(), &error).isNull());
    EXPECT_TRUE(error.contains("folder")) << error.toStdString();
    EXPECT_TRUE(ImageFiles::readImageFile(dir.filePath("missing.png"), &error).isNull());
    EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
    expectRefused(QByteArray(), "empty");
    // The pictures compiled into the program are read through the same function.
    EXPECT_FALSE(ImageFiles::readImageFile(QStringLiteral(":/images/main_img.jpg")).isNull());
}

TEST_F(ImageReading, FilesCutShortAreRefusedInEveryFormat)
{
    const QImage picture = testPicture(96, 64);
    // The intact files read; cut in half (the end marker of JPEG and PNG put back on), they do not.
    const QByteArray bmpFile = encoded(picture, ImageFiles::BMP);
    ASSERT_FALSE(read(bmpFile).isNull());
    expectRefused(firstHalf(bmpFile), "truncated", "half.bmp");

    const QByteArray gifFile = encoded(picture, ImageFiles::GIF);
    ASSERT_FALSE(read(gifFile).isNull());
    expectRefused(firstHalf(gifFile), "truncated", "half.gif");
    // The compressed data stopped early but closed properly, with the trailer after it.
    const qsizetype frame = gifFrameAt(gifFile);
    ASSERT_GT(frame, 0);
    const qsizetype data = frame + 10 + 1;
    const int firstBlock = quint8(gifFile[data]);
    expectRefused(gifFile.left(data + 1 + firstBlock) + QByteArray(1, '\0') + ';', "truncated", "short.gif");

    const QByteArray jpegFile = encoded(picture, ImageFiles::JPEG);
    ASSERT_FALSE(read(jpegFile).isNull());
    expectRefused(firstHalf(jpegFile) + QByteArray("\xFF\xD9", 2), "truncated", "half.jpg");
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(picture));
    }
    ASSERT_FALSE(read(progressive).isNull());
    expectRefused(firstHalf(progressive) + QByteArray("\xFF\xD9", 2), "truncated", "halfprogressive.jpg");

    const QByteArray pngFile = encoded(picture, ImageFiles::PNG);
    expectRefused(firstHalf(pngFile) + pngChunk("IEND", QByteArray()), "", "half.png");

    // A run-length BMP whose codes stop in the middle.
    QByteArray runs;
    for (int row = 0; row < 40; ++row)
        runs += QByteArray("\x28\x07\x00\x00", 4); // 40 pixels of colour 7, end of line
    runs += QByteArray("\x00\x01", 2);
    ASSERT_FALSE(read(bmp(40, 40, 8, 1, runs)).isNull());
    expectRefused(bmp(40, 40, 8, 1, firstHalf(runs)), "truncated", "halfruns.bmp");

    // TIFF strips that are not in the file: cut off, or pointing past its end.
    std::vector<QByteArray> strips(4, QByteArray(16 * 10, '\x80'));
    const QByteArray tiffFile = tiff(16, 40, 10, 1, strips);
    ASSERT_FALSE(read(tiffFile).isNull()) << error.toStdString();
    expectRefused(tiffFile.left(tiffFile.size() - 2 * 160), "2 of the 4 strips are missing", "cut.tif");
    expectRefused(tiff(16, 40, 40, 1, {QByteArray(640, '\x80')}).left(500), "its only strip is missing", "one.tif");
    // RGB stored in planes: each plane has its strips, and the blue plane's are cut off.
    const std::vector<QByteArray> planes(12, QByteArray(16 * 10, '\x40'));
    const QByteArray planar = tiff(16, 40, 10, 1, planes, 3, true);
    ASSERT_FALSE(read(planar).isNull()) << error.toStdString();
    expectRefused(planar.left(planar.size() - 4 * 160), "4 of the 12 strips are missing", "planar.tif");
    // BigTIFF, with its 64-bit offsets.
    const QByteArray bigTiff = tiff(16, 40, 10, 1, strips, 1, false, true);
    const QImage bigRead = read(bigTiff);
    ASSERT_FALSE(bigRead.isNull()) << error.toStdString();
    EXPECT_EQ(bigRead.size(), QSize(16, 40));
    expectRefused(bigTiff.left(bigTiff.size() - 160), "1 of the 4 strips is missing", "big.tif");

    // WebP, lossy (with and without transparency) and lossless.
    for (int quality : {75, 100}) {
        for (bool alpha : {false, true}) {
            QImage source = picture.convertToFormat(QImage::Format_ARGB32);
            if (alpha)
                source.setPixel(3, 3, qRgba(10, 20, 30, 40));
            QByteArray webp;
            QBuffer buffer(&webp);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "webp");
            writer.setQuality(quality);
            ASSERT_TRUE(writer.write(source));
            EXPECT_EQ(read(webp).size(), picture.size()) << quality << " " << alpha << " " << error.toStdString();
            expectRefused(firstHalf(webp), "truncated", "half.webp");
        }
    }

    // JPEG-2000 with tiles missing, and cut in the middle of a tile.
    const std::vector<Component> rgb = {{1, 1, [](int x, int) { return x % 256; }},
                                        {1, 1, [](int, int y) { return y % 256; }},
                                        {1, 1, [](int x, int y) { return (x * y) % 256; }}};
    const QByteArray tiled = jpeg2000(128, 96, 32, OPJ_CLRSPC_SRGB, rgb, dir.filePath("tiled.jp2"));
    ASSERT_FALSE(read(tiled).isNull()) << error.toStdString();
    qsizetype first = 0;
    const std::vector<QByteArray> parts = tileParts(tiled, first);
    ASSERT_EQ(parts.size(), 12u);
    QByteArray someTiles = tiled.left(first);
    for (size_t i = 0; i < 6; ++i)
        someTiles += parts[i];
    someTiles += QByteArray("\xFF\xD9", 2);
    // The box around the codestream is told its new length, so only the tiles are missing.
    const qsizetype box = someTiles.indexOf("jp2c") - 4;
    qToBigEndian<quint32>(quint32(someTiles.size() - box), someTiles.data() + box);
    expectRefused(someTiles, "6 of the 12 tiles are missing", "sometiles.jp2");
    expectRefused(firstHalf(tiled), "truncated", "half.jp2");
}

TEST_F(ImageReading, TinyFilesDeclaringHugePicturesAreRefusedBeforeDecoding)
{
    // Each declares 15000 x 15000 pixels (within the pixel limit) in a few bytes: no compression
    // can make that little data cover that many pixels.
    expectRefused(png(15000, 15000, 8), "cannot hold a picture of 15000 x 15000", "tiny.png");
    expectRefused(gif(15000, 15000, QByteArray::fromHex("4c01")), "cannot hold a picture of 15000 x 15000", "tiny.gif");
    expectRefused(bmp(15000, 15000, 24, 0, QByteArray()), "cannot hold a picture of 15000 x 15000", "tiny.bmp");
    // Run-length codes that end the bitmap at once code none of its pixels.
    expectRefused(bmp(15000, 15000, 8, 1, QByteArray("\x00\x01", 2)), "cannot hold a picture of 15000 x 15000", "tinyruns.bmp");
    expectRefused(tiff(15000, 15000, 15000, 8, {qCompress(QByteArray(6000, '\0')).mid(4)}),
                  "cannot hold a picture of 15000 x 15000", "tiny.tif");
    QByteArray jpeg = encoded(testPicture(64, 64), ImageFiles::JPEG);
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    qToBigEndian<quint16>(15000, jpeg.data() + frame + 5);
    qToBigEndian<quint16>(15000, jpeg.data() + frame + 7);
    expectRefused(jpeg, "cannot hold a picture of 15000 x 15000", "tiny.jpg");
    // A GIF's compressed data of a few bytes cannot cover even a modest frame.
    expectRefused(gif(2000, 2000, QByteArray::fromHex("4c01")), "cannot hold a picture of 2000 x 2000", "small.gif");
}

TEST_F(ImageReading, MemoryIsBudgetedInBytesNotOnlyInPixels)
{
    // 16000 x 9000 is 144 megapixels, within the pixel limit. At 8 bits a channel the header passes
    // the memory guard (and the data is then found too short); at 16 bits the picture alone would
    // take 1.1 GB, and it is refused for that.
    expectRefused(png(16000, 9000, 8), "cannot hold", "wide8.png");
    expectRefused(png(16000, 9000, 16), "memory", "wide16.png");
    // OpenJPEG keeps 4 bytes a sample besides the picture: 108 megapixels of RGB need 1.7 GB.
    QByteArray jp2 = jpeg2000(16, 16, 0, OPJ_CLRSPC_SRGB,
                              {{1, 1, [](int, int) { return 0; }}, {1, 1, [](int, int) { return 0; }},
                               {1, 1, [](int, int) { return 0; }}},
                              dir.filePath("small.jp2"));
    const qsizetype siz = jp2.indexOf(QByteArray("\xFF\x51", 2));
    ASSERT_GT(siz, 0);
    for (int at : {6, 22}) { // the picture's size and the tile's
        qToBigEndian<quint32>(12000, jp2.data() + siz + at);
        qToBigEndian<quint32>(9000, jp2.data() + siz + at + 4);
    }
    const qsizetype header = jp2.indexOf("ihdr"); // the file's own header box: height, then width
    ASSERT_GT(header, 0);
    qToBigEndian<quint32>(9000, jp2.data() + header + 4);
    qToBigEndian<quint32>(12000, jp2.data() + header + 8);
    expectRefused(jp2, "memory", "big.jp2");
    // Over the pixel limit, whatever the bytes.
    expectRefused(png(20000, 20000, 8), "megapixels", "huge.png");
}

TEST_F(ImageReading, ColourSpacesAreHonoured)
{
    // sYCC with chroma at half resolution: (124, 86, 182) is the colour (200, 100, 50).
    const QImage ycc = read(jpeg2000(40, 30, 0, OPJ_CLRSPC_SYCC,
                                     {{1, 1, [](int, int) { return 124; }},
                                      {2, 2, [](int, int) { return 86; }},
                                      {2, 2, [](int, int) { return 182; }}},
                                     dir.filePath("ycc.jp2")));
    expectColour(ycc, 5, 5, qRgb(200, 100, 50), 2);
    expectColour(ycc, 39, 29, qRgb(200, 100, 50), 2);
    // CMYK inks: magenta and yellow make red; half black halves it. OpenJPEG writes no colour
    // space for CMYK, so the file's colour box is set to it (enumerated space 12).
    QByteArray inks = jpeg2000(8, 8, 0, OPJ_CLRSPC_CMYK,
                               {{1, 1, [](int, int) { return 0; }}, {1, 1, [](int, int) { return 255; }},
                                {1, 1, [](int, int) { return 255; }}, {1, 1, [](int x, int) { return x < 4 ? 0 : 128; }}},
                               dir.filePath("cmyk.jp2"));
    const qsizetype colr = inks.indexOf("colr");
    ASSERT_GT(colr, 0);
    inks[colr + 4] = 1; // an enumerated colour space
    qToBigEndian<quint32>(12, inks.data() + colr + 7);
    const QImage cmyk = read(inks);
    expectColour(cmyk, 1, 1, qRgb(255, 0, 0), 1);
    expectColour(cmyk, 6, 1, qRgb(127, 0, 0), 1);
    // The same inks in an Adobe CMYK JPEG.
    expectColour(read(cmykJpeg(16, 16, 0, 255, 255, 0)), 8, 8, qRgb(255, 0, 0), 4);
    expectColour(read(cmykJpeg(16, 16, 255, 0, 0, 0)), 8, 8, qRgb(0, 255, 255), 4);
    // Without the Adobe marker the inks are stored as they are.
    expectColour(read(cmykJpeg(16, 16, 0, 255, 255, 0, false)), 8, 8, qRgb(255, 0, 0), 4);
    expectColour(read(cmykJpeg(16, 16, 0, 0, 255, 128, false)), 8, 8, qRgb(127, 127, 0), 4);
}

// A JPEG with an Exif block holding the orientation (1 to 8) after `before` other entries, in
// either byte order, its directory at `directory` (8 when it follows the block's header).
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation, bool bigEndian, int before = 0,
                               quint32 directory = 8)
{
    auto u16 = [bigEndian](int v) {
        QByteArray b(2, 0);
        bigEndian ? qToBigEndian<quint16>(quint16(v), b.data()) : qToLittleEndian<quint16>(quint16(v), b.data());
        return b;
    };
    auto u32 = [bigEndian](quint32 v) {
        QByteArray b(4, 0);
        bigEndian ? qToBigEndian<quint32>(v, b.data()) : qToLittleEndian<quint32>(v, b.data());
        return b;
    };
    QByteArray tiff = QByteArray(bigEndian ? "MM\0*" : "II*\0", 4) + u32(directory) + u16(before + 1);
    for (int i = 0; i < before; ++i) // image description pointers and the like: other tags, type LONG
        tiff += u16(0x0100 + i) + u16(4) + u32(1) + u32(7);
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0) + u32(0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

// Every Exif orientation is applied as Qt's own reader applies it (the reference), whatever the
// byte order and wherever the entry is in its directory; a damaged block leaves the picture as
// stored.
TEST_F(ImageReading, EveryExifOrientationIsApplied)
{
    QImage picture(6, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            picture.setPixel(x, y, qRgb(x * 50, y * 80, 0)); // every block different: any turn shows
    picture = picture.scaled(60, 40); // blocks of 10 x 10 survive JPEG
    const QByteArray plain = encoded(picture, ImageFiles::JPEG);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool bigEndian : {false, true}) {
            SCOPED_TRACE(orientation);
            const QByteArray bytes = withExifOrientation(plain, orientation, bigEndian, orientation % 3);
            QByteArray copy = bytes;
            QBuffer buffer(&copy);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reference(&buffer, "jpeg");
            reference.setAutoTransform(true);
            const QImage expected = reference.read();
            const QImage got = read(bytes, "oriented.jpg");
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_EQ(got.size(), orientation >= 5 ? QSize(40, 60) : QSize(60, 40));
            for (int y = 5; y < got.height(); y += 10)
                for (int x = 5; x < got.width(); x += 10)
                    expectColour(got, x, y, expected.pixel(x, y), 6);
        }
    }
    // The directory pointing outside the block, or an orientation out of range: as stored.
    EXPECT_EQ(read(withExifOrientation(plain, 6, false, 0, 0x7FFFFFF0u), "damaged.jpg").size(), QSize(60, 40));
    EXPECT_EQ(read(withExifOrientation(plain, 9, true), "nine.jpg").size(), QSize(60, 40));
}

TEST_F(ImageReading, PicturesOnePixelHighOrWideAreRead)
{
    for (const QSize size : {QSize(1, 1), QSize(3000, 1), QSize(1, 3000)}) {
        for (int format : {ImageFiles::PNG, ImageFiles::JPEG, ImageFiles::GIF, ImageFiles::BMP, ImageFiles::TIFF,
                           ImageFiles::JPEG2000}) {
            SCOPED_TRACE(ImageFiles::exportFormatName(format).toStdString());
            EXPECT_EQ(read(encoded(testPicture(size.width(), size.height()), format)).size(), size)
                << size.width() << " x " << size.height() << ": " << error.toStdString();
        }
    }
}
