// JPEG reading through libjpeg, rather than through Qt's plug-in, for three guards Qt cannot give:
// - libjpeg pads missing data with grey and only warns; here a warning that data is missing or
//   corrupt stops the decoder at once, so a file cut short (even with an end marker appended) is
//   refused, and decoding stops where the data does rather than filling the rest of the picture;
// - the header's size, the coefficient buffers of progressive files and the decoded picture are
//   checked against the memory budget before anything is allocated, and a file too small for its
//   declared size is refused outright;
// - progressive files are limited in their number of scans, each of which costs a pass over the
//   whole picture.
// libjpeg reports errors by longjmp: the functions that call it hold only plain data, so that no
// destructor is skipped. The orientation recorded in the Exif block is applied afterwards.
#include "platform/imagecodecs.h"

#include <QTransform>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace imagecodecs {

namespace {

// A progressive file may legitimately have a dozen scans; hundreds only serve to slow the decoder.
constexpr int maxScans = 500;

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool lenient;     // the picture is complete: warnings no longer matter
    bool tooManyScans;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    auto *e = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Warnings about missing or corrupt entropy-coded data mean grey or garbled areas in the picture.
void onMessage(j_common_ptr cinfo, int level)
{
    auto *e = reinterpret_cast<ErrorManager *>(cinfo->err);
    if (level >= 0 || e->lenient)
        return;
    switch (cinfo->err->msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
        (*cinfo->err->format_message)(cinfo, e->message);
        std::longjmp(e->jump, 1);
    default:
        break; // odd but harmless: an unknown Adobe transform, a JFIF revision, stray bytes
    }
}

void onProgress(j_common_ptr cinfo)
{
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > maxScans) {
        auto *e = reinterpret_cast<ErrorManager *>(cinfo->err);
        e->tooManyScans = true;
        std::longjmp(e->jump, 1);
    }
}

struct Decoder
{
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    jpeg_progress_mgr progress;
};

// The Exif orientation (1 to 8) from an APP1 block, 1 when there is none.
int exifOrientation(const jpeg_decompress_struct &cinfo)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 14 || std::memcmp(m->data, "Exif\0\0", 6) != 0)
            continue;
        const uchar *tiff = m->data + 6;
        const qint64 size = qint64(m->data_length) - 6;
        const bool big = tiff[0] == 'M';
        auto u16 = [&](qint64 at) { return big ? qFromBigEndian<quint16>(tiff + at) : qFromLittleEndian<quint16>(tiff + at); };
        auto u32 = [&](qint64 at) { return big ? qFromBigEndian<quint32>(tiff + at) : qFromLittleEndian<quint32>(tiff + at); };
        const qint64 directory = u32(4);
        if (directory < 8 || directory + 2 > size)
            return 1;
        const qint64 entries = u16(directory);
        for (qint64 i = 0; i < entries && directory + 2 + (i + 1) * 12 <= size; ++i) {
            const qint64 at = directory + 2 + i * 12;
            if (u16(at) == 0x0112 && u16(at + 2) == 3) {
                const int orientation = u16(at + 8);
                return orientation >= 1 && orientation <= 8 ? orientation : 1;
            }
        }
        return 1;
    }
    return 1;
}

// Reads the header; false when libjpeg gave up (the message is in the error manager).
bool readHeader(Decoder &d, const QByteArray &data)
{
    if (setjmp(d.errors.jump))
        return false;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char *>(data.constData()), (unsigned long)data.size());
    jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK)
        onError(reinterpret_cast<j_common_ptr>(&d.cinfo));
    return true;
}

