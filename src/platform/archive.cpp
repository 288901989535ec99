#include "archive.h"

#include "imaging/values.h"
#include "platform/imagefiles.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborValue>
#include <QDebug>
#include <QImage>
#include <QImageWriter>

#include <cfloat>
#include <cmath>
#include <limits>

// Layout of a blob: a CBOR map {"format": "lumetta-archive", "version": 1, "root": V}, where every
// value V is a two-element array [type tag, payload]:
//   ["int", integer]   ["int64", integer]   ["double", float]   ["float", float]
//   ["bool", bool]     ["string", text]     ["data", bytes]     ["image", PNG bytes]
//   ["vector", [0..8 floats]]   ["color", [r, g, b, a]]   ["transform", [m11 m12 m21 m22 tX tY]]
//   ["dict", {text: V, ...}]    ["array", [V, ...]]
namespace {

const QString formatName = QStringLiteral("lumetta-archive");
constexpr qint64 formatVersion = 1;

QCborValue tagged(const QString &tag, const QCborValue &payload)
{
    return QCborArray{tag, payload};
}

bool fail(QString *error, const QString &message)
{
    if (error) *error = message;
    return false;
}

// ---- writing ---------------------------------------------------------------------------------

bool encodeNumbers(const double *values, std::size_t count, QCborArray &out, QString *error)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return fail(error, QStringLiteral("non-finite component"));
        out.append(values[i]);
    }
    return true;
}

bool encodeImage(const QImage &image, QCborValue &out, QString *error)
{
    if (image.isNull()) return fail(error, QStringLiteral("null image"));
    const qint64 bytes = qint64(image.width()) * image.height() * (image.depth() > 32 ? 8 : 4);
    if (image.width() > Archive::maxImageSide || image.height() > Archive::maxImageSide || bytes > Archive::maxImageBytes)
        return fail(error, QStringLiteral("image of %1 x %2 pixels is too large")
                               .arg(image.width()).arg(image.height()));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return fail(error, QStringLiteral("PNG encoding failed: %1").arg(writer.errorString()));
    out = tagged(QStringLiteral("image"), png);
    return true;
}

bool encode(const QVariant &value, int depth, QCborValue &out, QString *error)
{
    const QMetaType type = value.metaType();
    switch (type.id()) {
    case QMetaType::Int:
        out = tagged(QStringLiteral("int"), qint64(value.toInt()));
        return true;
    case QMetaType::LongLong:
        out = tagged(QStringLiteral("int64"), value.toLongLong());
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d)) return fail(error, QStringLiteral("non-finite number"));
        out = tagged(type.id() == QMetaType::Double ? QStringLiteral("double") : QStringLiteral("float"),
                     QCborValue(d));
        return true;
    }
    case QMetaType::Bool:
        out = tagged(QStringLiteral("bool"), value.toBool());
        return true;
    case QMetaType::QString:
        out = tagged(QStringLiteral("string"), value.toString());
        return true;
    case QMetaType::QByteArray:
        out = tagged(QStringLiteral("data"), value.toByteArray());
        return true;
    case QMetaType::QImage:
        return encodeImage(value.value<QImage>(), out, error);
    case QMetaType::QVariantMap:
    case QMetaType::QVariantList: {
        if (depth >= Archive::maxDepth)
            return fail(error, QStringLiteral("nesting deeper than %1 levels").arg(Archive::maxDepth));
        if (type.id() == QMetaType::QVariantMap) {
            QCborMap map;
            const QVariantMap source = value.toMap();
            for (auto it = source.begin(); it != source.end(); ++it) {
                QCborValue item;
                if (!encode(it.value(), depth + 1, item, error)) return false;
                map.insert(it.key(), item);
            }
            out = tagged(QStringLiteral("dict"), map);
        } else {
            QCborArray array;
            for (const QVariant &element : value.toList()) {
                QCborValue item;
                if (!encode(element, depth + 1, item, error)) return false;
                array.append(item);
            }
            out = tagged(QStringLiteral("array"), array);
        }
        return true;
    }
    default:
        break;
    }

    QCborArray components;
    if (type == QMetaType::fromType<imaging::Vector>()) {
        const auto vector = value.value<imaging::Vector>();
        for (std::size_t i = 0; i < vector.count(); ++i) {
            const double v = vector.value(i);
            if (!encodeNumbers(&v, 1, components, error)) return false;
        }
        out = tagged(QStringLiteral("vector"), components);
        return true;
    }
    if (type == QMetaType::fromType<imaging::Color>()) {
        const auto c = value.value<imaging::Color>();
        const double v[] = {c.red, c.green, c.blue, c.alpha};
        if (!encodeNumbers(v, 4, components, error)) return false;
        out = tagged(QStringLiteral("color"), components);
        return true;
    }
    if (type == QMetaType::fromType<imaging::AffineTransform>()) {
        const auto t = value.value<imaging::AffineTransform>();
        const double v[] = {t.m11, t.m12, t.m21, t.m22, t.tX, t.tY};
        if (!encodeNumbers(v, 6, components, error)) return false;
        out = tagged(QStringLiteral("transform"), components);
        return true;
    }
    return fail(error, QStringLiteral("unsupported type %1")
                           .arg(QString::fromLatin1(type.isValid() ? type.name() : "(invalid)")));
}

