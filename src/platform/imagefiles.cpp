// The export format table and the writers: Qt's encoders for JPEG, TIFF, PNG and BMP; GIF,
// JPEG-2000 and PDF have files of their own (imagefiles_gif.cpp, imagefiles_jpeg2000.cpp,
// imagefiles_pdf.cpp). Reading is in imagefiles_read.cpp.
#include "platform/imagefiles.h"
#include "platform/imagecodecs.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

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

} // namespace

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
    if (qint64(image.width()) * image.height() > pixelLimit()) {
        setError(error, QStringLiteral("the picture is too large to encode"));
        return QByteArray();
    }
    switch (format) {
    case JPEG: return encodeWithQt(image, "jpeg", error);
    case JPEG2000: return imagecodecs::encodeJpeg2000(image, error);
    case TIFF:
    case ICNS: // the icon format is written as TIFF data under the icns extension
        return encodeWithQt(image, "tiff", error);
    case GIF: return imagecodecs::encodeGif(image, error);
    case PNG: return encodeWithQt(image, "png", error);
    case BMP: return encodeWithQt(image, "bmp", error);
    case PDF: return imagecodecs::encodePdf(image, error);
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
        setError(error, why);
        return false;
    }
    // QSaveFile writes a temporary file in the same folder and renames it over the target on
    // commit; without direct-write fallback a folder we may not create files in fails cleanly.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool ImageFiles::writeImageFile(const QImage &image, const QString &path, QString *error)
{
    const int format = formatForFileName(path);
    if (format < 0) {
        setError(error, QStringLiteral("no export format goes with the extension \"%1\"").arg(QFileInfo(path).suffix()));
        return false;
    }
    return writeImageFile(image, path, format, error);
}

