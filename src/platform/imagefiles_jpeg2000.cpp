// JPEG-2000 through OpenJPEG, in memory: files are read whole and written through QSaveFile by the
// caller, so the codec only ever sees byte arrays.
#include "platform/imagefiles.h"

#include <openjpeg.h>

#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

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

bool ImageFiles::isJpeg2000(const QByteArray &head)
{
    return head.startsWith(QByteArray(jp2Signature, 12)) || head.startsWith(QByteArray(j2kSignature, 4));
}

QImage ImageFiles::readJpeg2000(const QByteArray &data, QString *error)
{
    QString errors;
    auto fail = [&](const QString &why) {
        if (error)
            *error = errors.isEmpty() ? why : why + QStringLiteral(": ") + errors;
        return QImage();
    };
    const bool boxed = data.startsWith(QByteArray(jp2Signature, 12));
    CodecPtr codec(opj_create_decompress(boxed ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec)
        return fail(QStringLiteral("no JPEG-2000 decoder"));
    routeMessages(codec.get(), &errors);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters))
        return fail(QStringLiteral("cannot set up the JPEG-2000 decoder"));

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
        return fail(QStringLiteral("unreadable JPEG-2000 header"));
    ImagePtr image(raw);
    const qint64 w = qint64(image->x1) - image->x0, h = qint64(image->y1) - image->y0;
    if (w <= 0 || h <= 0 || w > INT_MAX / 4 || h > INT_MAX / 4 || w * h > pixelLimit())
        return fail(QStringLiteral("JPEG-2000 picture of %1 x %2 pixels refused").arg(w).arg(h));
    const int components = int(image->numcomps);
    if (components < 1 || components > 4)
        return fail(QStringLiteral("JPEG-2000 picture with %1 components is not supported").arg(components));
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get()))
        return fail(QStringLiteral("JPEG-2000 data cannot be decoded"));

    // Every component must cover the whole picture at full resolution (subsampled chroma is rare
    // outside of video and is refused rather than misdrawn).
    int depth = 0;
    for (int c = 0; c < components; ++c) {
        const opj_image_comp_t &comp = image->comps[c];
        if (!comp.data || comp.w != OPJ_UINT32(w) || comp.h != OPJ_UINT32(h) || comp.prec < 1 || comp.prec > 16)
            return fail(QStringLiteral("JPEG-2000 component layout is not supported"));
        depth = std::max(depth, int(comp.prec));
    }
    const bool deep = depth > 8;
    const bool grey = components <= 2;
    const bool alpha = components == 2 || components == 4;
    QImage out(int(w), int(h), deep ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
    if (out.isNull())
        return fail(QStringLiteral("not enough memory for the JPEG-2000 picture"));

    // Samples scaled from each component's own precision to 8 or 16 bits.
    auto sample = [&](int c, qsizetype i, int outMax) {
        const opj_image_comp_t &comp = image->comps[c];
        qint64 v = comp.data[i];
        if (comp.sgnd)
            v += qint64(1) << (comp.prec - 1);
        const qint64 inMax = (qint64(1) << comp.prec) - 1;
        v = std::clamp<qint64>(v, 0, inMax);
        return int((v * outMax + inMax / 2) / inMax);
    };
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const qsizetype i = qsizetype(y) * w + x;
            const int outMax = deep ? 65535 : 255;
            const int r = sample(0, i, outMax);
            const int g = grey ? r : sample(1, i, outMax);
            const int b = grey ? r : sample(2, i, outMax);
            const int a = alpha ? sample(components - 1, i, outMax) : outMax;
            if (deep)
                reinterpret_cast<QRgba64 *>(out.scanLine(y))[x] = qRgba64(quint16(r), quint16(g), quint16(b), quint16(a));
            else
                reinterpret_cast<QRgb *>(out.scanLine(y))[x] = qRgba(r, g, b, a);
        }
    }
    return out;
}

QByteArray ImageFiles::encodeJpeg2000(const QImage &image, QString *error)
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
