// Image file properties: the tree of a JPEG with EXIF, IPTC and XMP data, types told by content,
// files that cannot be read, and hostile metadata.
#include "platform/imagefiles.h"
#include "platform/imageproperties.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString fixture = QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/exif_cat.jpg");

const PropertyNode *child(const QList<PropertyNode> &nodes, const QString &key)
{
    for (const PropertyNode &node : nodes)
        if (node.key == key)
            return &node;
    return nullptr;
}

QStringList keys(const QList<PropertyNode> &nodes)
{
    QStringList list;
    for (const PropertyNode &node : nodes)
        list << node.key;
    return list;
}

// Every level of the tree is in ascending key order.
void expectSorted(const QList<PropertyNode> &nodes)
{
    const QStringList k = keys(nodes);
    QStringList sorted = k;
    sorted.sort(Qt::CaseSensitive);
    EXPECT_EQ(k, sorted);
    for (const PropertyNode &node : nodes)
        expectSorted(node.children);
}

QString copyOf(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile::remove(path);
    return QFile::copy(fixture, path) ? path : QString();
}

} // namespace

TEST(ImageProperties, JpegWithExifIptcAndXmpGivesASortedReadableTree)
{
    const ImageFileProperties info = ImageProperties::read(fixture);
    ASSERT_TRUE(info.readable) << info.error.toStdString();
    EXPECT_EQ(info.typeIdentifier, "public.jpeg");
    EXPECT_EQ(info.fileSize, QFileInfo(fixture).size());
    expectSorted(info.properties);

    // General properties first ("{" sorts after letters), then the three groups.
    EXPECT_EQ(keys(info.properties), QStringList({"ColorModel", "Depth", "HasAlpha", "Orientation", "PixelHeight",
                                                  "PixelWidth", "{Exif}", "{IPTC}", "{XMP}"}));
    EXPECT_EQ(child(info.properties, "PixelWidth")->value, "120");
    EXPECT_EQ(child(info.properties, "PixelHeight")->name, "Pixel Height");
    EXPECT_EQ(child(info.properties, "PixelHeight")->value, "80");
    EXPECT_EQ(child(info.properties, "ColorModel")->value, "RGB");
    EXPECT_EQ(child(info.properties, "Depth")->value, "8");
    EXPECT_EQ(child(info.properties, "Orientation")->value, "1");

    const PropertyNode *exif = child(info.properties, "{Exif}");
    ASSERT_TRUE(exif && exif->isGroup());
    EXPECT_EQ(exif->name, "Exif");
    EXPECT_TRUE(exif->value.isEmpty());
    EXPECT_EQ(keys(exif->children), QStringList({"GPSInfo", "Image", "Photo"}));
    EXPECT_EQ(child(exif->children, "GPSInfo")->name, "GPS Info");
    const PropertyNode *photo = child(exif->children, "Photo");
    const PropertyNode *exposure = child(photo->children, "ExposureTime");
    ASSERT_NE(exposure, nullptr);
    EXPECT_EQ(exposure->name, "Exposure Time");
    EXPECT_EQ(exposure->value, "1/125 s");
    EXPECT_EQ(child(photo->children, "FNumber")->name, "F Number");
    EXPECT_EQ(child(photo->children, "FNumber")->value, "f/2.8");
    EXPECT_EQ(child(photo->children, "FocalLength")->value, "50.0 mm");
    EXPECT_EQ(child(child(exif->children, "GPSInfo")->children, "GPSLatitude")->value, QString::fromUtf8("48° 51' 24\""));
    // Offsets of other directories are the file's plumbing, not properties.
    EXPECT_EQ(child(child(exif->children, "Image")->children, "ExifTag"), nullptr);
    EXPECT_EQ(child(child(exif->children, "Image")->children, "GPSTag"), nullptr);

    // Repeated IPTC keywords are one property; XMP text in alternative languages shows its default.
    const PropertyNode *iptc = child(child(info.properties, "{IPTC}")->children, "Application2");
    EXPECT_EQ(child(iptc->children, "Keywords")->value, "cat, portrait");
    const PropertyNode *dc = child(child(info.properties, "{XMP}")->children, "dc");
    EXPECT_EQ(dc->name, "Dublin Core schema");
    EXPECT_EQ(child(dc->children, "title")->name, "Title");
    EXPECT_EQ(child(dc->children, "title")->value, "Chelsea the cat");
}