// Decodes into the picture's rows (RGB32 in memory order). CMYK files go through `cmyk`, one row
// of four bytes a pixel, and are converted here.
bool decodeRows(Decoder &d, uchar *bits, qsizetype bytesPerLine, uchar *cmyk)
{
    if (setjmp(d.errors.jump))
        return false;
    jpeg_start_decompress(&d.cinfo);
    const bool inverted = d.cinfo.saw_Adobe_marker; // Adobe stores CMYK with 0 as full ink
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        uchar *row = bits + qsizetype(d.cinfo.output_scanline) * bytesPerLine;
        JSAMPROW target = cmyk ? cmyk : row;
        if (jpeg_read_scanlines(&d.cinfo, &target, 1) != 1)
            onError(reinterpret_cast<j_common_ptr>(&d.cinfo));
        if (cmyk) {
            auto *out = reinterpret_cast<QRgb *>(row);
            for (JDIMENSION x = 0; x < d.cinfo.output_width; ++x) {
                const uchar *p = cmyk + 4 * x;
                int c = p[0], m = p[1], y = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
                }
                out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
            }
        }
    }
    // Every row is decoded: what follows (a missing end marker, stray bytes) cannot spoil it.
    d.errors.lenient = true;
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

QImage oriented(QImage image, int orientation)
{
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    case 5: return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

} // namespace

QImage readJpeg(const QByteArray &data, Budget budget, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QImage();
    };
    Decoder d{};
    d.cinfo.err = jpeg_std_error(&d.errors.pub);
    d.errors.pub.error_exit = onError;
    d.errors.pub.emit_message = onMessage;
    d.progress.progress_monitor = onProgress;
    jpeg_create_decompress(&d.cinfo);
    struct Destroyer { jpeg_decompress_struct *c; ~Destroyer() { jpeg_destroy_decompress(c); } } destroyer{&d.cinfo};
    d.cinfo.progress = &d.progress;
    auto libjpegFailure = [&] {
        if (d.errors.tooManyScans)
            return fail(QStringLiteral("the JPEG data has more than %1 scans").arg(maxScans));
        const QString why = QString::fromLatin1(d.errors.message);
        if (d.cinfo.err->msg_code == JWRN_JPEG_EOF || d.cinfo.err->msg_code == JWRN_HIT_MARKER
            || d.cinfo.err->msg_code == JERR_INPUT_EOF)
            return fail(truncated());
        return fail(QStringLiteral("the JPEG data cannot be decoded (%1)").arg(why));
    };
    if (!readHeader(d, data))
        return libjpegFailure();

    Declared declared;
    declared.width = d.cinfo.image_width;
    declared.height = d.cinfo.image_height;
    // Files with several scans keep every coefficient of the picture (two bytes each) until the
    // last scan is in. Huffman codes spend at least a bit on each 8 x 8 block of each component.
    qint64 blocks = 0;
    for (int c = 0; c < d.cinfo.num_components; ++c)
        blocks += qint64(d.cinfo.comp_info[c].width_in_blocks) * d.cinfo.comp_info[c].height_in_blocks;
    if (jpeg_has_multiple_scans(&d.cinfo))
        declared.decoderBytes = blocks * 64 * 2;
    if (!d.cinfo.arith_code)
        declared.minimumDataBytes = blocks / 8;
    const int orientation = exifOrientation(d.cinfo);
    if (orientation != 1)
        declared.decoderBytes += declared.width * declared.height * 4; // the turned copy
    if (!admit(declared, data.size(), budget, error))
        return QImage();
    // libjpeg's own allocations stay within what was admitted (and a little for tables).
    d.cinfo.mem->max_memory_to_use = long(declared.decoderBytes + (16 << 20));

    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    QImage image(int(declared.width), int(declared.height), QImage::Format_RGB32);
    if (image.isNull())
        return fail(QStringLiteral("there is not enough memory for the picture"));
    std::vector<uchar> cmykRow(cmyk ? size_t(declared.width) * 4 : 0);
    if (!decodeRows(d, image.bits(), image.bytesPerLine(), cmyk ? cmykRow.data() : nullptr))
        return libjpegFailure();
    return oriented(std::move(image), orientation);
}

} // namespace imagecodecs
