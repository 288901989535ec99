// Image files: the export table and target paths, round trips of every format, the GIF palette,
// reading (orientation, depth, JPEG-2000) and hostile input (truncation, bombs, corrupt headers).
#include "platform/imagefiles.h"
#include "imagefixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace imagefixtures;

// The pictures inside a PDF, read the way a PDF reader reads them: each image object's dictionary
// gives its size, colour space, sample depth and stream length; the stream is inflated and its PNG
// row predictors undone. An image's soft mask, when it names one, becomes its alpha. The result
// is RGBA64 (deep) or ARGB32, straight alpha; null when something is missing.
struct PdfObject
{
    QByteArray dictionary, stream;
};

QMap<int, PdfObject> pdfObjects(const QByteArray &pdf)
{
    QMap<int, PdfObject> objects;
    static const QRegularExpression start(QStringLiteral("(\\d+) 0 obj"));
    for (auto it = start.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const auto match = it.next();
        const qsizetype from = match.capturedEnd();
        const qsizetype end = pdf.indexOf("endobj", from);
        const qsizetype streamAt = pdf.indexOf("stream\n", from);
        PdfObject object;
        if (streamAt >= 0 && streamAt < end) {
            object.dictionary = pdf.mid(from, streamAt - from);
            static const QRegularExpression length(QStringLiteral("/Length (\\d+)"));
            const qsizetype n = length.match(QString::fromLatin1(object.dictionary)).captured(1).toLongLong();
            object.stream = pdf.mid(streamAt + 7, n);
        } else {
            object.dictionary = pdf.mid(from, end - from);
        }
        objects.insert(match.captured(1).toInt(), object);
    }
    return objects;
}

