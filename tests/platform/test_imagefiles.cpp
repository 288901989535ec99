// Image files: the export table and target paths, round trips of every format, the GIF palette,
// reading (orientation, depth, JPEG-2000) and hostile input (truncation, bombs, corrupt headers).
#include "platform/imagefiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Opaque, with smooth gradients and sharp detail, so that encoders have something to get wrong.
QImage testPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1),
                                      ((x / 3 + y / 5) % 2) ? 200 : (x * y) % 256));
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double meanAbsoluteDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * x.width() * x.height());
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG chunk with its CRC, for hand-made headers.
QByteArray pngChunk(const char *type, const QByteArray &payload)
{
    QByteArray chunk;
    chunk.append(char(payload.size() >> 24)).append(char(payload.size() >> 16)).append(char(payload.size() >> 8)).append(char(payload.size()));
    QByteArray body = QByteArray(type, 4) + payload;
    chunk += body;
    const quint32 crc = crc32(body);
    chunk.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    return chunk;
}

TEST(ImageFiles, ExportTableNamesAndExtensions)
{
    EXPECT_EQ(ImageFiles::exportFormatNames(),
              (QStringList{"JPEG", "JPEG-2000", "TIFF", "GIF", "PNG", "BMP", "ICNS", "PDF"}));
    EXPECT_EQ(ImageFiles::typeIdentifier(ImageFiles::PDF), QString());
    EXPECT_FALSE(ImageFiles::typeIdentifier(ImageFiles::ICNS).isEmpty());

    // Re-saving compares the extension with the table names only, ignoring case.
    EXPECT_EQ(ImageFiles::formatForExtension("JPEG"), ImageFiles::JPEG);
    EXPECT_EQ(ImageFiles::formatForExtension("jpeg-2000"), ImageFiles::JPEG2000);
    EXPECT_EQ(ImageFiles::formatForExtension("Icns"), ImageFiles::ICNS);
    EXPECT_EQ(ImageFiles::formatForExtension("jpg"), -1);
    EXPECT_EQ(ImageFiles::formatForExtension(""), -1);
    // Free-form names (the command line) also know the short extensions.
    EXPECT_EQ(ImageFiles::formatForFileName("/a/b.JPG"), ImageFiles::JPEG);
    EXPECT_EQ(ImageFiles::formatForFileName("/a/b.jp2"), ImageFiles::JPEG2000);
    EXPECT_EQ(ImageFiles::formatForFileName("/a/b.tif"), ImageFiles::TIFF);
    EXPECT_EQ(ImageFiles::formatForFileName("/a/b.pdf"), ImageFiles::PDF);
    EXPECT_EQ(ImageFiles::formatForFileName("/a/b.xyz"), -1);
    EXPECT_EQ(ImageFiles::formatForFileName("/a.png/b"), -1);
}

TEST(ImageFiles, TargetPathSetsOnlyTheExtension)
{
    // Folders and the file name keep their case; only the extension comes from the table.
    EXPECT_EQ(ImageFiles::targetPath("/Users/Me/Pictures/Sky", ImageFiles::PNG), "/Users/Me/Pictures/Sky.png");
    EXPECT_EQ(ImageFiles::targetPath("/Users/Me/Pictures/Sky.JPG", ImageFiles::JPEG), "/Users/Me/Pictures/Sky.jpeg");
    EXPECT_EQ(ImageFiles::targetPath("/tmp/My.Folder/photo", ImageFiles::JPEG2000), "/tmp/My.Folder/photo.jpeg-2000");
    EXPECT_EQ(ImageFiles::targetPath("/tmp/a/photo.tar.gz", ImageFiles::PDF), "/tmp/a/photo.tar.pdf");
    EXPECT_EQ(ImageFiles::targetPath("  /tmp/a/Name.png \n", ImageFiles::ICNS), "/tmp/a/Name.icns");
    // A leading dot starts a hidden name, not an extension.
    EXPECT_EQ(ImageFiles::targetPath("/tmp/.hidden", ImageFiles::GIF), "/tmp/.hidden.gif");
    EXPECT_EQ(ImageFiles::targetPath("", ImageFiles::PNG), QString());
    EXPECT_EQ(ImageFiles::targetPath("/tmp/x", 42), QString());
}

