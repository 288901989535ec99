// The property tree of an image file: general properties from Qt's image reader, EXIF, IPTC and
// XMP groups from Exiv2. Nothing here decodes pixels, so a large photo costs no more than its
// headers.
#include "platform/imageproperties.h"

#include "platform/imagefiles.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <exception>
#include <memory>

namespace {

// Exiv2 keeps a process-wide XMP parser and a log; both are set up once. Its log is silenced:
// the panel and the tool report what matters themselves, and a hostile file must not flood stderr.
void initExiv2()
{
    static const bool done = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        return true;
    }();
    Q_UNUSED(done);
}

QString fromStd(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Values come straight from the file: control characters (line breaks, terminal escapes, NULs)
// become spaces so that they cannot break the panel's rows or the tool's output, and very long
// values are cut.
QString cleanValue(QString value)
{
    for (QChar &c : value)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    value = value.trimmed();
    if (value.size() > ImageProperties::maxValueLength)
        value = value.left(ImageProperties::maxValueLength - 1) + QChar(0x2026);
    return value;
}

// Sorts a level by key and merges repeated keys (IPTC keywords, say) into one comma-separated
// value, recursively.
void sortAndMerge(QList<PropertyNode> &nodes)
{
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const PropertyNode &a, const PropertyNode &b) { return a.key < b.key; });
    QList<PropertyNode> merged;
    for (PropertyNode &node : nodes) {
        if (!merged.isEmpty() && merged.last().key == node.key && !node.isGroup() && !merged.last().isGroup()) {
            if (!node.value.isEmpty())
                merged.last().value = cleanValue(merged.last().value + QStringLiteral(", ") + node.value);
            continue;
        }
        merged.append(std::move(node));
    }
    for (PropertyNode &node : merged)
        sortAndMerge(node.children);
    nodes = std::move(merged);
}

// The node of the group `key` in `nodes`, made when missing.
PropertyNode &groupNode(QList<PropertyNode> &nodes, const QString &key, const QString &name)
{
    for (PropertyNode &node : nodes)
        if (node.key == key && node.value.isEmpty())
            return node;
    nodes.append(PropertyNode{key, name, QString(), {}});
    return nodes.last();
}

// Exiv2 writes apertures as "F2.8"; photographers write f/2.8.
QString apertureValue(const QString &printed)
{
    static const QRegularExpression fNumber(QStringLiteral("^F(\\d+(\\.\\d+)?)$"));
    const QRegularExpressionMatch m = fNumber.match(printed);
    return m.hasMatch() ? QStringLiteral("f/") + m.captured(1) : printed;
}

// Exiv2 writes angles as "48deg 51' 24\"".
QString angleValue(const QString &printed)
{
    static const QRegularExpression degrees(QStringLiteral("^(\\d+)deg\\b"));
    QString value = printed;
    return value.replace(degrees, QStringLiteral("\\1\u00B0"));
}

// Structural EXIF entries: offsets of other directories and the raw maker note, whose content
// Exiv2 already lists in groups of its own.
bool isStructural(const std::string &key)
{
    static const char *const skipped[] = {"Exif.Image.ExifTag", "Exif.Image.GPSTag", "Exif.Photo.InteroperabilityTag",
                                          "Exif.Photo.MakerNote", "Exif.Image.SubIFDs"};
    for (const char *s : skipped)
        if (key == s)
            return true;
    return key.rfind("Exif.MakerNote.", 0) == 0;
}

// A label Exiv2 gives, or the tag name made readable when it gives none (or only the tag name).
QString labelOr(const std::string &label, const std::string &tagName)
{
    const QString text = fromStd(label).trimmed();
    if (text.isEmpty() || text == fromStd(tagName))
        return ImageProperties::readableName(fromStd(tagName));
    return text;
}

QString exifGroupName(const QString &group)
{
    static const QHash<QString, QString> names{{QStringLiteral("Iop"), QStringLiteral("Interoperability")},
                                               {QStringLiteral("GPSInfo"), QStringLiteral("GPS Info")}};
    return names.value(group, ImageProperties::readableName(group));
}

