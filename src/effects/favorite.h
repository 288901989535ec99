#pragma once

#include "platform/filtermode.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace imaging {
class Image;
}

// A favourite: an effect of one of the three modes with its values, and a small picture of its
// result. The window shows each mode's favourites as buttons in the mode's strip; lumetta-cli
// lists, exports, imports and applies them. Both keep them in the user's settings in one form.
//
// Stored form: one list of records per mode (under defaultsKey), each record a dictionary whose
// every value is an Archive blob:
//   "ButtonImage"   the picture
//   "ToolTipName"   the name the button shows as its tooltip
//   standard mode:  "class" = the filter's name, and one entry per input key holding its value
//   3D and custom:  "classObj" = the effect's settings (their "class" entry names the effect)
struct Favorite
{
    using Mode = FilterMode;
    using enum filtermodes::FilterMode;
    static constexpr int modeCount = filtermodes::count;
    static constexpr int pictureWidth = 40;
    static constexpr int pictureHeight = 25;

    int mode = Standard;
    // The filter's name (standard mode) or the effect's class (3D and custom modes).
    QString className;
    QString toolTipName;
    // Standard mode: input key -> value, in the engine's value types (image inputs as
    // imaging::Image). 3D and custom modes: the effect's settings, "class" included.
    QVariantMap values;
    // ARGB32, as buttonPicture makes it and the stored form gives it back.
    QImage picture;

    // "standard", "3d", "custom"; modeForName gives -1 for any other word.
    static QString modeName(int mode);
    static int modeForName(const QString &name);
    // The settings key of a mode's list: "EffectsFavorites", "3DEffectsFavorites",
    // "CustomEffectsFavorites".
    static QString defaultsKey(int mode);
    // The effect classes a mode's favourites may name (none for the standard mode).
    static QStringList effectClasses(int mode);

    // The button's picture: `source` drawn whole into 40 x 25, stretched without keeping its
    // proportions. Null for a null source.
    static QImage buttonPicture(const QImage &source);
    // The same for an engine result, rendered at a reduced scale first so that a large image costs
    // little; the whole finite extent is shown.
    static QImage buttonPicture(const imaging::Image &result);

    // Checks the favourite against what exists: the filter or effect, each value's key and type,
    // and the bounds of effect settings that decide how much work a rendering is. Values are brought
    // to the types the filter or effect uses. False, with the reason in `error`, at the first fault.
    bool check(QString *error);

    // The stored form. A value that cannot be archived is left out (with a log line).
    QVariantMap storedRecord() const;
    // The favourite a stored record holds; none, with the reason in `error`, when any blob is
    // damaged, the picture is missing or does not decode, or check() refuses it.
    static std::optional<Favorite> fromStoredRecord(int mode, const QVariantMap &record, QString *error);
};