TEST(ImageFiles, EveryFormatRoundTripsThroughAFile)
{
    QTemporaryDir dir;
    const QImage original = testPicture(67, 45); // odd sizes catch row padding and stride faults
    for (int format = 0; format < ImageFiles::FormatCount; ++format) {
        SCOPED_TRACE(ImageFiles::exportFormatName(format).toStdString());
        const QString path = dir.filePath("out." + ImageFiles::exportFormatName(format).toLower());
        QString error;
        ASSERT_TRUE(ImageFiles::writeImageFile(original, path, format, &error)) << error.toStdString();
        const QByteArray bytes = readAll(path);
        ASSERT_FALSE(bytes.isEmpty());
        if (format == ImageFiles::PDF) {
            // One page whose size in points equals the size in pixels.
            EXPECT_TRUE(bytes.startsWith("%PDF-"));
            const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
            const auto match = box.match(QString::fromLatin1(bytes));
            ASSERT_TRUE(match.hasMatch());
            EXPECT_DOUBLE_EQ(match.captured(1).toDouble(), 67.0);
            EXPECT_DOUBLE_EQ(match.captured(2).toDouble(), 45.0);
            EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type/Page\n")
                          + bytes.count("/Type /Page "), 1);
            continue;
        }
        if (format == ImageFiles::ICNS) {
            EXPECT_TRUE(bytes.startsWith("II*") || bytes.startsWith("MM")) << "ICNS holds TIFF bytes";
        }
        const QImage back = ImageFiles::readImageFile(path, &error);
        ASSERT_FALSE(back.isNull()) << error.toStdString();
        EXPECT_EQ(back.size(), original.size());
        if (format == ImageFiles::JPEG)
            EXPECT_LT(meanAbsoluteDifference(back, original), 25.0); // the busy pattern is hard on JPEG
        else if (format == ImageFiles::GIF)
            EXPECT_LT(meanAbsoluteDifference(back, original), 12.0); // reduced to 256 colours
        else
            EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), original) << "lossless format changed pixels";
    }
}

