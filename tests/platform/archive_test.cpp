#include "platform/archive.h"
#include "warningcatcher.h"

#include "imaging/values.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

QVariant roundTrip(const QVariant &value)
{
    const QByteArray blob = Archive::archivedData(value);
    EXPECT_FALSE(blob.isEmpty()) << value.metaType().name();
    const auto back = Archive::unarchive(blob);
    EXPECT_TRUE(back.has_value()) << value.metaType().name();
    return back.value_or(QVariant());
}

QImage sampleImage()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 30, y * 50, 255 - x * 10, 255 - y * 40));
    return image;
}

QVariantMap favouriteLike()
{
    return {
        {"class", QString("CIGaussianBlur")},
        {"inputRadius", 10.5},
        {"count", 3},
        {"enabled", false},
        {"inputCenter", QVariant::fromValue(imaging::Vector{150, 150})},
        {"inputColor", QVariant::fromValue(imaging::Color(1, 0.5, 0.25, 0.75))},
        {"inputTransform", QVariant::fromValue(imaging::AffineTransform(1, 0.5, -0.5, 1, 10, -20))},
        {"ButtonImage", QVariant(sampleImage())},
        {"nested", QVariantList{1, QString("two"), QVariantMap{{"three", 3.0f}}, QVariantList{}}},
    };
}

// A blob that starts like a valid archive and whose value is the given raw CBOR bytes.
QByteArray archiveWithRawRoot(const QByteArray &rawRoot)
{
    QByteArray data;
    QCborStreamWriter writer(&data);
    writer.startMap(3);
    writer.append(QLatin1String("format"));
    writer.append(QLatin1String("lumetta-archive"));
    writer.append(QLatin1String("version"));
    writer.append(1);
    writer.append(QLatin1String("root"));
    return data + rawRoot;
}

QByteArray archiveWithRoot(const QCborValue &root)
{
    return archiveWithRawRoot(root.toCbor());
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (char ch : bytes) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
}

} // namespace

TEST(Archive, EveryTypeComesBackWithItsTypeAndExactValue)
{
    const QList<QVariant> values = {
        QVariant(42), QVariant(-7), QVariant(qint64(1) << 53), QVariant(std::numeric_limits<qint64>::min()),
        QVariant(0.1), QVariant(1e-310), QVariant(-DBL_MAX), QVariant(2.0), QVariant(3.25f),
        QVariant(true), QVariant(false), QVariant(QString()), QVariant(QString("Ünïcödé ✓")),
        QVariant(QByteArray()), QVariant(QByteArray("\0\x01\xff", 3)),
        QVariant::fromValue(imaging::Vector()), QVariant::fromValue(imaging::Vector{0.1}),
        QVariant::fromValue(imaging::Vector{1, 2, 3, 4, 5, 6, 7, 8}),
        QVariant::fromValue(imaging::Color(0.1, 0.2, 0.3, 0.4)),
        QVariant::fromValue(imaging::AffineTransform::rotation(0.3)),
        QVariant(QVariantMap()), QVariant(QVariantList()),
    };
    for (const QVariant &value : values) {
        const QVariant back = roundTrip(value);
        EXPECT_EQ(back.metaType(), value.metaType()) << value.metaType().name();
        EXPECT_EQ(back, value) << value.metaType().name();
    }
    // A bool must not come back as a number, a 2.0 not as an integer.
    EXPECT_EQ(roundTrip(true).typeId(), QMetaType::Bool);
    EXPECT_EQ(roundTrip(2.0).typeId(), QMetaType::Double);
    EXPECT_EQ(roundTrip(QVariant::fromValue(imaging::Vector{1, 2, 3})).value<imaging::Vector>(),
              (imaging::Vector{1, 2, 3}));
}

TEST(Archive, ImagesAndNestedStructuresRoundTrip)
{
    const QVariantMap original = favouriteLike();
    const QVariant back = roundTrip(original);
    ASSERT_EQ(back.typeId(), QMetaType::QVariantMap);
    const QVariantMap map = back.toMap();
    ASSERT_EQ(map.keys(), original.keys());
    for (const QString &key : original.keys()) {
        if (key == "ButtonImage") continue;
        EXPECT_EQ(map[key], original[key]) << key.toStdString();
        EXPECT_EQ(map[key].metaType(), original[key].metaType()) << key.toStdString();
    }
    const QImage image = map["ButtonImage"].value<QImage>();
    EXPECT_EQ(image.convertToFormat(QImage::Format_ARGB32), sampleImage());

    // The stored favourites are a list of dictionaries of blobs: archives inside an archive.
    QVariantMap stored;
    for (auto it = original.begin(); it != original.end(); ++it)
        stored.insert(it.key(), Archive::archivedData(it.value()));
    const QVariantList list = roundTrip(QVariantList{stored, stored}).toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(*Archive::unarchive(list[1].toMap()["inputCenter"].toByteArray()), original["inputCenter"]);
}