PropertyNode exifGroup(const Exiv2::ExifData &exif)
{
    PropertyNode group{QStringLiteral("{Exif}"), QStringLiteral("Exif"), QString(), {}};
    for (const Exiv2::Exifdatum &datum : exif) {
        const std::string key = datum.key();
        if (isStructural(key))
            continue;
        QString value = cleanValue(fromStd(datum.print(&exif)));
        const std::string tag = datum.tagName();
        if (tag == "FNumber" || tag == "ApertureValue" || tag == "MaxApertureValue")
            value = apertureValue(value);
        else if (tag == "GPSLatitude" || tag == "GPSLongitude" || tag == "GPSDestLatitude" || tag == "GPSDestLongitude")
            value = angleValue(value);
        const QString groupKey = fromStd(datum.groupName());
        groupNode(group.children, groupKey, exifGroupName(groupKey))
            .children.append(PropertyNode{fromStd(tag), labelOr(datum.tagLabel(), tag), value, {}});
    }
    return group;
}

PropertyNode iptcGroup(const Exiv2::IptcData &iptc)
{
    PropertyNode group{QStringLiteral("{IPTC}"), QStringLiteral("IPTC"), QString(), {}};
    for (const Exiv2::Iptcdatum &datum : iptc) {
        const QString groupKey = fromStd(datum.groupName());
        const std::string tag = datum.tagName();
        groupNode(group.children, groupKey, ImageProperties::readableName(groupKey))
            .children.append(PropertyNode{fromStd(tag), labelOr(datum.tagLabel(), tag), cleanValue(fromStd(datum.print())), {}});
    }
    return group;
}

QString xmpNamespaceName(const std::string &prefix)
{
    try {
        if (const Exiv2::XmpNsInfo *info = Exiv2::XmpProperties::nsInfo(prefix); info && info->desc_ && *info->desc_)
            return QString::fromUtf8(info->desc_);
    } catch (const std::exception &) {
        // A prefix Exiv2 does not know: fall through to the prefix itself.
    }
    return ImageProperties::readableName(fromStd(prefix));
}

PropertyNode xmpGroup(const Exiv2::XmpData &xmp)
{
    PropertyNode group{QStringLiteral("{XMP}"), QStringLiteral("XMP"), QString(), {}};
    for (const Exiv2::Xmpdatum &datum : xmp) {
        QString value;
        if (datum.typeId() == Exiv2::langAlt) {
            // Alternative languages print as lang="x-default" Text; the default text alone reads best.
            const auto &alternatives = static_cast<const Exiv2::LangAltValue &>(datum.value());
            const auto found = alternatives.value_.find("x-default");
            value = fromStd(found != alternatives.value_.end() ? found->second : datum.print());
        } else {
            value = fromStd(datum.print());
        }
        const std::string prefix = datum.groupName();
        const std::string tag = datum.tagName();
        groupNode(group.children, fromStd(prefix), xmpNamespaceName(prefix))
            .children.append(PropertyNode{fromStd(tag), labelOr(datum.tagLabel(), tag), cleanValue(value), {}});
    }
    return group;
}

struct FormatInfo
{
    int depth;
    const char *colorModel;
    // 1 with alpha, 0 without, -1 unknown (a palette may hold transparent colours).
    int alpha;
};

// Bits per channel, colour model and alpha of the picture the reader would deliver.
bool formatInfo(QImage::Format format, FormatInfo &info)
{
    // A reader that failed on the header can answer any number here.
    if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        return false;
    const QPixelFormat pixels = QImage::toPixelFormat(format);
    switch (pixels.colorModel()) {
    case QPixelFormat::Grayscale:
        info = {pixels.bitsPerPixel(), "Gray", 0};
        return true;
    case QPixelFormat::Alpha:
        info = {pixels.alphaSize(), "Gray", 1};
        return true;
    case QPixelFormat::Indexed:
        // Qt delivers palettes (and 1-bit pictures) as colour tables; whether a table entry is
        // transparent is only known once the picture is decoded.
        info = {pixels.bitsPerPixel(), "Indexed", -1};
        return true;
    case QPixelFormat::RGB:
    case QPixelFormat::BGR:
        // The green channel is the widest one of 565 pictures.
        info = {pixels.greenSize(), "RGB", pixels.alphaUsage() == QPixelFormat::UsesAlpha ? 1 : 0};
        return true;
    default:
        return false;
    }
}

