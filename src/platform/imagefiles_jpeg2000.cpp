// JPEG-2000 through OpenJPEG, in memory: files are read whole and written through QSaveFile by the
// caller, so the codec only ever sees byte arrays. Before decoding, the codestream's tile-parts are
// walked (a file with missing tiles is truncated) and OpenJPEG's sample planes are counted against
// the memory budget; after it, the file's colour space (sRGB, grey, sYCC, e-YCC, CMYK) turns the
// components into RGB.
#include "platform/imagecodecs.h"
#include "platform/imagefiles.h"

#include <openjpeg.h>

#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A byte array seen as an OpenJPEG stream: reading from `data`, or writing into `out` at `pos`
// (the codec seeks back to fill in box lengths).
struct MemoryStream
{
    const QByteArray *data = nullptr;
    QByteArray *out = nullptr;
    qint64 pos = 0;

    qint64 size() const { return data ? data->size() : out->size(); }
};

OPJ_SIZE_T readBytes(void *buffer, OPJ_SIZE_T n, void *user)
{
    auto *s = static_cast<MemoryStream *>(user);
    const qint64 left = s->size() - s->pos;
    if (left <= 0)
        return OPJ_SIZE_T(-1); // end of stream
    const qint64 count = std::min<qint64>(left, qint64(n));
    std::memcpy(buffer, s->data->constData() + s->pos, size_t(count));
    s->pos += count;
    return OPJ_SIZE_T(count);
}

OPJ_SIZE_T writeBytes(void *buffer, OPJ_SIZE_T n, void *user)
{
    auto *s = static_cast<MemoryStream *>(user);
    const qint64 end = s->pos + qint64(n);
    if (end > s->out->size())
        s->out->resize(end);
    std::memcpy(s->out->data() + s->pos, buffer, n);
    s->pos = end;
    return n;
}

OPJ_OFF_T skipBytes(OPJ_OFF_T n, void *user)
{
    auto *s = static_cast<MemoryStream *>(user);
    if (s->pos + n < 0)
        return -1;
    if (s->data && s->pos + n > s->size())
        n = s->size() - s->pos;
    s->pos += n;
    return n;
}

OPJ_BOOL seekBytes(OPJ_OFF_T to, void *user)
{
    auto *s = static_cast<MemoryStream *>(user);
    if (to < 0 || (s->data && to > s->size()))
        return OPJ_FALSE;
    s->pos = to;
    return OPJ_TRUE;
}

// OpenJPEG reports through callbacks; errors are collected for the caller's message, warnings
// (common with slightly odd but readable files) are dropped.
void collectError(const char *message, void *user)
{
    auto *text = static_cast<QString *>(user);
    if (text->isEmpty())
        *text = QString::fromLatin1(message).trimmed();
}
void ignoreMessage(const char *, void *) {}

struct CodecDeleter { void operator()(opj_codec_t *c) const { opj_destroy_codec(c); } };
struct StreamDeleter { void operator()(opj_stream_t *s) const { opj_stream_destroy(s); } };
struct ImageDeleter { void operator()(opj_image_t *i) const { opj_image_destroy(i); } };
using CodecPtr = std::unique_ptr<opj_codec_t, CodecDeleter>;
using StreamPtr = std::unique_ptr<opj_stream_t, StreamDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageDeleter>;

void routeMessages(opj_codec_t *codec, QString *errors)
{
    opj_set_error_handler(codec, collectError, errors);
    opj_set_warning_handler(codec, ignoreMessage, nullptr);
    opj_set_info_handler(codec, ignoreMessage, nullptr);
}

const char jp2Signature[] = "\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A";
const char j2kSignature[] = "\xFF\x4F\xFF\x51";

} // namespace