TEST(Archive, UnsupportedOrUnreadableValuesAreRefused)
{
    QVariantList deep;
    for (int i = 0; i < Archive::maxDepth + 1; ++i) deep = QVariantList{deep};
    const QList<QVariant> refused = {
        QVariant(QPoint(1, 2)), QVariant(), QVariant(std::nan("")), QVariant(INFINITY),
        QVariant::fromValue(imaging::Vector{1, NAN}), QVariant(QImage()),
        QVariant(QVariantMap{{"fine", 1}, {"bad", QVariant(QPoint())}}), QVariant(deep),
    };
    for (const QVariant &value : refused) {
        WarningCatcher warnings;
        EXPECT_TRUE(Archive::archivedData(value).isEmpty()) << value.metaType().name();
        EXPECT_EQ(warnings.count(), 1);
    }
}

TEST(Archive, EveryTruncationAndForeignDataIsRejectedWithOneWarning)
{
    const QByteArray blob = Archive::archivedData(favouriteLike());
    ASSERT_FALSE(blob.isEmpty());
    WarningCatcher warnings;
    for (qsizetype length = 0; length < blob.size(); ++length) {
        warnings.clear();
        ASSERT_FALSE(Archive::unarchive(blob.left(length))) << length;
        ASSERT_EQ(warnings.count(), 1) << length;
    }
    const QList<QByteArray> foreign = {
        blob + '\0',                                          // trailing garbage
        QByteArray("not cbor at all"),
        QCborValue(42).toCbor(),                              // valid CBOR, not ours
        QCborMap{{"format", "other"}, {"version", 1}, {"root", 1}}.toCborValue().toCbor(),
        QCborMap{{"format", "lumetta-archive"}, {"version", 2}, {"root", QCborArray{"int", 1}}}
            .toCborValue().toCbor(),
        archiveWithRoot(QCborArray{"int", 1, 2}),             // wrong element counts
        archiveWithRoot(QCborArray{"color", QCborArray{1.0, 1.0, 1.0}}),
        archiveWithRoot(QCborArray{"transform", QCborArray{1.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0}}),
        archiveWithRoot(QCborArray{"vector", QCborArray{1, 2, 3, 4, 5, 6, 7, 8, 9}}),
        archiveWithRoot(QCborArray{"vector", QCborArray{1.0, std::nan("")}}),
        archiveWithRoot(QCborArray{"double", std::nan("")}),
        archiveWithRoot(QCborArray{"float", 1e300}),
        archiveWithRoot(QCborArray{"bool", 1}),               // a number is not a bool
        archiveWithRoot(QCborArray{"int", qint64(1) << 40}),
        archiveWithRoot(QCborArray{"string", QByteArray("bytes")}),
        archiveWithRoot(QCborArray{"dict", QCborMap{{1, QCborArray{"int", 1}}}}),
        archiveWithRoot(QCborArray{"image", QByteArray("\x89PNG\r\n\x1a\n garbage")}),
        archiveWithRoot(QCborArray{"pointer", 0}),
    };
    for (const QByteArray &data : foreign) {
        warnings.clear();
        EXPECT_FALSE(Archive::unarchive(data)) << data.toHex().toStdString();
        EXPECT_GE(warnings.count(), 1);
    }
}

