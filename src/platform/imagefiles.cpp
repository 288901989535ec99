// Reading and writing image files: the format table, the readers and the writers that are not
// GIF or JPEG-2000 (those live in imagefiles_gif.cpp and imagefiles_jpeg2000.cpp).
#include "platform/imagefiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <atomic>

namespace {

struct FormatEntry
{
    const char *name;
    const char *typeIdentifier;
};

const FormatEntry formatTable[ImageFiles::FormatCount] = {
    {"JPEG", "public.jpeg"},
    {"JPEG-2000", "public.jpeg-2000"},
    {"TIFF", "public.tiff"},
    {"GIF", "com.compuserve.gif"},
    {"PNG", "public.png"},
    {"BMP", "com.microsoft.bmp"},
    {"ICNS", "com.apple.icns"},
    {"PDF", ""},
};

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

std::atomic<qint64> pixelLimitInForce{ImageFiles::maxPixels};

bool tooLarge(const QSize &size)
{
    return size.isValid() && qint64(size.width()) * size.height() > ImageFiles::pixelLimit();
}

QImage readWith(QImageReader &reader, QString *error)
{
    reader.setAutoTransform(true); // EXIF (JPEG) and TIFF orientation
    // Enough for the pixel limit at 16 bits per channel; QImageReader's own default (256 MB) would
    // refuse ordinary large photos long before the pixel guard does.
    reader.setAllocationLimit(int(ImageFiles::pixelLimit() * 8 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (tooLarge(size)) {
        setError(error, QStringLiteral("%1 x %2 pixels is more than the %3 megapixels allowed")
                            .arg(size.width()).arg(size.height()).arg(double(ImageFiles::pixelLimit()) / 1e6));
        return QImage();
    }
    QImage image = reader.read();
    if (image.isNull()) {
        setError(error, reader.errorString());
        return QImage();
    }
    if (tooLarge(image.size())) {
        setError(error, QStringLiteral("the decoded picture is larger than allowed"));
        return QImage();
    }
    return image;
}

// libjpeg hands back the decoded part of a truncated file (grey below the cut) with only a
// warning. A JPEG is complete when an end-of-image marker follows the first scan; entropy-coded
// data cannot contain that marker, so finding it there is reliable.
bool jpegIsComplete(const QByteArray &data)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF)
            return true; // not a marker where one belongs: leave the verdict to the decoder
        const uchar marker = d[i + 1];
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xDA)
            return data.indexOf(QByteArray("\xFF\xD9", 2), i) >= 0;
        if (marker == 0xD9)
            return true; // an image without scans: the decoder reports it
        i += 2 + ((qsizetype(d[i + 2]) << 8) | d[i + 3]);
    }
    return false;
}

QImage readFromBytes(const QByteArray &data, const QByteArray &formatHint, QString *error)
{
    if (data.isEmpty()) {
        setError(error, QStringLiteral("no data"));
        return QImage();
    }
    if (ImageFiles::isJpeg2000(data))
        return ImageFiles::readJpeg2000(data, error);
    if (data.startsWith(QByteArray("\xFF\xD8\xFF", 3)) && !jpegIsComplete(data)) {
        setError(error, QStringLiteral("the JPEG data is truncated"));
        return QImage();
    }
    // The content decides first: an ICNS file of this program holds TIFF bytes, and a file's
    // extension may simply be wrong. Formats without a recognisable signature fall back to the hint.
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QString firstError;
    QImage image = readWith(reader, &firstError);
    if (!image.isNull() || formatHint.isEmpty() || reader.error() != QImageReader::UnsupportedFormatError) {
        if (image.isNull())
            setError(error, firstError);
        return image;
    }
    buffer.seek(0);
    QImageReader hinted(&buffer, formatHint);
    return readWith(hinted, error);
}

bool opaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) != 255)
                return false;
    }
    return true;
}

QByteArray encodeWithQt(const QImage &image, const char *format, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "tiff") == 0)
        writer.setCompression(1); // LZW: lossless and much smaller than raw strips
    // JPEG and BMP hold no transparency; writing the premultiplied picture would turn transparent
    // areas black in some readers and keep stray colour in others, so flatten onto white.
    QImage out = image;
    const bool isOpaque = opaque(image);
    if ((qstrcmp(format, "jpeg") == 0 || qstrcmp(format, "bmp") == 0) && !isOpaque) {
        out = QImage(image.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        QPainter painter(&out);
        painter.drawImage(0, 0, image);
    } else if (isOpaque && image.hasAlphaChannel()) {
        out = image.convertToFormat(image.depth() > 32 ? QImage::Format_RGBX64 : QImage::Format_RGB32);
    }
    if (!writer.write(out)) {
        setError(error, writer.errorString());
        return QByteArray();
    }
    return bytes;
}

QByteArray encodePdf(const QImage &image, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        // One page, one point per pixel. ExactMatch keeps QPageSize from snapping a size that is
        // close to a standard paper size onto that paper.
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Lumetta"));
        pdf.setResolution(72);
        const QPageSize size(QSizeF(image.width(), image.height()), QPageSize::Point, QString(),
                             QPageSize::ExactMatch);
        pdf.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&pdf)) {
            setError(error, QStringLiteral("cannot start the PDF page"));
            return QByteArray();
        }
        painter.drawImage(QRectF(0, 0, image.width(), image.height()), image);
        painter.end();
    }
    return bytes;
}

} // namespace