// ---- reading ---------------------------------------------------------------------------------

std::optional<QVariant> none(QString *error, const QString &message)
{
    fail(error, message);
    return std::nullopt;
}

// Reads exactly `count` finite numbers (any count up to `maxCount` when count < 0).
bool decodeNumbers(const QCborValue &payload, int count, int maxCount, double *out, int &read,
                   const QString &what, QString *error)
{
    if (!payload.isArray()) return fail(error, what + QStringLiteral(" is not an array"));
    const QCborArray array = payload.toArray();
    if ((count >= 0 && array.size() != count) || array.size() > maxCount)
        return fail(error, QStringLiteral("%1 has %2 components").arg(what).arg(array.size()));
    read = int(array.size());
    for (int i = 0; i < read; ++i) {
        const QCborValue item = array.at(i);
        if (!item.isDouble() && !item.isInteger())
            return fail(error, what + QStringLiteral(" has a component that is not a number"));
        out[i] = item.toDouble();
        if (!std::isfinite(out[i]))
            return fail(error, what + QStringLiteral(" has a non-finite component"));
    }
    return true;
}

std::optional<QVariant> decodeImage(const QCborValue &payload, QString *error)
{
    if (!payload.isByteArray()) return none(error, QStringLiteral("image payload is not bytes"));
    // PNG only, whatever the bytes claim to be, read by the program's one reader within the
    // archive's own budget.
    const QByteArray png = payload.toByteArray();
    if (!png.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)))
        return none(error, QStringLiteral("image data is not a PNG"));
    QString why;
    const QImage image = ImageFiles::readImageData(png, &why, png.size() + Archive::maxImageBytes);
    if (image.isNull()) return none(error, QStringLiteral("unreadable PNG image: %1").arg(why));
    if (image.width() > Archive::maxImageSide || image.height() > Archive::maxImageSide)
        return none(error, QStringLiteral("image of %1 x %2 pixels is too large").arg(image.width()).arg(image.height()));
    return QVariant(image);
}

// A streaming pass over the CBOR that builds nothing: it counts the elements and the nesting, so
// that a blob of many tiny elements (each of which costs far more once built than its one byte)
// is refused before QCborValue makes a tree of it.
bool withinBounds(const QByteArray &data, QString *error)
{
    // Each level of the archive's values is two levels of CBOR ([tag, payload] and the payload's
    // container), under the top map.
    constexpr int maxCborDepth = 2 * Archive::maxDepth + 4;
    QCborStreamReader reader(data);
    qint64 elements = 0;
    int depth = 0;
    for (;;) {
        if (reader.lastError() != QCborError::NoError)
            return fail(error, QStringLiteral("malformed data (%1)").arg(reader.lastError().toString()));
        if (depth > 0 && !reader.hasNext()) {
            if (!reader.leaveContainer())
                return fail(error, QStringLiteral("malformed data (%1)").arg(reader.lastError().toString()));
            if (--depth == 0)
                return true;
            continue;
        }
        if (++elements > Archive::maxElements)
            return fail(error, QStringLiteral("more than %1 stored elements").arg(Archive::maxElements));
        if (reader.isTag())
            return fail(error, QStringLiteral("unexpected tagged data"));
        if (reader.isArray() || reader.isMap()) {
            if (++depth > maxCborDepth)
                return fail(error, QStringLiteral("nesting deeper than %1 levels").arg(Archive::maxDepth));
            if (!reader.enterContainer())
                return fail(error, QStringLiteral("malformed data (%1)").arg(reader.lastError().toString()));
            continue;
        }
        // Numbers, text and bytes: skipped without being copied.
        if (!reader.next())
            return fail(error, QStringLiteral("malformed data (%1)").arg(reader.lastError().toString()));
        if (depth == 0)
            return true;
    }
}

