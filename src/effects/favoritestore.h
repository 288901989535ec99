#pragma once

#include "effects/favorite.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

class UserDefaults;

// One record of a mode's stored list as it was read: the record exactly as found (so that it can
// be written back unchanged) and the favourite it holds, or none with the reason when it is broken.
struct StoredFavorite
{
    QVariantMap record;
    std::optional<Favorite> favorite;
    QString error;
};

// Reading and writing the favourites lists in the user's settings. The window and lumetta-cli use
// the same settings file, so favourites made in one are there for the other.
namespace FavoriteStore {

// The mode's stored list; none when the settings hold no list for the mode. Each broken record is
// logged once ("Favourites: skipping ...") and returned without a favourite.
std::optional<QList<StoredFavorite>> read(const UserDefaults &defaults, int mode);
// Replaces the mode's list and writes the settings file at once (atomically); false when writing
// failed.
bool write(UserDefaults &defaults, int mode, const QList<QVariantMap> &records);

} // namespace FavoriteStore