namespace {

// The codestream inside a JP2 file (its "jp2c" box), or the whole data for a bare codestream;
// `size` is -1 when a JP2 file has none.
const uchar *codestream(const QByteArray &data, qint64 &size)
{
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const qint64 n = data.size();
    if (!data.startsWith(QByteArray(jp2Signature, 12))) {
        size = n;
        return d;
    }
    for (qint64 pos = 0; pos + 8 <= n;) {
        qint64 length = qFromBigEndian<quint32>(d + pos);
        qint64 header = 8;
        if (length == 1) { // a 64-bit length follows the type
            if (pos + 16 > n)
                break;
            length = qint64(std::min<quint64>(qFromBigEndian<quint64>(d + pos + 8), quint64(n)));
            header = 16;
        } else if (length == 0) { // the box runs to the end of the file
            length = n - pos;
        }
        if (length < header)
            break;
        if (std::memcmp(d + pos + 4, "jp2c", 4) == 0) {
            size = std::min(length, n - pos) - header;
            return d + pos + header;
        }
        pos += length;
    }
    size = -1;
    return nullptr;
}

// Walks the tile-parts of a codestream: every tile the SIZ marker declares must have all its parts
// within the data. OpenJPEG decodes a file with missing tiles as a success, leaving them grey.
bool tilesComplete(const QByteArray &data, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString damaged = QStringLiteral("the JPEG-2000 header is damaged");
    qint64 n = 0;
    const uchar *cs = codestream(data, n);
    if (!cs)
        return fail(imagecodecs::truncated());
    auto u16 = [cs](qint64 at) { return qint64(qFromBigEndian<quint16>(cs + at)); };
    auto u32 = [cs](qint64 at) { return qint64(qFromBigEndian<quint32>(cs + at)); };
    if (n < 42 || u16(0) != 0xFF4F || u16(2) != 0xFF51)
        return fail(n < 42 ? imagecodecs::truncated() : damaged);
    const qint64 width = u32(8), height = u32(12), tileWidth = u32(24), tileHeight = u32(28);
    const qint64 tileX = u32(32), tileY = u32(36);
    if (tileWidth == 0 || tileHeight == 0 || tileX >= width || tileY >= height)
        return fail(damaged);
    const qint64 tiles = ((width - tileX + tileWidth - 1) / tileWidth) * ((height - tileY + tileHeight - 1) / tileHeight);
    // A tile-part takes at least 14 bytes: more tiles than that cannot all be in the data.
    if (tiles > n / 14)
        return fail(imagecodecs::truncated());

    // The main header's markers, up to the first tile-part.
    qint64 pos = 4 + u16(4);
    while (pos + 4 <= n && u16(pos) != 0xFF90) {
        if ((u16(pos) & 0xFF00) != 0xFF00)
            return fail(damaged);
        pos += 2 + u16(pos + 2);
    }
    std::vector<quint8> parts(size_t(tiles), 0), expected(size_t(tiles), 0);
    while (pos + 12 <= n && u16(pos) == 0xFF90) {
        const qint64 tile = u16(pos + 4), length = u32(pos + 6);
        if (tile >= tiles || (length != 0 && length < 14))
            return fail(damaged);
        parts[size_t(tile)] = quint8(std::min(255, parts[size_t(tile)] + 1));
        if (cs[pos + 11] != 0)
            expected[size_t(tile)] = cs[pos + 11];
        if (length == 0) // the last tile-part, running to the end of the codestream
            break;
        if (length > n - pos)
            return fail(imagecodecs::truncated());
        pos += length;
    }
    qint64 missing = 0;
    for (size_t t = 0; t < parts.size(); ++t)
        missing += parts[t] == 0 || parts[t] < expected[t];
    if (missing > 0)
        return fail(imagecodecs::partsMissing(missing, tiles, "tile", "tiles"));
    return true;
}

// How the components make colours.
enum class Colours { Grey, Rgb, Ycc, ExtendedYcc, Cmyk };

} // namespace

bool ImageFiles::isJpeg2000(const QByteArray &head)
{
    return head.startsWith(QByteArray(jp2Signature, 12)) || head.startsWith(QByteArray(j2kSignature, 4));
}