std::optional<QVariant> decode(const QCborValue &value, int depth, QString *error)
{
    if (!value.isArray()) return none(error, QStringLiteral("value without a type tag"));
    const QCborArray pair = value.toArray();
    if (pair.size() != 2 || !pair.at(0).isString())
        return none(error, QStringLiteral("value without a type tag"));
    const QString tag = pair.at(0).toString();
    const QCborValue payload = pair.at(1);

    if (tag == u"int") {
        if (!payload.isInteger()) return none(error, QStringLiteral("\"int\" is not an integer"));
        const qint64 v = payload.toInteger();
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            return none(error, QStringLiteral("\"int\" out of range"));
        return QVariant(int(v));
    }
    if (tag == u"int64") {
        if (!payload.isInteger()) return none(error, QStringLiteral("\"int64\" is not an integer"));
        return QVariant(qint64(payload.toInteger()));
    }
    if (tag == u"double" || tag == u"float") {
        if (!payload.isDouble()) return none(error, tag + QStringLiteral(" is not a float"));
        const double d = payload.toDouble();
        if (!std::isfinite(d)) return none(error, tag + QStringLiteral(" is not finite"));
        if (tag == u"double") return QVariant(d);
        if (std::fabs(d) > double(FLT_MAX)) return none(error, QStringLiteral("\"float\" out of range"));
        return QVariant(float(d));
    }
    if (tag == u"bool") {
        if (!payload.isBool()) return none(error, QStringLiteral("\"bool\" is not a boolean"));
        return QVariant(payload.toBool());
    }
    if (tag == u"string") {
        if (!payload.isString()) return none(error, QStringLiteral("\"string\" is not text"));
        return QVariant(payload.toString());
    }
    if (tag == u"data") {
        if (!payload.isByteArray()) return none(error, QStringLiteral("\"data\" is not bytes"));
        return QVariant(payload.toByteArray());
    }
    if (tag == u"image") return decodeImage(payload, error);

    double v[imaging::Vector::maxCount];
    int count = 0;
    if (tag == u"vector") {
        if (!decodeNumbers(payload, -1, int(imaging::Vector::maxCount), v, count, tag, error))
            return std::nullopt;
        auto vector = imaging::Vector::withCount(std::size_t(count));
        for (int i = 0; i < count; ++i) vector.setValue(std::size_t(i), v[i]);
        return QVariant::fromValue(vector);
    }
    if (tag == u"color") {
        if (!decodeNumbers(payload, 4, 4, v, count, tag, error)) return std::nullopt;
        return QVariant::fromValue(imaging::Color(v[0], v[1], v[2], v[3]));
    }
    if (tag == u"transform") {
        if (!decodeNumbers(payload, 6, 6, v, count, tag, error)) return std::nullopt;
        return QVariant::fromValue(imaging::AffineTransform(v[0], v[1], v[2], v[3], v[4], v[5]));
    }

    if (tag == u"dict" || tag == u"array") {
        if (depth >= Archive::maxDepth)
            return none(error, QStringLiteral("nesting deeper than %1 levels").arg(Archive::maxDepth));
        if (tag == u"dict") {
            if (!payload.isMap()) return none(error, QStringLiteral("\"dict\" is not a map"));
            QVariantMap map;
            const QCborMap source = payload.toMap();
            for (auto it = source.begin(); it != source.end(); ++it) {
                if (!it.key().isString()) return none(error, QStringLiteral("dictionary key is not text"));
                auto item = decode(it.value(), depth + 1, error);
                if (!item) return std::nullopt;
                map.insert(it.key().toString(), *item);
            }
            return QVariant(map);
        }
        if (!payload.isArray()) return none(error, QStringLiteral("\"array\" is not an array"));
        QVariantList list;
        const QCborArray source = payload.toArray();
        list.reserve(source.size());
        for (const QCborValue &element : source) {
            auto item = decode(element, depth + 1, error);
            if (!item) return std::nullopt;
            list.append(*item);
        }
        return QVariant(list);
    }
    return none(error, QStringLiteral("unknown type tag \"%1\"").arg(tag.left(40)));
}

} // namespace

QByteArray Archive::archivedData(const QVariant &value)
{
    QCborValue root;
    QString error;
    if (!encode(value, 0, root, &error)) {
        qWarning().noquote() << "Archive: cannot store value:" << error;
        return {};
    }
    QCborMap top;
    top.insert(QStringLiteral("format"), formatName);
    top.insert(QStringLiteral("version"), formatVersion);
    top.insert(QStringLiteral("root"), root);
    const QByteArray blob = top.toCborValue().toCbor();
    if (blob.size() > maxBlobSize || !withinBounds(blob, &error)) {
        qWarning().noquote() << "Archive: cannot store value:"
                             << (blob.size() > maxBlobSize ? QStringLiteral("it is larger than %1 bytes").arg(maxBlobSize) : error);
        return {};
    }
    return blob;
}

std::optional<QVariant> Archive::unarchive(const QByteArray &data)
{
    QString error;
    auto value = unarchive(data, &error);
    if (!value) qWarning().noquote() << "Archive: cannot read stored value:" << error;
    return value;
}

std::optional<QVariant> Archive::unarchive(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) return none(error, QStringLiteral("no data"));
    if (data.size() > maxBlobSize)
        return none(error, QStringLiteral("blob of %1 bytes is too large").arg(data.size()));
    if (!withinBounds(data, error)) return std::nullopt;

    QCborStreamReader reader(data);
    const QCborValue top = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError)
        return none(error, QStringLiteral("malformed data (%1)").arg(reader.lastError().toString()));
    if (reader.currentOffset() != data.size())
        return none(error, QStringLiteral("unexpected bytes after the archive"));

    if (!top.isMap()) return none(error, QStringLiteral("not a Lumetta archive"));
    const QCborMap map = top.toMap();
    if (map.value(QStringLiteral("format")).toString() != formatName)
        return none(error, QStringLiteral("not a Lumetta archive"));
    const QCborValue version = map.value(QStringLiteral("version"));
    if (!version.isInteger() || version.toInteger() != formatVersion)
        return none(error, QStringLiteral("unsupported archive version"));
    if (!map.contains(QStringLiteral("root"))) return none(error, QStringLiteral("archive without a value"));
    return decode(map.value(QStringLiteral("root")), 0, error);
}
