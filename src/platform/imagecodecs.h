#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The codecs behind ImageFiles, one per file: each reader learns the picture's declared size from
// its header, passes it through admit() (the guards every format shares) and only then decodes.
// Not for use outside platform/: everything else goes through ImageFiles.
namespace imagecodecs {

// What a header says about a picture, before anything is decoded.
struct Declared
{
    qint64 width = 0;
    qint64 height = 0;
    // The picture as the program holds it: 4 bytes a pixel, 8 for pictures deeper than 8 bits.
    int bytesPerPixel = 4;
    // Working memory the decoder needs besides the picture (coefficient buffers, sample planes).
    qint64 decoderBytes = 0;
    // The fewest bytes of data that can encode the whole picture; 0 when the format gives no bound.
    qint64 minimumDataBytes = 0;
};

// How much memory one reading may take (ImageFiles::memoryLimit, or less for callers with a
// tighter budget such as stored settings).
struct Budget
{
    qint64 memory;
};

// The guards every reader applies to a header before decoding: a picture with pixels, at most
// ImageFiles::pixelLimit() of them, the data (`dataBytes` long), the decoder's buffers and the
// picture within the budget, and enough data to cover the picture. False with *error set to the
// reason.
bool admit(const Declared &declared, qint64 dataBytes, Budget budget, QString *error);
// The reason given for data that ends before the picture does.
QString truncated();
// The reason given for a picture stored in parts (strips, tiles) of which `missing` are not in
// the data: "the picture data is truncated (2 of the 4 strips are missing)".
QString partsMissing(qint64 missing, qint64 total, const char *part, const char *parts);

// Readers. Each returns a null QImage and sets *error when the data is refused or unreadable.
QImage readJpeg(const QByteArray &data, Budget budget, QString *error);     // libjpeg
QImage readGif(const QByteArray &data, Budget budget, QString *error);      // giflib: the first frame
QImage readJpeg2000(const QByteArray &data, Budget budget, QString *error); // OpenJPEG
// PNG, BMP, TIFF and WebP through Qt's plug-in of `format` ("png", "bmp", ...), once the
// structure check of that format (below) has filled `declared`.
QImage readWithQt(const QByteArray &data, const QByteArray &format, const Declared &declared, Budget budget,
                  QString *error);
// Any other format Qt's plug-ins know, found from the content, then from `hint` (a file
// extension); the header's size goes through admit() without a coverage bound.
QImage readOtherWithQt(const QByteArray &data, const QByteArray &hint, Budget budget, QString *error);

// Structure checks of the formats Qt decodes: each fills `declared` from the header and returns
// false (with *error) when the file is damaged or truncated. They never decode pixels.
bool inspectPng(const QByteArray &data, Declared &declared, QString *error);
bool inspectBmp(const QByteArray &data, Declared &declared, QString *error);
bool inspectTiff(const QByteArray &data, Declared &declared, QString *error);
bool inspectWebp(const QByteArray &data, Declared &declared, QString *error);

// Writers. Each returns empty bytes and sets *error when the picture cannot be encoded.
QByteArray encodeGif(const QImage &image, QString *error);
QByteArray encodeJpeg2000(const QImage &image, QString *error);
QByteArray encodePdf(const QImage &image, QString *error);

} // namespace imagecodecs
