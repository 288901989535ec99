// PDF export, written by hand over zlib: one page whose size in points is the picture's size in
// pixels, showing one image stored without loss (Flate with PNG row predictors, 8 or 16 bits a
// channel, transparency as a soft mask). A general PDF library would add nothing here: Qt's
// QPdfWriter stores pictures as JPEG and writes an empty image stream for pictures wider than
// 65500 pixels, and a cairo surface keeps premultiplied colours, which changes the colour of
// translucent pixels. These few objects decode to exactly the pixels the PNG export holds.
#include "platform/imagecodecs.h"

#include <QtEndian>

#include <cstdlib>
#include <vector>

#include <zlib.h>

namespace imagecodecs {

namespace {

// Deflates rows into a byte array as they come.
class Deflater
{
public:
    Deflater() { m_ok = deflateInit(&m_stream, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater() { deflateEnd(&m_stream); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    void add(const uchar *bytes, size_t size) { run(bytes, size, Z_NO_FLUSH); }
    // The compressed bytes; empty when zlib failed.
    QByteArray finish()
    {
        run(nullptr, 0, Z_FINISH);
        return m_ok ? m_out : QByteArray();
    }

private:
    void run(const uchar *bytes, size_t size, int flush)
    {
        m_stream.next_in = const_cast<uchar *>(bytes);
        m_stream.avail_in = uInt(size);
        uchar buffer[1 << 16];
        while (m_ok) {
            m_stream.next_out = buffer;
            m_stream.avail_out = sizeof buffer;
            const int status = deflate(&m_stream, flush);
            if (status == Z_STREAM_ERROR) {
                m_ok = false;
                break;
            }
            m_out.append(reinterpret_cast<const char *>(buffer), qsizetype(sizeof buffer - m_stream.avail_out));
            // Without finishing, deflate has taken all the input once it leaves output room unused.
            if (flush == Z_FINISH ? status == Z_STREAM_END : m_stream.avail_out != 0)
                break;
        }
    }

    z_stream m_stream{};
    QByteArray m_out;
    bool m_ok = false;
};

int paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Compresses rows of samples with the PNG predictor that leaves the smallest residues in each row
// (none, left, up or Paeth), the way PNG encoders choose.
class RowCompressor
{
public:
    RowCompressor(size_t rowBytes, int pixelBytes)
        : m_pixel(pixelBytes), m_previous(rowBytes, 0), m_filtered(4, std::vector<uchar>(rowBytes + 1))
    {
    }

    void add(const std::vector<uchar> &row)
    {
        static const uchar types[4] = {0, 1, 2, 4}; // none, sub, up, Paeth
        size_t best = 0;
        long bestCost = -1;
        for (size_t f = 0; f < 4; ++f) {
            std::vector<uchar> &out = m_filtered[f];
            out[0] = types[f];
            long cost = 0;
            for (size_t i = 0; i < row.size(); ++i) {
                const int left = i >= size_t(m_pixel) ? row[i - m_pixel] : 0;
                const int up = m_previous[i];
                const int corner = i >= size_t(m_pixel) ? m_previous[i - m_pixel] : 0;
                const int predicted = f == 0 ? 0 : f == 1 ? left : f == 2 ? up : paeth(left, up, corner);
                const uchar residue = uchar(row[i] - predicted);
                out[i + 1] = residue;
                cost += residue < 128 ? residue : 256 - residue;
            }
            if (bestCost < 0 || cost < bestCost) {
                bestCost = cost;
                best = f;
            }
        }
        m_deflater.add(m_filtered[best].data(), m_filtered[best].size());
        m_previous = row;
    }
    QByteArray finish() { return m_deflater.finish(); }

private:
    int m_pixel;
    std::vector<uchar> m_previous;
    std::vector<std::vector<uchar>> m_filtered;
    Deflater m_deflater;
};

QByteArray imageObject(int number, qint64 width, qint64 height, const char *colourSpace, int colours, int bits,
                       const QByteArray &data, int softMask)
{
    QByteArray dict = QByteArray::number(number) + " 0 obj\n<< /Type /XObject /Subtype /Image";
    dict += " /Width " + QByteArray::number(width) + " /Height " + QByteArray::number(height);
    dict += " /ColorSpace /" + QByteArray(colourSpace) + " /BitsPerComponent " + QByteArray::number(bits);
    dict += " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors " + QByteArray::number(colours)
            + " /BitsPerComponent " + QByteArray::number(bits) + " /Columns " + QByteArray::number(width) + " >>";
    if (softMask > 0)
        dict += " /SMask " + QByteArray::number(softMask) + " 0 R";
    dict += " /Length " + QByteArray::number(data.size()) + " >>\nstream\n";
    return dict + data + "\nendstream\nendobj\n";
}

} // namespace

QByteArray encodePdf(const QImage &image, QString *error)
{
    // Straight (not premultiplied) channels, as PDF and PNG store them; 16 bits for deep pictures.
    const bool deep = image.depth() > 32;
    const QImage source = image.convertToFormat(deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    if (source.isNull()) {
        if (error)
            *error = QStringLiteral("there is not enough memory to convert the picture");
        return QByteArray();
    }
    const int w = source.width(), h = source.height();
    const int sampleBytes = deep ? 2 : 1;
    auto sampleAt = [&](int x, int y, int channel) -> quint16 {
        if (deep)
            return reinterpret_cast<const quint16 *>(source.constScanLine(y))[4 * x + channel];
        return source.constScanLine(y)[4 * x + channel];
    };
    const quint16 opaqueAlpha = deep ? 65535 : 255;
    bool translucent = false;
    for (int y = 0; y < h && !translucent; ++y)
        for (int x = 0; x < w && !translucent; ++x)
            translucent = sampleAt(x, y, 3) != opaqueAlpha;

    RowCompressor colour(size_t(w) * 3 * sampleBytes, 3 * sampleBytes);
    RowCompressor alpha(size_t(w) * sampleBytes, sampleBytes);
    std::vector<uchar> colourRow(size_t(w) * 3 * sampleBytes), alphaRow(size_t(w) * sampleBytes);
    auto put = [sampleBytes](std::vector<uchar> &row, size_t index, quint16 value) {
        if (sampleBytes == 2)
            qToBigEndian<quint16>(value, row.data() + 2 * index); // PDF samples are big-endian
        else
            row[index] = uchar(value);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                put(colourRow, size_t(x) * 3 + c, sampleAt(x, y, c));
            if (translucent)
                put(alphaRow, size_t(x), sampleAt(x, y, 3));
        }
        colour.add(colourRow);
        if (translucent)
            alpha.add(alphaRow);
    }
    const QByteArray colourData = colour.finish();
    const QByteArray alphaData = translucent ? alpha.finish() : QByteArray();
    if (colourData.isEmpty() || (translucent && alphaData.isEmpty())) {
        if (error)
            *error = QStringLiteral("the picture could not be compressed");
        return QByteArray();
    }

    // Objects: 1 catalogue, 2 page tree, 3 page, 4 its content, 5 the image, 6 its soft mask.
    const QByteArray size = QByteArray::number(w) + " " + QByteArray::number(h);
    const QByteArray content = "q " + QByteArray::number(w) + " 0 0 " + QByteArray::number(h) + " 0 0 cm /Im0 Do Q\n";
    QList<QByteArray> objects = {
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n",
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n",
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + size
            + "] /Resources << /XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>\nendobj\n",
        "4 0 obj\n<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream\nendobj\n",
        imageObject(5, w, h, "DeviceRGB", 3, 8 * sampleBytes, colourData, translucent ? 6 : 0),
    };
    if (translucent)
        objects << imageObject(6, w, h, "DeviceGray", 1, 8 * sampleBytes, alphaData, 0);

    // A binary comment after the version line tells transfer programs the file is not text.
    QByteArray pdf = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    QByteArray table = "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const QByteArray &object : objects) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += object;
    }
    const qsizetype tableAt = pdf.size();
    pdf += table;
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(tableAt) + "\n%%EOF\n";
    return pdf;
}

} // namespace imagecodecs