// The orientation code the file stores (1 upright ... 8), as Qt's reader understood it.
int orientationCode(QImageIOHandler::Transformations t)
{
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

QString typeForQtFormat(const QByteArray &format)
{
    static const QHash<QByteArray, QString> types{
        {"jpeg", QStringLiteral("public.jpeg")},          {"jpg", QStringLiteral("public.jpeg")},
        {"png", QStringLiteral("public.png")},            {"gif", QStringLiteral("com.compuserve.gif")},
        {"webp", QStringLiteral("org.webmproject.webp")}, {"tiff", QStringLiteral("public.tiff")},
        {"tif", QStringLiteral("public.tiff")},           {"bmp", QStringLiteral("com.microsoft.bmp")},
        {"svg", QStringLiteral("public.svg-image")},      {"svgz", QStringLiteral("public.svg-image")},
        {"ico", QStringLiteral("com.microsoft.ico")},     {"cur", QStringLiteral("com.microsoft.cur")},
        {"icns", QStringLiteral("com.apple.icns")},       {"tga", QStringLiteral("com.truevision.tga-image")},
        {"pbm", QStringLiteral("public.pbm")},            {"pgm", QStringLiteral("public.pbm")},
        {"ppm", QStringLiteral("public.pbm")}};
    return types.value(format.toLower(), QStringLiteral("public.") + QString::fromLatin1(format.toLower()));
}

QString typeForMimeType(const std::string &mime)
{
    if (mime == "image/jp2")
        return QStringLiteral("public.jpeg-2000");
    if (mime == "image/x-photoshop")
        return QStringLiteral("com.adobe.photoshop-image");
    if (mime == "application/postscript")
        return QStringLiteral("com.adobe.encapsulated-postscript");
    // Exiv2 names camera raw formats image/x-<maker>-<format>.
    if (mime.rfind("image/x-", 0) == 0 && mime.find('-', 8) != std::string::npos)
        return QStringLiteral("public.camera-raw-image");
    return fromStd(mime);
}

void addGeneral(QList<PropertyNode> &nodes, const QString &key, const QString &value)
{
    nodes.append(PropertyNode{key, ImageProperties::readableName(key), value, {}});
}

} // namespace

QMap<QString, QString> ImageProperties::defaultTypeNames()
{
    return {{QStringLiteral("public.png"), QStringLiteral("PNG Image")},
            {QStringLiteral("com.compuserve.gif"), QStringLiteral("GIF Image")},
            {QStringLiteral("public.jpeg"), QStringLiteral("JPG Image")},
            {QStringLiteral("org.webmproject.webp"), QStringLiteral("WebP Image")},
            {QStringLiteral("public.tiff"), QStringLiteral("TIFF Image")},
            {QStringLiteral("com.microsoft.bmp"), QStringLiteral("BMP Image")},
            {QStringLiteral("public.svg-image"), QStringLiteral("SVG Image")},
            {QStringLiteral("public.camera-raw-image"), QStringLiteral("RAW Image")},
            {QStringLiteral("com.adobe.pdf"), QStringLiteral("PDF Image")}};
}

QString ImageProperties::readableName(const QString &key)
{
    // A space goes before an upper-case letter that follows a lower-case one ("PixelWidth"), before
    // the last capital of a run of capitals followed by a lower-case letter ("GPSInfo"), and
    // between letters and digits ("Application2"). The first letter is capitalised.
    QString out;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key[i];
        if (i > 0 && !out.endsWith(QLatin1Char(' '))) {
            const QChar prev = key[i - 1];
            const bool next = i + 1 < key.size() && key[i + 1].isLower();
            if ((c.isUpper() && (prev.isLower() || prev.isDigit() || (prev.isUpper() && next)))
                || (c.isDigit() && prev.isLetter()))
                out += QLatin1Char(' ');
        }
        out += c;
    }
    if (!out.isEmpty())
        out[0] = out[0].toUpper();
    return out;
}