qint64 pdfNumber(const QByteArray &dictionary, const char *key)
{
    const QRegularExpression re(QStringLiteral("/%1 (\\d+)").arg(QLatin1String(key)));
    const auto match = re.match(QString::fromLatin1(dictionary));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// The samples of an image object, predictors undone: rows of width x channels samples.
QByteArray pdfSamples(const PdfObject &image, int channels, int &bytesPerSample)
{
    const qint64 w = pdfNumber(image.dictionary, "Width"), h = pdfNumber(image.dictionary, "Height");
    bytesPerSample = int(pdfNumber(image.dictionary, "BitsPerComponent") / 8);
    if (!image.dictionary.contains("/FlateDecode") || w <= 0 || h <= 0 || bytesPerSample < 1)
        return {};
    const qint64 rowBytes = w * channels * bytesPerSample, pixel = channels * bytesPerSample;
    QByteArray prefixed(4, 0);
    qToBigEndian<quint32>(quint32((rowBytes + 1) * h), prefixed.data());
    const QByteArray raw = qUncompress(prefixed + image.stream);
    if (raw.size() != (rowBytes + 1) * h)
        return {};
    QByteArray out(rowBytes * h, 0), previous(rowBytes, 0);
    for (qint64 y = 0; y < h; ++y) {
        const int filter = quint8(raw[y * (rowBytes + 1)]);
        const char *in = raw.constData() + y * (rowBytes + 1) + 1;
        char *row = out.data() + y * rowBytes;
        for (qint64 i = 0; i < rowBytes; ++i) {
            const int a = i >= pixel ? quint8(row[i - pixel]) : 0, b = quint8(previous[i]);
            const int c = i >= pixel ? quint8(previous[i - pixel]) : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int predicted = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                : (pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
            row[i] = char(quint8(in[i]) + predicted);
        }
        previous = out.mid(y * rowBytes, rowBytes);
    }
    return out;
}

QImage pdfPicture(const QByteArray &pdf)
{
    const QMap<int, PdfObject> objects = pdfObjects(pdf);
    for (const PdfObject &object : objects) {
        if (!object.dictionary.contains("/Subtype /Image") || !object.dictionary.contains("/DeviceRGB"))
            continue;
        const int w = int(pdfNumber(object.dictionary, "Width")), h = int(pdfNumber(object.dictionary, "Height"));
        int depth = 0, maskDepth = 0;
        const QByteArray colour = pdfSamples(object, 3, depth);
        const qint64 mask = pdfNumber(object.dictionary, "SMask");
        const QByteArray alpha = mask > 0 ? pdfSamples(objects.value(int(mask)), 1, maskDepth) : QByteArray();
        if (colour.isEmpty() || (mask > 0 && alpha.isEmpty()))
            return QImage();
        QImage image(w, h, QImage::Format_RGBA64);
        auto sample = [](const QByteArray &data, qint64 index, int bytes) {
            return bytes == 2 ? qFromBigEndian<quint16>(data.constData() + 2 * index) : quint16(quint8(data[index]) * 257);
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const qint64 i = qint64(y) * w + x;
                const quint16 a = alpha.isEmpty() ? 65535 : sample(alpha, i, maskDepth);
                reinterpret_cast<QRgba64 *>(image.scanLine(y))[x] =
                    qRgba64(sample(colour, 3 * i, depth), sample(colour, 3 * i + 1, depth), sample(colour, 3 * i + 2, depth), a);
            }
        return depth == 2 ? image : image.convertToFormat(QImage::Format_ARGB32);
    }
    return QImage();
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
    // Every usual extension, in any letter case: the window's re-save and the tool share this.
    const QList<QPair<QString, int>> names = {
        {"jpg", ImageFiles::JPEG}, {"JPEG", ImageFiles::JPEG}, {"Jpe", ImageFiles::JPEG},
        {"jp2", ImageFiles::JPEG2000}, {"J2K", ImageFiles::JPEG2000}, {"jpeg-2000", ImageFiles::JPEG2000},
        {"TIF", ImageFiles::TIFF}, {"tiff", ImageFiles::TIFF}, {"Png", ImageFiles::PNG}, {"GIF", ImageFiles::GIF},
        {"bMp", ImageFiles::BMP}, {"ICNS", ImageFiles::ICNS}, {"Pdf", ImageFiles::PDF}};
    for (const auto &[extension, format] : names)
        EXPECT_EQ(ImageFiles::formatForFileName("/a/Photo." + extension), format) << extension.toStdString();
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
            // One page whose size in points equals the size in pixels, showing the picture unchanged.
            EXPECT_TRUE(bytes.startsWith("%PDF-"));
            const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
            const auto match = box.match(QString::fromLatin1(bytes));
            ASSERT_TRUE(match.hasMatch());
            EXPECT_DOUBLE_EQ(match.captured(1).toDouble(), 67.0);
            EXPECT_DOUBLE_EQ(match.captured(2).toDouble(), 45.0);
            EXPECT_EQ(bytes.count("/Type /Page "), 1);
            // The cross-reference table is where the trailer says, and lists each object where it is.
            const QRegularExpression startxref(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$"));
            const auto at = startxref.match(QString::fromLatin1(bytes));
            ASSERT_TRUE(at.hasMatch());
            const qsizetype table = at.captured(1).toLongLong();
            ASSERT_TRUE(bytes.mid(table, 4) == "xref");
            const QList<QByteArray> entries = bytes.mid(table).split('\n');
            for (int object = 1; object + 2 < entries.size() && entries[object + 2].endsWith(" n "); ++object) {
                const qsizetype offset = entries[object + 2].left(10).toLongLong();
                EXPECT_TRUE(bytes.mid(offset).startsWith(QByteArray::number(object) + " 0 obj")) << object;
            }
            EXPECT_EQ(pdfPicture(bytes).convertToFormat(QImage::Format_RGB32), original) << "the PDF's picture changed";
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
    // A picture whose only translucent pixel is in its first row keeps it too.
    QImage firstRow(8, 6, QImage::Format_ARGB32);
    firstRow.fill(qRgba(10, 20, 30, 255));
    firstRow.setPixel(5, 0, qRgba(200, 100, 50, 128));
    for (int format : {ImageFiles::PNG, ImageFiles::TIFF, ImageFiles::JPEG2000, ImageFiles::PDF}) {
        const QByteArray bytes = ImageFiles::encodeImage(firstRow, format);
        const QImage back = format == ImageFiles::PDF ? pdfPicture(bytes) : ImageFiles::readImageData(bytes);
        EXPECT_EQ(qAlpha(back.convertToFormat(QImage::Format_ARGB32).pixel(5, 0)), 128) << format;
    }
    for (int format : {ImageFiles::PNG, ImageFiles::TIFF, ImageFiles::JPEG2000, ImageFiles::PDF}) {
        SCOPED_TRACE(format);
        const QByteArray bytes = ImageFiles::encodeImage(original, format);
        const QImage back = format == ImageFiles::PDF ? pdfPicture(bytes) : ImageFiles::readImageData(bytes);
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

TEST(ImageFiles, PdfHoldsThePictureWithoutLossAtAnySize)
{
    // Wider than 65500 pixels (where the page was once written with an empty picture).
    QImage wide(70000, 2, QImage::Format_RGB32);
    for (int x = 0; x < wide.width(); ++x)
        for (int y = 0; y < 2; ++y)
            wide.setPixel(x, y, qRgb(x % 251, (x / 251) % 256, y * 200));
    QString error;
    const QByteArray bytes = ImageFiles::encodeImage(wide, ImageFiles::PDF, &error);
    ASSERT_FALSE(bytes.isEmpty()) << error.toStdString();
    EXPECT_EQ(pdfPicture(bytes).convertToFormat(QImage::Format_RGB32), wide);

    // Deep pictures keep their 16 bits, as in PNG.
    QImage deep(9, 4, QImage::Format_RGBA64);
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 4; ++y)
            reinterpret_cast<QRgba64 *>(deep.scanLine(y))[x] = qRgba64(quint16(x * 7001 + 3), quint16(y * 999), 4097, 65535);
    const QImage back = pdfPicture(ImageFiles::encodeImage(deep, ImageFiles::PDF));
    ASSERT_EQ(back.format(), QImage::Format_RGBA64);
    EXPECT_EQ(back, deep);

    // No picture, no file: the failure is reported, not an empty page.
    EXPECT_TRUE(ImageFiles::encodeImage(QImage(), ImageFiles::PDF, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
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
    const qsizetype frame = gifFrameAt(gif);
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
