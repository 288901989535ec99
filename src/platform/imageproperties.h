#pragma once

#include <QList>
#include <QMap>
#include <QString>

// One property of an image file, or a group of them. `key` is the property's own name and the
// sort key ("ExposureTime", "{Exif}"); `name` is what a person reads ("Exposure Time", "Exif");
// `value` is in its usual human form ("1/125 s", "f/2.8") and empty for a group.
struct PropertyNode
{
    QString key;
    QString name;
    QString value;
    QList<PropertyNode> children; // a group's members, sorted by key

    bool isGroup() const { return !children.isEmpty(); }
};

// What an image file says about itself, read without decoding its pixels.
struct ImageFileProperties
{
    QString path;
    // False for a missing file, a folder, a device or pipe, or a file no reader recognises; then
    // typeIdentifier, fileSize and properties are empty and `error` says why.
    bool readable = false;
    QString typeIdentifier; // "public.jpeg", "public.png", ...
    qint64 fileSize = -1;   // in bytes
    // The general properties the file declares (pixel size, depth, colour model, alpha,
    // orientation), then the groups "{Exif}", "{IPTC}" and "{XMP}" when the file has them; every
    // level sorted by key.
    QList<PropertyNode> properties;
    QString error;
};

// Reads the property tree of image files: Exiv2 for the EXIF, IPTC and XMP groups (with Exiv2's
// tag labels and interpreted values), Qt's image reader for the general properties, so that a
// file Exiv2 does not know still gets its pixel size, depth and colour model. Shared by the
// information panel and lumetta-cli. No widgets.
class ImageProperties
{
public:
    static ImageFileProperties read(const QString &path);

    // Type identifier -> friendly name ("public.png" -> "PNG Image", ...).
    static QMap<QString, QString> defaultTypeNames();
    // A key split into words: "PixelWidth" -> "Pixel Width", "GPSInfo" -> "GPS Info",
    // "Application2" -> "Application 2".
    static QString readableName(const QString &key);
    // Values longer than this many characters are cut and end in an ellipsis: binary tags can
    // hold kilobytes that nobody reads.
    static constexpr int maxValueLength = 256;
};
