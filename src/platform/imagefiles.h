#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// Image files: reading any picture the program understands (with the orientation stored in the
// file applied and a guard against decompression bombs) and writing the eight export formats.
// The save dialog, re-saving and lumetta-cli all write through writeImageFile, so every format
// behaves the same everywhere. Nothing here needs widgets or the engine: pictures are QImages.
class ImageFiles
{
public:
    // Export formats, in the order the save dialog lists them; the index is the format number
    // the controller remembers between saves.
    enum Format { JPEG = 0, JPEG2000, TIFF, GIF, PNG, BMP, ICNS, PDF, FormatCount };

    // Pictures with more pixels than this are refused when read, written or resized: decoding
    // them would take gigabytes, and a hostile file can claim any size in a few bytes.
    static constexpr qint64 maxPixels = 250'000'000;
    // The limit in force (maxPixels unless lowered, e.g. by the fuzzer, which must not spend its
    // time decoding legitimately huge pictures). Values outside 1..maxPixels restore maxPixels.
    static qint64 pixelLimit();
    static void setPixelLimit(qint64 pixels);

    // "JPEG", "JPEG-2000", "TIFF", "GIF", "PNG", "BMP", "ICNS", "PDF" (also the upper-case form of
    // the file extension each format gets).
    static QStringList exportFormatNames();
    static QString exportFormatName(int format);
    // Uniform type identifier of formats 0 to 6; empty for PDF, which is no bitmap encoding.
    static QString typeIdentifier(int format);
    // The format whose name equals the extension, ignoring case; -1 when none does (so "jpg" is
    // not a format name, while "JPEG" and "jpeg" are).
    static int formatForExtension(const QString &extension);
    // Like formatForExtension, but also accepting the usual short extensions (jpg, jp2, j2k, tif),
    // for callers that name files freely such as the command line.
    static int formatForFileName(const QString &path);
    // The path the save dialog writes to: `chosen` with its extension replaced by the format's
    // name in lower case. Folders and the file name keep their case: file systems here are
    // case-sensitive, and lower-casing a folder could point at another folder or none at all.
    static QString targetPath(const QString &chosen, int format);

    // The encoded bytes of the picture in the format; empty (with *error set) when it cannot be
    // encoded. ICNS gives TIFF bytes; PDF one page whose size in points is the size in pixels.
    static QByteArray encodeImage(const QImage &image, int format, QString *error = nullptr);
    // Encodes and writes to a temporary file beside `path`, renamed over it only when complete,
    // so that a failed or interrupted save never destroys an existing file. False on any failure.
    static bool writeImageFile(const QImage &image, const QString &path, int format, QString *error = nullptr);
    // The same with the format taken from the file name (formatForFileName).
    static bool writeImageFile(const QImage &image, const QString &path, QString *error = nullptr);

    // Reads the picture of a file or of encoded bytes: the format is found from the content (then
    // from the file name), the orientation recorded in the file is applied, and pictures deeper
    // than 8 bits per channel stay deep (RGBA64). A null QImage (and *error) for anything
    // unreadable, truncated beyond use, or larger than maxPixels.
    static QImage readImageFile(const QString &path, QString *error = nullptr);
    static QImage readImageData(const QByteArray &data, QString *error = nullptr);
    // File-name patterns of every readable format, for the open dialog ("*.png", "*.jpeg-2000", ...).
    static QStringList readablePatterns();

    // JPEG-2000 alone, through OpenJPEG (Qt has no codec for it).
    static bool isJpeg2000(const QByteArray &head);
    static QImage readJpeg2000(const QByteArray &data, QString *error = nullptr);
    static QByteArray encodeJpeg2000(const QImage &image, QString *error = nullptr);
    // GIF through giflib: an adaptive palette (median cut, exact when the picture has 256 colours
    // or fewer) and Floyd-Steinberg dithering; pixels less than half opaque become transparent.
    static QByteArray encodeGif(const QImage &image, QString *error = nullptr);
};