namespace imagecodecs {

QImage readJpeg2000(const QByteArray &data, Budget budget, QString *error)
{
    QString errors;
    auto fail = [&](const QString &why) {
        if (error)
            *error = errors.isEmpty() ? why : why + QStringLiteral(" (") + errors + QLatin1Char(')');
        return QImage();
    };
    if (!tilesComplete(data, error))
        return QImage();
    const bool boxed = data.startsWith(QByteArray(jp2Signature, 12));
    CodecPtr codec(opj_create_decompress(boxed ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec)
        return fail(QStringLiteral("there is no JPEG-2000 decoder"));
    routeMessages(codec.get(), &errors);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters))
        return fail(QStringLiteral("the JPEG-2000 decoder cannot be set up"));
    // Strict: data that ends inside a tile is an error, not a picture with blank parts.
    opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);
    opj_codec_set_threads(codec.get(), std::max(1, QThread::idealThreadCount()));

    MemoryStream source;
    source.data = &data;
    StreamPtr stream(opj_stream_create(1 << 16, OPJ_TRUE));
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), OPJ_UINT64(data.size()));
    opj_stream_set_read_function(stream.get(), readBytes);
    opj_stream_set_skip_function(stream.get(), skipBytes);
    opj_stream_set_seek_function(stream.get(), seekBytes);

    opj_image_t *raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw))
        return fail(QStringLiteral("the JPEG-2000 header cannot be read"));
    ImagePtr image(raw);
    const int components = int(image->numcomps);
    if (components < 1 || components > 5)
        return fail(QStringLiteral("JPEG-2000 pictures with %1 components are not supported").arg(components));
    Declared declared;
    declared.width = qint64(image->x1) - image->x0;
    declared.height = qint64(image->y1) - image->y0;
    // OpenJPEG keeps every sample as a 32-bit integer: for the whole picture, and when the picture
    // has several tiles, for the tile being decoded as well (a single tile becomes the picture).
    opj_codestream_info_v2_t *info = opj_get_cstr_info(codec.get());
    const bool severalTiles = info && qint64(info->tw) * info->th > 1;
    const qint64 tileArea = info ? qint64(info->tdx) * info->tdy : 0;
    if (info)
        opj_destroy_cstr_info(&info);
    int depth = 0;
    for (int c = 0; c < components; ++c) {
        const opj_image_comp_t &comp = image->comps[c];
        if (comp.dx < 1 || comp.dy < 1 || comp.prec < 1 || comp.prec > 16)
            return fail(QStringLiteral("this JPEG-2000 component layout is not supported"));
        declared.decoderBytes += 4 * qint64(comp.w) * comp.h;
        if (severalTiles)
            declared.decoderBytes += 4 * std::min(tileArea, declared.width * declared.height);
        depth = std::max(depth, int(comp.prec));
    }
    const bool deep = depth > 8;
    declared.bytesPerPixel = deep ? 8 : 4;
    if (!admit(declared, data.size(), budget, error))
        return QImage();
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get()))
        return fail(QStringLiteral("the JPEG-2000 data cannot be decoded"));
    for (int c = 0; c < components; ++c)
        if (!image->comps[c].data || image->comps[c].w < 1 || image->comps[c].h < 1)
            return fail(QStringLiteral("the JPEG-2000 data cannot be decoded"));

    // The colour space the file declares; files that declare none but carry chroma at a lower
    // resolution than luma are YCC, as other readers assume too.
    Colours colours = components <= 2 ? Colours::Grey : Colours::Rgb;
    const bool subsampledChroma = components >= 3 && (image->comps[1].dx > 1 || image->comps[1].dy > 1
                                                      || image->comps[2].dx > 1 || image->comps[2].dy > 1);
    if (components >= 3 && (image->color_space == OPJ_CLRSPC_SYCC
                            || (image->color_space <= OPJ_CLRSPC_UNSPECIFIED && subsampledChroma)))
        colours = Colours::Ycc;
    else if (components >= 3 && image->color_space == OPJ_CLRSPC_EYCC)
        colours = Colours::ExtendedYcc;
    else if (components >= 4 && image->color_space == OPJ_CLRSPC_CMYK)
        colours = Colours::Cmyk;
    const int colourComponents = colours == Colours::Grey ? 1 : colours == Colours::Cmyk ? 4 : 3;
    // Alpha: the component the file marks as such, else one beyond the colour components.
    int alpha = -1;
    for (int c = 0; c < components; ++c)
        if (image->comps[c].alpha)
            alpha = c;
    if (alpha < 0 && components > colourComponents)
        alpha = colourComponents;

    QImage out(int(declared.width), int(declared.height), deep ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
    if (out.isNull())
        return fail(QStringLiteral("there is not enough memory for the picture"));
    // Samples in 0..1, a row of each component at a time, taken from the component's own grid
    // (chroma may have fewer samples than luma).
    std::vector<std::vector<float>> rows(size_t(components), std::vector<float>(size_t(out.width())));
    std::vector<std::vector<qint32>> columns(size_t(components), std::vector<qint32>(size_t(out.width())));
    for (int c = 0; c < components; ++c) {
        const opj_image_comp_t &comp = image->comps[c];
        for (int x = 0; x < out.width(); ++x)
            columns[size_t(c)][size_t(x)] = qint32(std::clamp<qint64>((image->x0 + x) / comp.dx - comp.x0, 0, comp.w - 1));
    }
    auto fetchRow = [&](int y) {
        for (int c = 0; c < components; ++c) {
            const opj_image_comp_t &comp = image->comps[c];
            const qint64 cy = std::clamp<qint64>((image->y0 + y) / comp.dy - comp.y0, 0, comp.h - 1);
            const OPJ_INT32 *data = comp.data + cy * comp.w;
            const qint64 shift = comp.sgnd ? qint64(1) << (comp.prec - 1) : 0;
            const qint64 max = (qint64(1) << comp.prec) - 1;
            const float scale = 1.0f / float(max);
            float *row = rows[size_t(c)].data();
            const qint32 *column = columns[size_t(c)].data();
            for (int x = 0; x < out.width(); ++x)
                row[x] = float(std::clamp<qint64>(data[column[x]] + shift, 0, max)) * scale;
        }
    };
    // The offset of a chroma sample's zero in 0..1.
    auto centre = [&](int c) {
        const opj_image_comp_t &comp = image->comps[c];
        return float(qint64(1) << (comp.prec - 1)) / float((qint64(1) << comp.prec) - 1);
    };
    const float outMax = deep ? 65535 : 255;
    auto level = [outMax](float v) { return int(std::clamp(v, 0.0f, 1.0f) * outMax + 0.5f); };
    std::vector<float> red(size_t(out.width())), green(red), blue(red);
    const std::vector<float> opaque(size_t(out.width()), 1.0f);
    for (int y = 0; y < out.height(); ++y) {
        fetchRow(y);
        const float *c0 = rows[0].data();
        const float *c1 = rows[size_t(std::min(1, components - 1))].data();
        const float *c2 = rows[size_t(std::min(2, components - 1))].data();
        const float *c3 = rows[size_t(std::min(3, components - 1))].data();
        switch (colours) {
        case Colours::Grey:
            std::copy(c0, c0 + out.width(), red.begin());
            green = red;
            blue = red;
            break;
        case Colours::Rgb:
            std::copy(c0, c0 + out.width(), red.begin());
            std::copy(c1, c1 + out.width(), green.begin());
            std::copy(c2, c2 + out.width(), blue.begin());
            break;
        case Colours::Ycc: { // full-range BT.601, as sYCC defines it
            const float zb = centre(1), zr = centre(2);
            for (int x = 0; x < out.width(); ++x) {
                const float l = c0[x], cb = c1[x] - zb, cr = c2[x] - zr;
                red[size_t(x)] = l + 1.402f * cr;
                green[size_t(x)] = l - 0.344136f * cb - 0.714136f * cr;
                blue[size_t(x)] = l + 1.772f * cb;
            }
            break;
        }
        case Colours::ExtendedYcc: {
            const float zb = centre(1), zr = centre(2);
            for (int x = 0; x < out.width(); ++x) {
                const float l = c0[x], cb = c1[x] - zb, cr = c2[x] - zr;
                red[size_t(x)] = l - 0.0000368f * cb + 1.40199f * cr;
                green[size_t(x)] = 1.0003f * l - 0.344125f * cb - 0.7141128f * cr;
                blue[size_t(x)] = 0.999823f * l + 1.77204f * cb - 0.000008f * cr;
            }
            break;
        }
        case Colours::Cmyk: // ink amounts
            for (int x = 0; x < out.width(); ++x) {
                const float k = 1 - c3[x];
                red[size_t(x)] = (1 - c0[x]) * k;
                green[size_t(x)] = (1 - c1[x]) * k;
                blue[size_t(x)] = (1 - c2[x]) * k;
            }
            break;
        }
        const float *a = alpha >= 0 ? rows[size_t(alpha)].data() : opaque.data();
        uchar *line = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const size_t i = size_t(x);
            if (deep)
                reinterpret_cast<QRgba64 *>(line)[x] =
                    qRgba64(quint16(level(red[i])), quint16(level(green[i])), quint16(level(blue[i])), quint16(level(a[x])));
            else
                reinterpret_cast<QRgb *>(line)[x] = qRgba(level(red[i]), level(green[i]), level(blue[i]), level(a[x]));
        }
    }
    return out;
}

