// Reading: the file guard (regular files only, bounded size), the shared header guards (admit),
// the choice of decoder by signature, and the Qt path for the formats whose structure
// imagefiles_structure.cpp checks.
#include "platform/imagecodecs.h"
#include "platform/imagefiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::atomic<qint64> pixelLimitInForce{ImageFiles::maxPixels};

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

QString amount(qint64 bytes)
{
    if (bytes < 10 * 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 10 * 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(bytes >> 20);
}

QString tooLargeFile(qint64 size)
{
    return QStringLiteral("the file is too large (%1 MB; pictures are read from files of at most %2 MB)")
        .arg(megabytes(size), megabytes(ImageFiles::memoryLimit));
}

bool isResource(const QString &path)
{
    return path.startsWith(QLatin1Char(':')) || path.startsWith(QLatin1String("qrc:"));
}

#ifdef Q_OS_UNIX
QString systemReason(int code)
{
    switch (code) {
    case ENOENT: return QStringLiteral("the file does not exist");
    case EACCES: return QStringLiteral("the file may not be read (permission denied)");
    default: return QString::fromLocal8Bit(std::strerror(code));
    }
}

// Opened without blocking, so that a FIFO without a writer cannot hang the program; the type is
// checked on the open descriptor, so that the file cannot be swapped between check and read.
QByteArray readRegularFile(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        setError(error, systemReason(errno));
        return {};
    }
    struct FdCloser { int fd; ~FdCloser() { ::close(fd); } } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        setError(error, systemReason(errno));
        return {};
    }
    if (S_ISDIR(info.st_mode)) {
        setError(error, QStringLiteral("it is a folder, not a picture file"));
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        setError(error, QStringLiteral("it is not a regular file (a device, pipe or socket cannot be read as a picture)"));
        return {};
    }
    if (info.st_size > ImageFiles::memoryLimit) {
        setError(error, tooLargeFile(info.st_size));
        return {};
    }
    // The file may grow while it is read: at most one byte beyond the limit is read to notice.
    QByteArray data;
    data.resize(qsizetype(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > ImageFiles::memoryLimit) {
                setError(error, tooLargeFile(data.size()));
                return {};
            }
            data.resize(std::min<qsizetype>(data.size() * 2, ImageFiles::memoryLimit + 1));
        }
        const ssize_t got = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            setError(error, systemReason(errno));
            return {};
        }
        if (got == 0)
            break;
        filled += got;
    }
    data.truncate(filled);
    if (data.isEmpty())
        setError(error, QStringLiteral("the file is empty"));
    return data;
}
#endif

// Resources compiled into the program (and files on systems without the call above).
QByteArray readWithQFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        setError(error, QStringLiteral("the file does not exist"));
        return {};
    }
    if (!info.isFile()) {
        setError(error, QStringLiteral("it is not a regular file"));
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return {};
    }
    const QByteArray data = file.read(ImageFiles::memoryLimit + 1);
    if (data.size() > ImageFiles::memoryLimit) {
        setError(error, tooLargeFile(data.size()));
        return {};
    }
    if (data.isEmpty())
        setError(error, QStringLiteral("the file is empty"));
    return data;
}

QByteArray readFileBytes(const QString &path, QString *error)
{
#ifdef Q_OS_UNIX
    if (!isResource(path))
        return readRegularFile(path, error);
#endif
    return readWithQFile(path, error);
}

enum class Kind { Jpeg, Png, Gif, Bmp, Tiff, Jpeg2000, Webp, Other };

Kind kindOf(const QByteArray &data)
{
    if (data.startsWith(QByteArray("\xFF\xD8\xFF", 3)))
        return Kind::Jpeg;
    if (data.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)))
        return Kind::Png;
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return Kind::Gif;
    if (data.startsWith("BM"))
        return Kind::Bmp;
    if (data.startsWith(QByteArray("II*\0", 4)) || data.startsWith(QByteArray("MM\0*", 4))
        || data.startsWith(QByteArray("II+\0", 4)) || data.startsWith(QByteArray("MM\0+", 4)))
        return Kind::Tiff;
    if (ImageFiles::isJpeg2000(data))
        return Kind::Jpeg2000;
    if (data.size() >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return Kind::Webp;
    return Kind::Other;
}

QImage readFromBytes(const QByteArray &data, const QByteArray &hint, imagecodecs::Budget budget, QString *error)
{
    if (data.isEmpty()) {
        setError(error, QStringLiteral("there is no data"));
        return QImage();
    }
    if (data.size() > budget.memory) {
        setError(error, QStringLiteral("the data is too large (%1 MB; at most %2 MB are read)")
                            .arg(megabytes(data.size()), megabytes(budget.memory)));
        return QImage();
    }
    imagecodecs::Declared declared;
    auto checkedWithQt = [&](bool (*inspect)(const QByteArray &, imagecodecs::Declared &, QString *),
                             const char *format) {
        if (!inspect(data, declared, error))
            return QImage();
        return imagecodecs::readWithQt(data, format, declared, budget, error);
    };
    switch (kindOf(data)) {
    case Kind::Jpeg: return imagecodecs::readJpeg(data, budget, error);
    case Kind::Gif: return imagecodecs::readGif(data, budget, error);
    case Kind::Jpeg2000: return imagecodecs::readJpeg2000(data, budget, error);
    case Kind::Png: return checkedWithQt(imagecodecs::inspectPng, "png");
    case Kind::Bmp: return checkedWithQt(imagecodecs::inspectBmp, "bmp");
    case Kind::Tiff: return checkedWithQt(imagecodecs::inspectTiff, "tiff");
    case Kind::Webp: return checkedWithQt(imagecodecs::inspectWebp, "webp");
    case Kind::Other: break;
    }
    return imagecodecs::readOtherWithQt(data, hint, budget, error);
}