TEST(ImageFiles, LosslessFormatsKeepTransparency)
{
    QImage original(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            original.setPixel(x, y, qRgba(x * 6, y * 8, 90, x < 10 ? 0 : 55 + x * 5));
    for (int format : {ImageFiles::PNG, ImageFiles::TIFF, ImageFiles::JPEG2000}) {
        SCOPED_TRACE(format);
        const QImage back = ImageFiles::readImageData(ImageFiles::encodeImage(original, format));
        ASSERT_FALSE(back.isNull());
        // TIFF stores associated (premultiplied) alpha, so compare premultiplied.
        EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  original.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    // GIF keeps only on/off transparency: the clear pixels stay clear and the rest opaque.
    const QImage gif = ImageFiles::readImageData(ImageFiles::encodeImage(original, ImageFiles::GIF))
                           .convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(gif.isNull());
    EXPECT_EQ(qAlpha(gif.pixel(3, 3)), 0);
    EXPECT_EQ(qAlpha(gif.pixel(35, 3)), 255);
    // JPEG has no transparency: clear areas become white rather than black.
    const QImage jpeg = ImageFiles::readImageData(ImageFiles::encodeImage(original, ImageFiles::JPEG));
    EXPECT_GT(qGray(jpeg.pixel(3, 15)), 230);
}

TEST(ImageFiles, GifUsesAnAdaptivePaletteAndDithers)
{
    // A photograph: thousands of colours reduced to 256 must stay close, and smooth areas must be
    // dithered rather than banded, so the local average survives.
    const QImage photo = QImage(QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(photo.isNull());
    const QImage gif = ImageFiles::readImageData(ImageFiles::encodeImage(photo, ImageFiles::GIF));
    ASSERT_EQ(gif.size(), photo.size());
    EXPECT_LT(meanAbsoluteDifference(gif, photo), 6.0);
    const QSize blocks(photo.width() / 8, photo.height() / 8);
    EXPECT_LT(meanAbsoluteDifference(gif.scaled(blocks, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                     photo.scaled(blocks, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
              2.5);

    // A narrow range of colours gets a palette spent on that range: a fixed palette would leave
    // a dark-red ramp with a handful of levels.
    QImage ramp(256, 16, QImage::Format_RGB32);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 16; ++y)
            ramp.setPixel(x, y, qRgb(x / 2, (x / 8 + y) % 7, 0));
    const QImage rampGif = ImageFiles::readImageData(ImageFiles::encodeImage(ramp, ImageFiles::GIF));
    EXPECT_LT(meanAbsoluteDifference(rampGif, ramp), 2.5);
}

TEST(ImageFiles, ReadingAppliesTheStoredOrientation)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90); // stored as EXIF orientation 6
    QImage upright(60, 20, QImage::Format_RGB32);
    upright.fill(Qt::white);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x)
            upright.setPixel(x, y, qRgb(0, 0, 0)); // a black band at the left
    ASSERT_TRUE(writer.write(upright));
    const QImage read = ImageFiles::readImageData(bytes);
    ASSERT_EQ(read.size(), QSize(20, 60));
    // Turned a quarter clockwise: the left band is now at the top.
    EXPECT_LT(qGray(read.pixel(10, 2)), 60);
    EXPECT_GT(qGray(read.pixel(10, 57)), 200);
}

TEST(ImageFiles, DeepPicturesKeepTheirPrecision)
{
    QImage deep(32, 8, QImage::Format_RGBA64);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 8; ++y)
            reinterpret_cast<QRgba64 *>(deep.scanLine(y))[x] = qRgba64(quint16(x * 2047 + 3), 1001, 65535 - x, 65535);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(deep));
    const QImage read = ImageFiles::readImageData(png);
    ASSERT_FALSE(read.isNull());
    EXPECT_GT(read.depth(), 32) << "16-bit file read as 8-bit";
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGBA64).pixelColor(5, 2).rgba64().red(), 5 * 2047 + 3);
}

TEST(ImageFiles, Jpeg2000ReadsGreyAndDeepCodestreams)
{
    // Our own writer makes RGB; check the other layouts the reader claims through ImageMagick's
    // OpenJPEG-made files when the tool is there.
    QTemporaryDir dir;
    const QString png = dir.filePath("grey.png");
    QImage grey(24, 12, QImage::Format_Grayscale8);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 24; ++x)
            grey.setPixel(x, y, qRgb(x * 10, x * 10, x * 10));
    ASSERT_TRUE(grey.save(png));
    const QString jp2 = dir.filePath("grey.jp2");
    if (QProcess::execute(QStringLiteral("convert"), {png, QStringLiteral("-quality"), QStringLiteral("0"), jp2}) != 0
        || !QFile::exists(jp2))
        GTEST_SKIP() << "ImageMagick is not available";
    const QImage read = ImageFiles::readImageFile(jp2);
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.size(), QSize(24, 12));
    EXPECT_EQ(qGray(read.pixel(7, 5)), 70);
}

TEST(ImageFiles, FailedWritesLeaveTheOldFileIntact)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.gif");
    ASSERT_TRUE(writeAll(path, "old contents"));
    // GIF cannot hold a picture 65536 pixels wide: encoding fails, nothing is replaced.
    QString error;
    EXPECT_FALSE(ImageFiles::writeImageFile(QImage(65536, 1, QImage::Format_RGB32), path, ImageFiles::GIF, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ImageFiles::writeImageFile(QImage(), path, ImageFiles::GIF));
    EXPECT_EQ(readAll(path), QByteArray("old contents"));
    // A folder that is really a file.
    EXPECT_FALSE(ImageFiles::writeImageFile(testPicture(4, 4), path + "/inside.png", ImageFiles::PNG));
    EXPECT_EQ(readAll(path), QByteArray("old contents"));
    // No temporary files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.gif"});
    // Unknown extension for name-chosen formats.
    EXPECT_FALSE(ImageFiles::writeImageFile(testPicture(4, 4), dir.filePath("x.xyz"), &error));
}

