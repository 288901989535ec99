#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Serialises the values the program keeps in its user defaults (favourite settings, effect
// parameters, button pictures) into a self-describing CBOR blob, and reads such blobs back.
//
// Supported values, nestable: int, qint64, double, float, bool, QString, QByteArray,
// imaging::Vector, imaging::Color, imaging::AffineTransform, QImage (kept as PNG), QVariantMap
// (string keys) and QVariantList. Every value carries a type tag, so each comes back with the type
// it was stored with (a bool stays a bool, a float a float).
//
// Reading treats the blob as untrusted: anything malformed, foreign, truncated or oversized gives
// std::nullopt, never a crash or a giant allocation. The blob's size, its number of elements, its
// nesting and the size of a stored picture are bounded so that no stored value costs more than
// about 100 MB to read, and the structure is checked by a streaming pass before any of it is built
// in memory. Non-finite numbers are refused in both directions: no value the program stores may be
// NaN or infinite.
class Archive
{
public:
    // Empty (and one warning) when the value or something nested in it cannot be stored.
    static QByteArray archivedData(const QVariant &value);
    // Logs one warning when the blob cannot be read.
    static std::optional<QVariant> unarchive(const QByteArray &data);
    // Does not log; on failure `error` (when given) receives the reason.
    static std::optional<QVariant> unarchive(const QByteArray &data, QString *error);

    // Limits applied when reading; writing refuses what could not be read back.
    static constexpr int maxDepth = 32;
    static constexpr qsizetype maxBlobSize = 16 * 1024 * 1024;
    // Values of every kind, dictionary keys included: each costs a few hundred bytes once read.
    static constexpr qint64 maxElements = 200'000;
    // A stored picture, decoded (4 bytes a pixel, 8 for deep pictures).
    static constexpr qint64 maxImageBytes = 64 * 1024 * 1024;
    static constexpr int maxImageSide = 32768;
};