// Reads through Qt's reader of a format. `declared` comes from the structure check when there
// was one; otherwise the reader's own header size goes through the guards (without a coverage
// bound, which is not known for those formats). The orientation stored in the file is applied,
// and the turned copy counts against the memory budget.
QImage readWith(QImageReader &reader, qint64 dataBytes, imagecodecs::Declared declared, imagecodecs::Budget budget,
                QString *error)
{
    reader.setAutoTransform(true);
    if (declared.width == 0) {
        const QSize size = reader.size();
        declared.width = size.isValid() ? size.width() : 0;
        declared.height = size.isValid() ? size.height() : 0;
    }
    if (declared.width > 0) {
        if (reader.transformation() != QImageIOHandler::TransformationNone)
            declared.decoderBytes += declared.width * declared.height * declared.bytesPerPixel;
        if (!imagecodecs::admit(declared, dataBytes, budget, error))
            return QImage();
    }
    QImage image = reader.read();
    if (image.isNull()) {
        setError(error, reader.errorString().isEmpty() ? QStringLiteral("the picture cannot be decoded")
                                                       : reader.errorString());
        return QImage();
    }
    const qint64 pixels = qint64(image.width()) * image.height();
    if (pixels > ImageFiles::pixelLimit() || (declared.width > 0 && pixels > declared.width * declared.height)) {
        setError(error, QStringLiteral("the decoded picture is larger than its header says"));
        return QImage();
    }
    return image;
}

} // namespace

namespace imagecodecs {

QString truncated()
{
    return QStringLiteral("the picture data is truncated (the file ends before the picture does)");
}

QString partsMissing(qint64 missing, qint64 total, const char *part, const char *parts)
{
    if (total == 1)
        return QStringLiteral("the picture data is truncated (its only %1 is missing)").arg(QLatin1String(part));
    return QStringLiteral("the picture data is truncated (%1 of the %2 %3 %4 missing)")
        .arg(missing).arg(total).arg(QLatin1String(parts), missing == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

bool admit(const Declared &declared, qint64 dataBytes, Budget budget, QString *error)
{
    const qint64 w = declared.width, h = declared.height;
    if (w <= 0 || h <= 0) {
        setError(error, QStringLiteral("the picture has no pixels (%1 x %2)").arg(w).arg(h));
        return false;
    }
    // Each side is checked before the product, which then cannot overflow.
    const qint64 limit = ImageFiles::pixelLimit();
    if (w > limit || h > limit || w * h > limit) {
        setError(error, QStringLiteral("%1 x %2 pixels is more than the %3 megapixels allowed")
                            .arg(w).arg(h).arg(double(limit) / 1e6));
        return false;
    }
    const qint64 bytes = dataBytes + w * h * declared.bytesPerPixel + declared.decoderBytes;
    if (declared.decoderBytes < 0 || bytes > budget.memory) {
        setError(error, QStringLiteral("reading this %1 x %2 picture would take %3 MB of memory, more than the %4 MB allowed")
                            .arg(w).arg(h).arg(megabytes(bytes), megabytes(budget.memory)));
        return false;
    }
    if (dataBytes < declared.minimumDataBytes) {
        setError(error, QStringLiteral("the picture data is truncated (%1 cannot hold a picture of %2 x %3 pixels)")
                            .arg(amount(dataBytes)).arg(w).arg(h));
        return false;
    }
    return true;
}

QImage readWithQt(const QByteArray &data, const QByteArray &format, const Declared &declared, Budget budget,
                  QString *error)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // The structure check named the format: no other plug-in gets to guess.
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    return readWith(reader, data.size(), declared, budget, error);
}

QImage readOtherWithQt(const QByteArray &data, const QByteArray &hint, Budget budget, QString *error)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QString unknown = QStringLiteral("it is not a picture in a format this program reads");
    // The content decides first: a file's extension may simply be wrong. Formats without a
    // recognisable signature fall back to the extension.
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QString firstError;
    QImage image = readWith(reader, data.size(), Declared(), budget, &firstError);
    if (!image.isNull() || hint.isEmpty() || reader.error() != QImageReader::UnsupportedFormatError) {
        if (image.isNull())
            setError(error, reader.error() == QImageReader::UnsupportedFormatError ? unknown : firstError);
        return image;
    }
    buffer.seek(0);
    QImageReader hinted(&buffer, hint);
    image = readWith(hinted, data.size(), Declared(), budget, error);
    if (image.isNull() && hinted.error() == QImageReader::UnsupportedFormatError)
        setError(error, unknown);
    return image;
}

} // namespace imagecodecs

void ImageFiles::setUpReading()
{
    // Qt refuses images larger than its allocation limit (256 MB by default) in every reader of
    // the process. The program's own guards are stricter per format; this is the backstop for the
    // plug-ins that have none, at the same budget.
    QImageReader::setAllocationLimit(int(memoryLimit >> 20));
}

qint64 ImageFiles::pixelLimit()
{
    return pixelLimitInForce.load(std::memory_order_relaxed);
}

void ImageFiles::setPixelLimit(qint64 pixels)
{
    pixelLimitInForce.store(pixels >= 1 && pixels <= maxPixels ? pixels : maxPixels, std::memory_order_relaxed);
}

QImage ImageFiles::readImageFile(const QString &path, QString *error)
{
    const QByteArray data = readFileBytes(path, error);
    if (data.isEmpty())
        return QImage();
    return readFromBytes(data, QFileInfo(path).suffix().toLower().toLatin1(), {memoryLimit}, error);
}

QImage ImageFiles::readImageData(const QByteArray &data, QString *error, qint64 memory)
{
    return readFromBytes(data, QByteArray(), {std::clamp<qint64>(memory, 0, memoryLimit)}, error);
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
