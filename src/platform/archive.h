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
// std::nullopt, never a crash or a giant allocation. Non-finite numbers are refused in both
// directions: no value the program stores may be NaN or infinite.
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
    static constexpr qsizetype maxBlobSize = 256 * 1024 * 1024;
    static constexpr qint64 maxImagePixels = 64 * 1024 * 1024;
    static constexpr int maxImageSide = 32768;
};