TEST(Archive, HostileBlobsAreRejectedWithoutRecursionOrAllocationBlowUps)
{
    WarningCatcher warnings;
    // Raw nesting far beyond any stack: [[[[...]]]].
    EXPECT_FALSE(Archive::unarchive(QByteArray(200000, '\x81') + '\0'));
    EXPECT_FALSE(Archive::unarchive(archiveWithRawRoot(QByteArray(200000, '\x81') + '\0')));

    // Well-formed nesting of our own kind, one level too deep.
    QCborValue deep = QCborArray{"int", 1};
    for (int i = 0; i <= Archive::maxDepth; ++i) deep = QCborArray{"array", QCborArray{deep}};
    EXPECT_FALSE(Archive::unarchive(archiveWithRoot(deep)));

    // Declared sizes of 2^62 elements or bytes with nothing behind them.
    const char huge[] = "\x3f\xff\xff\xff\xff\xff\xff\xff";
    for (char head : {'\x9b', '\xbb', '\x5b', '\x7b'}) {
        EXPECT_FALSE(Archive::unarchive(QByteArray(1, head) + QByteArray(huge, 8)));
        EXPECT_FALSE(Archive::unarchive(archiveWithRawRoot(QByteArray(1, head) + QByteArray(huge, 8))));
    }

    // A PNG whose header claims 100000 x 100000 pixels (with a correct checksum).
    QByteArray blob = Archive::archivedData(sampleImage());
    const qsizetype png = blob.indexOf("\x89PNG");
    ASSERT_GE(png, 0);
    putBigEndian(blob, png + 16, 100000);
    putBigEndian(blob, png + 20, 100000);
    putBigEndian(blob, png + 29, crc32(blob.mid(png + 12, 17)));
    warnings.clear();
    EXPECT_FALSE(Archive::unarchive(blob));
    ASSERT_EQ(warnings.count(), 1);
    EXPECT_TRUE(warnings.messages().first().contains("100000 x 100000")) << warnings.messages().first().toStdString();
}

TEST(Archive, RandomlyMutatedBlobsNeverCrash)
{
    const QByteArray blob = Archive::archivedData(favouriteLike());
    std::mt19937 random(20261208);
    auto pick = [&](qsizetype n) { return qsizetype(random() % quint64(n)); };
    WarningCatcher warnings; // libpng may complain about damaged image bytes
    int rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray data = blob;
        switch (random() % 4) {
        case 0: // flip a few bytes
            for (int k = 0, n = 1 + int(random() % 4); k < n; ++k) data[pick(data.size())] = char(random());
            break;
        case 1: // a byte set to a CBOR head with a large argument
            data[pick(data.size())] = char(0x1a + 0x20 * (random() % 8));
            break;
        case 2: // insert random bytes
            data.insert(pick(data.size()), QByteArray(1 + int(random() % 8), char(random())));
            break;
        default: // cut a piece out
            data.remove(pick(data.size()), 1 + pick(16));
            break;
        }
        QString error;
        const auto value = Archive::unarchive(data, &error);
        if (!value) {
            ++rejected;
            EXPECT_FALSE(error.isEmpty());
        }
    }
    EXPECT_GT(rejected, 1000);
}

// No stored value may cost much more than 100 MB to read: a blob is at most 16 MB, and a blob of
// many one-byte elements (each of which costs far more once built) is refused by counting, before
// any of it is built. Writing refuses what reading would refuse.
TEST(Archive, BlobsAreBoundedInSizeAndElementsBeforeAnythingIsBuilt)
{
    WarningCatcher warnings;
    // An array of 300000 zeros: 300 kB of CBOR under an archive header.
    QByteArray many(1 + 4, '\0');
    many[0] = char(0x9a); // array, 32-bit length
    qToBigEndian<quint32>(300000, many.data() + 1);
    many += QByteArray(300000, '\0');
    QString error;
    EXPECT_FALSE(Archive::unarchive(archiveWithRawRoot(many), &error));
    EXPECT_TRUE(error.contains("elements")) << error.toStdString();
    // The same count is fine within the bound, and the values still come back.
    QVariantList list;
    for (int i = 0; i < 40000; ++i) list << i;
    EXPECT_EQ(roundTrip(list).toList().size(), 40000);
    // Writing refuses a value that reading would refuse, and a blob beyond 16 MB.
    for (int i = 0; i < 30000; ++i) list << i;
    EXPECT_TRUE(Archive::archivedData(list).isEmpty());
    EXPECT_TRUE(Archive::archivedData(QByteArray(Archive::maxBlobSize + 1, 'x')).isEmpty());
    EXPECT_FALSE(Archive::unarchive(QByteArray(Archive::maxBlobSize + 1, '\0'), &error));
    EXPECT_TRUE(error.contains("too large")) << error.toStdString();

    // A stored picture is bounded in bytes: 16-bit pixels count double.
    QImage deep(4000, 4000, QImage::Format_RGBA64);
    deep.fill(Qt::red);
    EXPECT_TRUE(Archive::archivedData(deep).isEmpty());
    EXPECT_EQ(roundTrip(deep.convertToFormat(QImage::Format_ARGB32)).value<QImage>().size(), QSize(4000, 4000));
}