TEST(ImageFiles, TruncatedAndCorruptFilesGiveNoPicture)
{
    EXPECT_TRUE(ImageFiles::readImageFile(QStringLiteral(LUMETTA_TEST_DATA "/truncated.jpg")).isNull());
    EXPECT_TRUE(ImageFiles::readImageFile(QStringLiteral("/nonexistent/file.png")).isNull());
    EXPECT_TRUE(ImageFiles::readImageData(QByteArray()).isNull());
    EXPECT_TRUE(ImageFiles::readImageData(QByteArray("not an image at all")).isNull());

    // Cut in the middle of the picture data: a half-grey picture is not a picture.
    const QByteArray jpeg = readAll(QStringLiteral(LUMETTA_TEST_DATA "/rocket.jpg"));
    ASSERT_FALSE(ImageFiles::readImageData(jpeg).isNull());
    EXPECT_TRUE(ImageFiles::readImageData(jpeg.left(jpeg.size() / 2)).isNull());
    const QImage picture = testPicture(64, 64);
    for (int format : {ImageFiles::PNG, ImageFiles::JPEG2000, ImageFiles::TIFF}) {
        SCOPED_TRACE(format);
        const QByteArray bytes = ImageFiles::encodeImage(picture, format);
        EXPECT_TRUE(ImageFiles::readImageData(bytes.left(bytes.size() / 2)).isNull());
    }

    // Random damage to the first bytes (where the headers are) of every format: any outcome but a
    // crash or a hang is acceptable; the result, if any, stays within the size guard.
    QRandomGenerator random(1234);
    for (int format = 0; format < ImageFiles::PDF; ++format) {
        const QByteArray good = ImageFiles::encodeImage(testPicture(40, 30), format);
        for (int round = 0; round < 60; ++round) {
            QByteArray bad = good;
            const int flips = 1 + int(random.bounded(4));
            for (int f = 0; f < flips; ++f)
                bad[int(random.bounded(std::min<qsizetype>(bad.size(), 160)))] = char(random.bounded(256));
            const QImage result = ImageFiles::readImageData(bad);
            if (!result.isNull()) {
                EXPECT_LE(qint64(result.width()) * result.height(), ImageFiles::maxPixels);
            }
        }
    }
}

TEST(ImageFiles, DecompressionBombsAreRefused)
{
    // A PNG header claiming 30000 x 30000 pixels (900 megapixels) with a few bytes of data.
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(30000, ihdr.data());
    qToBigEndian<quint32>(30000, ihdr.data() + 4);
    ihdr[8] = 8;  // bit depth
    ihdr[9] = 2;  // RGB
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr)
                           + pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", QByteArray());
    QString error;
    EXPECT_TRUE(ImageFiles::readImageData(png, &error).isNull());
    EXPECT_TRUE(error.contains("megapixels")) << error.toStdString();

    // A GIF frame of 65535 x 65535.
    QByteArray gif = ImageFiles::encodeImage(testPicture(2, 2), ImageFiles::GIF);
    const qsizetype frame = gif.indexOf(',');
    ASSERT_GT(frame, 0);
    gif[frame + 5] = gif[frame + 6] = gif[frame + 7] = gif[frame + 8] = char(0xFF);
    EXPECT_TRUE(ImageFiles::readImageData(gif).isNull());

    // A JPEG-2000 codestream whose SIZ marker claims 40000 x 40000.
    QByteArray jp2 = ImageFiles::encodeImage(testPicture(8, 8), ImageFiles::JPEG2000);
    const qsizetype siz = jp2.indexOf(QByteArray("\xFF\x51", 2));
    ASSERT_GT(siz, 0);
    qToBigEndian<quint32>(40000, jp2.data() + siz + 6);
    qToBigEndian<quint32>(40000, jp2.data() + siz + 10);
    EXPECT_TRUE(ImageFiles::readImageData(jp2).isNull());

    // Encoding refuses absurd pictures too (without trying to allocate them).
    EXPECT_TRUE(ImageFiles::encodeImage(QImage(), ImageFiles::PNG).isEmpty());
}

} // namespace
