#pragma once

// Pictures and file bytes shared by the image file tests.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>

namespace imagefixtures {

// Opaque, with smooth gradients and sharp detail, so that encoders have something to get wrong.
inline QImage testPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1),
                                      ((x / 3 + y / 5) % 2) ? 200 : (x * y) % 256));
    return image;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline double meanAbsoluteDifference(const QImage &a, const QImage &b)
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

inline quint32 crc32(const QByteArray &bytes)
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
inline QByteArray pngChunk(const char *type, const QByteArray &payload)
{
    QByteArray chunk;
    chunk.append(char(payload.size() >> 24)).append(char(payload.size() >> 16)).append(char(payload.size() >> 8)).append(char(payload.size()));
    QByteArray body = QByteArray(type, 4) + payload;
    chunk += body;
    const quint32 crc = crc32(body);
    chunk.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    return chunk;
}

// Where the first image descriptor (",") of a GIF made by the writer is: after the header, the
// screen descriptor, the global colour table and any extension blocks.
inline qsizetype gifFrameAt(const QByteArray &gif)
{
    const auto byte = [&gif](qsizetype at) { return at < gif.size() ? int(quint8(gif[at])) : -1; };
    qsizetype at = 13;
    if (byte(10) & 0x80)
        at += 3 * (2 << (byte(10) & 7));
    while (byte(at) == 0x21) { // extension: label, then sub-blocks up to an empty one
        at += 2;
        while (byte(at) > 0)
            at += 1 + byte(at);
        at += 1;
    }
    return byte(at) == ',' ? at : -1;
}

} // namespace imagefixtures