QByteArray encodeJpeg2000(const QImage &image, QString *error)
{
    QString errors;
    auto fail = [&](const QString &why) {
        if (error)
            *error = errors.isEmpty() ? why : why + QStringLiteral(": ") + errors;
        return QByteArray();
    };
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width(), h = argb.height();
    bool hasAlpha = false;
    if (image.hasAlphaChannel())
        for (int y = 0; y < h && !hasAlpha; ++y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x)
                if (qAlpha(row[x]) != 255) {
                    hasAlpha = true;
                    break;
                }
        }
    const int components = hasAlpha ? 4 : 3;
    opj_image_cmptparm_t parms[4];
    std::memset(parms, 0, sizeof parms);
    for (int c = 0; c < components; ++c) {
        parms[c].dx = parms[c].dy = 1;
        parms[c].w = OPJ_UINT32(w);
        parms[c].h = OPJ_UINT32(h);
        parms[c].prec = 8;
        parms[c].sgnd = 0;
    }
    ImagePtr picture(opj_image_create(OPJ_UINT32(components), parms, OPJ_CLRSPC_SRGB));
    if (!picture)
        return fail(QStringLiteral("not enough memory for the JPEG-2000 picture"));
    picture->x0 = picture->y0 = 0;
    picture->x1 = OPJ_UINT32(w);
    picture->y1 = OPJ_UINT32(h);
    if (hasAlpha)
        picture->comps[3].alpha = 1;
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const qsizetype i = qsizetype(y) * w + x;
            picture->comps[0].data[i] = qRed(row[x]);
            picture->comps[1].data[i] = qGreen(row[x]);
            picture->comps[2].data[i] = qBlue(row[x]);
            if (hasAlpha)
                picture->comps[3].data[i] = qAlpha(row[x]);
        }
    }

    // Lossless (reversible 5/3 wavelet, one layer at rate 0): the encoder's default, and the only
    // setting that needs no quality choice from the user.
    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0;
    parameters.cp_disto_alloc = 1;
    parameters.tcp_mct = 1; // colour transform over the first three components
    // Each resolution level halves the picture; OpenJPEG refuses more levels than the smaller side allows.
    int levels = 1;
    while (levels < 6 && (std::min(w, h) >> levels) > 0)
        ++levels;
    parameters.numresolution = levels;

    CodecPtr codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec)
        return fail(QStringLiteral("no JPEG-2000 encoder"));
    routeMessages(codec.get(), &errors);
    if (!opj_setup_encoder(codec.get(), &parameters, picture.get()))
        return fail(QStringLiteral("cannot set up the JPEG-2000 encoder"));

    QByteArray bytes;
    MemoryStream sink;
    sink.out = &bytes;
    StreamPtr stream(opj_stream_create(1 << 16, OPJ_FALSE));
    opj_stream_set_user_data(stream.get(), &sink, nullptr);
    opj_stream_set_write_function(stream.get(), writeBytes);
    opj_stream_set_skip_function(stream.get(), skipBytes);
    opj_stream_set_seek_function(stream.get(), seekBytes);
    if (!opj_start_compress(codec.get(), picture.get(), stream.get()) || !opj_encode(codec.get(), stream.get())
        || !opj_end_compress(codec.get(), stream.get()))
        return fail(QStringLiteral("JPEG-2000 encoding failed"));
    stream.reset(); // flushes what the stream still buffers
    return bytes;
}

} // namespace imagecodecs