ImageFileProperties ImageProperties::read(const QString &path)
{
    ImageFileProperties result;
    result.path = path;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = QStringLiteral("no such file");
        return result;
    }
    // Devices and pipes could block or never end; folders hold no picture.
    if (!info.isFile()) {
        result.error = QStringLiteral("not a regular file");
        return result;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        result.error = probe.errorString();
        return result;
    }
    probe.close();

    // The reader looks at the content, not the name: a PNG called photo.jpg is a PNG.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const bool qtKnows = reader.canRead();
    const QByteArray qtFormat = qtKnows ? reader.format() : QByteArray();

    initExiv2();
    std::unique_ptr<Exiv2::Image> exiv;
    try {
        exiv = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (exiv)
            exiv->readMetadata();
    } catch (const std::exception &e) {
        // Unknown to Exiv2, or metadata it cannot parse: the general properties still come from Qt.
        if (exiv)
            qDebug("ImageProperties: %s: %s", qPrintable(path), e.what());
        exiv.reset();
    }

    if (!qtKnows && !exiv) {
        result.error = QStringLiteral("not a picture Lumetta can read");
        return result;
    }
    result.readable = true;
    result.fileSize = info.size();
    QFile head(path);
    const bool jpeg2000 = head.open(QIODevice::ReadOnly) && ImageFiles::isJpeg2000(head.read(16));
    if (jpeg2000)
        result.typeIdentifier = QStringLiteral("public.jpeg-2000");
    else if (qtKnows)
        result.typeIdentifier = typeForQtFormat(qtFormat);
    else
        result.typeIdentifier = typeForMimeType(exiv->mimeType());

    QList<PropertyNode> &nodes = result.properties;
    QSize size = qtKnows ? reader.size() : QSize();
    if (!size.isValid() && exiv && exiv->pixelWidth() > 0 && exiv->pixelHeight() > 0)
        size = QSize(int(exiv->pixelWidth()), int(exiv->pixelHeight()));
    if (size.isValid()) {
        addGeneral(nodes, QStringLiteral("PixelWidth"), QString::number(size.width()));
        addGeneral(nodes, QStringLiteral("PixelHeight"), QString::number(size.height()));
    }
    FormatInfo format{};
    if (qtKnows && formatInfo(reader.imageFormat(), format)) {
        addGeneral(nodes, QStringLiteral("Depth"), QString::number(format.depth));
        addGeneral(nodes, QStringLiteral("ColorModel"), QString::fromLatin1(format.colorModel));
        if (format.alpha >= 0)
            addGeneral(nodes, QStringLiteral("HasAlpha"), format.alpha ? QStringLiteral("Yes") : QStringLiteral("No"));
    }

    int orientation = 0;
    if (exiv) {
        try {
            const Exiv2::ExifData &exif = exiv->exifData();
            const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
            if (found != exif.end() && found->count() > 0)
                orientation = int(found->toLong());
            if (!exif.empty())
                nodes.append(exifGroup(exif));
            if (!exiv->iptcData().empty())
                nodes.append(iptcGroup(exiv->iptcData()));
            if (!exiv->xmpData().empty())
                nodes.append(xmpGroup(exiv->xmpData()));
        } catch (const std::exception &e) {
            qDebug("ImageProperties: %s: %s", qPrintable(path), e.what());
        }
    }
    // Without Exiv2 only Qt's reader knows the orientation; like Exiv2 it is listed only when the
    // file stores one, which the reader can only tell apart from upright when it is not upright.
    if (!exiv && qtKnows && reader.supportsOption(QImageIOHandler::ImageTransformation)
        && reader.transformation() != QImageIOHandler::TransformationNone)
        orientation = orientationCode(reader.transformation());
    if (orientation >= 1 && orientation <= 8)
        addGeneral(nodes, QStringLiteral("Orientation"), QString::number(orientation));

    sortAndMerge(nodes);
    return result;
}