TEST(ImageProperties, TheContentDecidesTheTypeAndFilesWithoutMetadataStillGetGeneralProperties)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(33, 21, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 200, 30, 128));

    // A PNG under a JPEG name is a PNG, with its alpha.
    const QString png = dir.filePath("really-a-png.jpg");
    ASSERT_TRUE(picture.save(png, "PNG"));
    ImageFileProperties info = ImageProperties::read(png);
    ASSERT_TRUE(info.readable);
    EXPECT_EQ(info.typeIdentifier, "public.png");
    EXPECT_EQ(child(info.properties, "HasAlpha")->value, "Yes");
    EXPECT_EQ(child(info.properties, "PixelWidth")->value, "33");
    EXPECT_EQ(child(info.properties, "{Exif}"), nullptr);

    // JPEG-2000, which Qt cannot read: Exiv2 gives the type and the pixel size.
    const QString jp2 = dir.filePath("picture.jp2");
    ASSERT_TRUE(ImageFiles::writeImageFile(picture, jp2, ImageFiles::JPEG2000));
    info = ImageProperties::read(jp2);
    ASSERT_TRUE(info.readable) << info.error.toStdString();
    EXPECT_EQ(info.typeIdentifier, "public.jpeg-2000");
    ASSERT_NE(child(info.properties, "PixelHeight"), nullptr);
    EXPECT_EQ(child(info.properties, "PixelHeight")->value, "21");

    // A palette picture: whether a colour is transparent is not known before decoding, so the
    // tree says nothing about alpha rather than something wrong.
    QImage palette(8, 8, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(255, 0, 0, 0), qRgb(0, 0, 255)});
    palette.fill(1);
    const QString indexed = dir.filePath("palette.png");
    ASSERT_TRUE(palette.save(indexed));
    info = ImageProperties::read(indexed);
    EXPECT_EQ(child(info.properties, "ColorModel")->value, "Indexed");
    EXPECT_EQ(child(info.properties, "HasAlpha"), nullptr);

    const QString gif = dir.filePath("picture.gif");
    ASSERT_TRUE(ImageFiles::writeImageFile(picture, gif, ImageFiles::GIF));
    EXPECT_EQ(ImageProperties::read(gif).typeIdentifier, "com.compuserve.gif");
    EXPECT_EQ(ImageProperties::defaultTypeNames().value("com.compuserve.gif"), "GIF Image");
    EXPECT_EQ(ImageProperties::defaultTypeNames().value("public.jpeg"), "JPG Image");
}

TEST(ImageProperties, MissingFoldersPipesAndNonPicturesAreUnreadableWithAReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = dir.filePath("notes.jpg");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("just some words, not a picture\n");
    file.close();
    // A pipe nobody writes to: reading it would wait for ever.
    const QString fifo = dir.filePath("pipe.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString &path : {dir.filePath("missing.png"), dir.path(), fifo, text}) {
        const ImageFileProperties info = ImageProperties::read(path);
        EXPECT_FALSE(info.readable) << path.toStdString();
        EXPECT_FALSE(info.error.isEmpty()) << path.toStdString();
        EXPECT_TRUE(info.typeIdentifier.isEmpty());
        EXPECT_EQ(info.fileSize, -1);
        EXPECT_TRUE(info.properties.isEmpty());
        EXPECT_EQ(info.path, path);
    }
}

TEST(ImageProperties, HostileValuesAreCleanedAndCutAndBrokenMetadataDoesNotStopTheReader)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = copyOf(dir, "hostile.jpg");
    ASSERT_FALSE(path.isEmpty());
    {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        image->exifData()["Exif.Image.ImageDescription"] =
            std::string("first line\nsecond\x1b[31m red") + std::string(5000, 'x');
        // An aperture in APEX units: 3 is f/2.8, shown the photographer's way like the f-number.
        image->exifData()["Exif.Photo.ApertureValue"] = Exiv2::URational(3, 1);
        image->writeMetadata();
    }
    const ImageFileProperties info = ImageProperties::read(path);
    ASSERT_TRUE(info.readable);
    const PropertyNode *description =
        child(child(child(info.properties, "{Exif}")->children, "Image")->children, "ImageDescription");
    ASSERT_NE(description, nullptr);
    EXPECT_TRUE(description->value.startsWith("first line second"));
    for (QChar c : description->value)
        EXPECT_NE(c.category(), QChar::Other_Control);
    EXPECT_EQ(description->value.size(), ImageProperties::maxValueLength);
    EXPECT_EQ(description->value.back(), QChar(0x2026));
    const PropertyNode *photo = child(child(info.properties, "{Exif}")->children, "Photo");
    EXPECT_EQ(child(photo->children, "ApertureValue")->value, "f/2.8");

    // Cut anywhere in the headers, the file gives what can be read and never crashes the reader.
    QFile original(fixture);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    for (int cut = 4; cut < 1400; cut += 37) {
        const QString truncated = dir.filePath(QStringLiteral("cut%1.jpg").arg(cut));
        QFile out(truncated);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(cut));
        out.close();
        const ImageFileProperties cutInfo = ImageProperties::read(truncated);
        if (cutInfo.readable) {
            EXPECT_EQ(cutInfo.typeIdentifier, "public.jpeg");
        }
    }
}

TEST(ImageProperties, ReadableNamesSplitWordsRunsOfCapitalsAndNumbers)
{
    EXPECT_EQ(ImageProperties::readableName("PixelWidth"), "Pixel Width");
    EXPECT_EQ(ImageProperties::readableName("GPSInfo"), "GPS Info");
    EXPECT_EQ(ImageProperties::readableName("ISOSpeedRatings"), "ISO Speed Ratings");
    EXPECT_EQ(ImageProperties::readableName("Application2"), "Application 2");
    EXPECT_EQ(ImageProperties::readableName("title"), "Title");
    EXPECT_EQ(ImageProperties::readableName("DPI"), "DPI");
    EXPECT_EQ(ImageProperties::readableName(""), "");
}
