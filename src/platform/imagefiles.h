#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// Image files: the one reader of every picture that enters the program (open, drop, paste, image
// wells, default filter images, the command-line tool) and the one writer of the eight export
// formats (the save dialog, re-saving and lumetta-cli). Nothing here needs widgets or the engine:
// pictures are QImages.
//
// Reading treats every file as hostile. One set of guards applies to every format:
// - only regular files are read (no devices, pipes or sockets), and at most memoryLimit bytes;
// - a picture's declared size is checked before anything is decoded: at most maxPixels pixels,
//   and the file, the decoder's buffers and the decoded picture together within memoryLimit;
// - data that cannot cover the declared picture (a tiny file claiming 15000 x 15000 pixels, a
//   file cut short, strips or tiles that are missing) is refused as truncated, and a decoder that
//   runs out of data part way is stopped there rather than padding the picture with grey.
// The reason for a refusal is a short plain-words text without a prefix ("the picture data is
// truncated ..."), for the caller to show after its own sentence.
class ImageFiles
{
public:
    // Export formats, in the order the save dialog lists them; the index is the format number
    // the controller remembers between saves.
    enum Format { JPEG = 0, JPEG2000, TIFF, GIF, PNG, BMP, ICNS, PDF, FormatCount };

    // Pictures with more pixels than this are refused when read, written or resized.
    static constexpr qint64 maxPixels = 250'000'000;
    // The memory one reading may take: the file's bytes, the decoder's working buffers and the
    // decoded picture (4 bytes a pixel, 8 for pictures deeper than 8 bits a channel).
    static constexpr qint64 memoryLimit = qint64(1) << 30;

    // Sets the process-wide limits of Qt's image readers to match memoryLimit. Each program calls
    // it once at start-up, before reading any picture.
    static void setUpReading();

    // The pixel limit in force (maxPixels unless lowered, e.g. by the fuzzer). Values outside
    // 1..maxPixels restore maxPixels.
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
    // The format of a file name's extension in any letter case: the table names and the usual
    // short forms (jpg, jpe, jp2, j2k, jpf, tif). The mapping the window and the tool share.
    static int formatForFileName(const QString &path);
    // The path the save dialog writes to: `chosen` with its extension replaced by the format's
    // name in lower case. Folders and the file name keep their case: file systems here are
    // case-sensitive, and lower-casing a folder could point at another folder or none at all.
    static QString targetPath(const QString &chosen, int format);

    // The encoded bytes of the picture in the format; empty (with *error set) when it cannot be
    // encoded. Every format but JPEG is lossless. ICNS gives TIFF bytes; PDF one page whose size
    // in points is the size in pixels, holding the picture compressed without loss.
    static QByteArray encodeImage(const QImage &image, int format, QString *error = nullptr);
    // Encodes and writes to a temporary file beside `path`, renamed over it only when complete,
    // so that a failed or interrupted save never destroys an existing file. False on any failure.
    static bool writeImageFile(const QImage &image, const QString &path, int format, QString *error = nullptr);
    // The same with the format taken from the file name (formatForFileName).
    static bool writeImageFile(const QImage &image, const QString &path, QString *error = nullptr);

    // Reads the picture of a file or of encoded bytes: the format is found from the content (then
    // from the file name), the orientation recorded in the file is applied, and pictures deeper
    // than 8 bits per channel stay deep (RGBA64). A null QImage (and *error) for anything the
    // guards above refuse or the decoder cannot read.
    static QImage readImageFile(const QString &path, QString *error = nullptr);
    // `memory` lowers the memory limit for callers with a tighter budget (stored settings).
    static QImage readImageData(const QByteArray &data, QString *error = nullptr, qint64 memory = memoryLimit);
    // File-name patterns of every readable format, for the open dialog ("*.png", "*.jpeg-2000", ...).
    static QStringList readablePatterns();

    // True for the signature of a JPEG-2000 file or codestream.
    static bool isJpeg2000(const QByteArray &head);
};