qint64 ImageFiles::pixelLimit()
{
    return pixelLimitInForce.load(std::memory_order_relaxed);
}

void ImageFiles::setPixelLimit(qint64 pixels)
{
    pixelLimitInForce.store(pixels >= 1 && pixels <= maxPixels ? pixels : maxPixels, std::memory_order_relaxed);
}

QStringList ImageFiles::exportFormatNames()
{
    QStringList names;
    for (const FormatEntry &entry : formatTable)
        names << QString::fromLatin1(entry.name);
    return names;
}

QString ImageFiles::exportFormatName(int format)
{
    return format >= 0 && format < FormatCount ? QString::fromLatin1(formatTable[format].name) : QString();
}

QString ImageFiles::typeIdentifier(int format)
{
    return format >= 0 && format < FormatCount ? QString::fromLatin1(formatTable[format].typeIdentifier) : QString();
}

int ImageFiles::formatForExtension(const QString &extension)
{
    for (int i = 0; i < FormatCount; ++i)
        if (extension.compare(QLatin1String(formatTable[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int ImageFiles::formatForFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const int exact = formatForExtension(suffix);
    if (exact >= 0)
        return exact;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpe"))
        return JPEG;
    if (suffix == QLatin1String("jp2") || suffix == QLatin1String("j2k") || suffix == QLatin1String("jpf"))
        return JPEG2000;
    if (suffix == QLatin1String("tif"))
        return TIFF;
    return -1;
}

QString ImageFiles::targetPath(const QString &chosen, int format)
{
    const QString path = chosen.trimmed();
    const QString name = exportFormatName(format).toLower();
    if (path.isEmpty() || name.isEmpty())
        return QString();
    // The extension is what follows the last dot of the file name (not of a folder name).
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash + 1 ? path.left(dot) : path;
    return base + QLatin1Char('.') + name;
}

QByteArray ImageFiles::encodeImage(const QImage &image, int format, QString *error)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        setError(error, QStringLiteral("there is no picture to encode"));
        return QByteArray();
    }
    if (tooLarge(image.size())) {
        setError(error, QStringLiteral("the picture is too large to encode"));
        return QByteArray();
    }
    switch (format) {
    case JPEG: return encodeWithQt(image, "jpeg", error);
    case JPEG2000: return encodeJpeg2000(image, error);
    case TIFF:
    case ICNS: // the icon format is written as TIFF data under the icns extension
        return encodeWithQt(image, "tiff", error);
    case GIF: return encodeGif(image, error);
    case PNG: return encodeWithQt(image, "png", error);
    case BMP: return encodeWithQt(image, "bmp", error);
    case PDF: return encodePdf(image, error);
    default:
        setError(error, QStringLiteral("unknown export format %1").arg(format));
        return QByteArray();
    }
}

bool ImageFiles::writeImageFile(const QImage &image, const QString &path, int format, QString *error)
{
    QString why;
    const QByteArray bytes = encodeImage(image, format, &why);
    if (bytes.isEmpty()) {
        setError(error, QStringLiteral("cannot encode %1 as %2: %3").arg(path, exportFormatName(format), why));
        return false;
    }
    // QSaveFile writes a temporary file in the same folder and renames it over the target on
    // commit; without direct-write fallback a folder we may not create files in fails cleanly.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}

bool ImageFiles::writeImageFile(const QImage &image, const QString &path, QString *error)
{
    const int format = formatForFileName(path);
    if (format < 0) {
        setError(error, QStringLiteral("no export format for the extension of %1").arg(path));
        return false;
    }
    return writeImageFile(image, path, format, error);
}

QImage ImageFiles::readImageFile(const QString &path, QString *error)
{
    // Opening a pipe waits for a writer and a device may never end: only regular files are read.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        setError(error, QStringLiteral("not a regular file"));
        return QImage();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return QImage();
    }
    // The whole file is read: the JPEG-2000 decoder and the content sniffing both need the bytes.
    // Even uncompressed, a picture within the pixel limit needs at most 8 bytes a pixel.
    if (file.size() > pixelLimit() * 8 + (qint64(64) << 20)) {
        setError(error, QStringLiteral("the file is too large for a picture within the size limit"));
        return QImage();
    }
    const QByteArray data = file.readAll();
    const QString suffix = QFileInfo(path).suffix().toLower();
    return readFromBytes(data, suffix.toLatin1(), error);
}

QImage ImageFiles::readImageData(const QByteArray &data, QString *error)
{
    return readFromBytes(data, QByteArray(), error);
}

QStringList ImageFiles::readablePatterns()
{
    QStringList patterns;
    auto add = [&patterns](const QString &suffix) {
        const QString pattern = QStringLiteral("*.") + suffix;
        if (!patterns.contains(pattern))
            patterns << pattern;
    };
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        add(QString::fromLatin1(format).toLower());
    for (const char *suffix : {"jpeg-2000", "jp2", "j2k", "jpf", "icns", "jpg", "jpeg", "tif", "tiff"})
        add(QString::fromLatin1(suffix));
    return patterns;
}
