#include "effects/favoritestore.h"

#include "platform/userdefaults.h"

#include <QDebug>

namespace FavoriteStore {

std::optional<QList<StoredFavorite>> read(const UserDefaults &defaults, int mode)
{
    const QString key = Favorite::defaultsKey(mode);
    const auto records = defaults.records(key);
    if (!records)
        return std::nullopt;
    QList<StoredFavorite> list;
    list.reserve(records->size());
    for (int i = 0; i < records->size(); ++i) {
        StoredFavorite entry;
        entry.record = records->at(i);
        entry.favorite = Favorite::fromStoredRecord(mode, entry.record, &entry.error);
        if (!entry.favorite)
            qWarning().noquote() << QStringLiteral("Favourites: skipping %1 favourite %2 (kept as stored): %3")
                                        .arg(Favorite::modeName(mode)).arg(i + 1).arg(entry.error);
        list.append(entry);
    }
    return list;
}

bool write(UserDefaults &defaults, int mode, const QList<QVariantMap> &records)
{
    defaults.setRecords(records, Favorite::defaultsKey(mode));
    return defaults.synchronize();
}

} // namespace FavoriteStore
