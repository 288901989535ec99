#include "favoritescommand.h"

#include "effects/favoritesjson.h"
#include "effects/favoritestore.h"
#include "favoriterenderer.h"
#include "imaging/values.h"
#include "platform/imagefiles.h"
#include "platform/userdefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

namespace {

const char *favoritesUsage =
    "usage: lumetta-cli favourites list [--json]\n"
    "       lumetta-cli favourites export FILE\n"
    "       lumetta-cli favourites import FILE\n";

// An exchange file larger than this is not a list of favourites anyone made.
constexpr qint64 maxFileSize = 64 * 1024 * 1024;

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "lumetta-cli favourites: %s\n", qPrintable(message));
    return code;
}

// The stored lists of the three modes, in mode order (absent lists are empty).
QList<QList<StoredFavorite>> storedLists()
{
    QList<QList<StoredFavorite>> lists;
    for (int mode = 0; mode < Favorite::modeCount; ++mode)
        lists.append(FavoriteStore::read(UserDefaults::standardUserDefaults(), mode).value_or(QList<StoredFavorite>()));
    return lists;
}

QString valueText(const QVariant &value)
{
    auto list = [](std::initializer_list<double> parts) {
        QStringList words;
        for (double p : parts)
            words << QString::number(p);
        return QStringLiteral("[%1]").arg(words.join(QLatin1Char(' ')));
    };
    if (value.metaType() == QMetaType::fromType<imaging::Vector>()) {
        const auto v = value.value<imaging::Vector>();
        QStringList words;
        for (std::size_t i = 0; i < v.count(); ++i)
            words << QString::number(v.value(i));
        return QStringLiteral("[%1]").arg(words.join(QLatin1Char(' ')));
    }
    if (value.metaType() == QMetaType::fromType<imaging::Color>()) {
        const auto c = value.value<imaging::Color>();
        return list({c.red, c.green, c.blue, c.alpha});
    }
    if (value.metaType() == QMetaType::fromType<imaging::AffineTransform>()) {
        const auto t = value.value<imaging::AffineTransform>();
        return list({t.m11, t.m12, t.m21, t.m22, t.tX, t.tY});
    }
    if (value.metaType() == QMetaType::fromType<imaging::Image>()) {
        const imaging::Rect e = value.value<imaging::Image>().extent();
        return QStringLiteral("<image %1x%2>").arg(e.width()).arg(e.height());
    }
    return value.toString();
}

int list(bool json)
{
    const QList<QList<StoredFavorite>> lists = storedLists();
    if (json) {
        QJsonArray entries;
        for (int mode = 0; mode < Favorite::modeCount; ++mode) {
            for (int i = 0; i < lists[mode].size(); ++i) {
                const StoredFavorite &stored = lists[mode][i];
                QJsonObject entry = stored.favorite ? FavoritesJson::toJson(*stored.favorite, i, {})
                                                    : QJsonObject{{QStringLiteral("mode"), Favorite::modeName(mode)},
                                                                  {QStringLiteral("broken"), stored.error}};
                entry.insert(QStringLiteral("index"), i + 1);
                entries.append(entry);
            }
        }
        const QJsonObject top{{QStringLiteral("settings"), UserDefaults::standardUserDefaults().fileName()},
                              {QStringLiteral("favourites"), entries}};
        const QByteArray out = QJsonDocument(top).toJson(QJsonDocument::Indented);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    std::printf("Favourites in %s\n", qPrintable(UserDefaults::standardUserDefaults().fileName()));
    for (int mode = 0; mode < Favorite::modeCount; ++mode) {
        std::printf("%s (%d)\n", qPrintable(Favorite::modeName(mode)), int(lists[mode].size()));
        for (int i = 0; i < lists[mode].size(); ++i) {
            const StoredFavorite &stored = lists[mode][i];
            if (!stored.favorite) {
                std::printf("  %3d  [broken] %s\n", i + 1, qPrintable(stored.error));
                continue;
            }
            const Favorite &f = *stored.favorite;
            std::printf("  %3d  %s (%s)\n", i + 1, qPrintable(f.toolTipName), qPrintable(f.className));
            for (auto it = f.values.begin(); it != f.values.end(); ++it)
                if (it.key() != QLatin1String("class"))
                    std::printf("         %s = %s\n", qPrintable(it.key()), qPrintable(valueText(*it)));
        }
    }
    return 0;
}

int exportTo(const QString &path)
{
    const QList<QList<StoredFavorite>> lists = storedLists();
    QList<Favorite> favorites;
    int broken = 0;
    for (const QList<StoredFavorite> &modeList : lists) {
        for (const StoredFavorite &stored : modeList) {
            if (stored.favorite)
                favorites.append(*stored.favorite);
            else
                ++broken;
        }
    }
    const QFileInfo file(path);
    const QString imageFolder = file.completeBaseName() + QStringLiteral("-images");
    QString imageError;
    // Image inputs go beside the file as PNG, named after the favourite's number and the input.
    const auto saveImage = [&](int index, const QString &key, const QImage &picture) -> QString {
        const QString relative = QStringLiteral("%1/%2-%3.png").arg(imageFolder).arg(index + 1).arg(key);
        QString error;
        if (!QDir(file.absolutePath()).mkpath(imageFolder)
            || !ImageFiles::writeImageFile(picture, file.absoluteDir().filePath(relative), ImageFiles::PNG, &error)) {
            imageError = QStringLiteral("cannot write %1: %2").arg(relative, error.isEmpty() ? QStringLiteral("no folder") : error);
            return QString();
        }
        return relative;
    };
    const QByteArray document = FavoritesJson::toDocument(favorites, saveImage);
    if (!imageError.isEmpty())
        return fail(imageError);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(document) != document.size() || !out.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
    std::printf("exported %d favourites to %s\n", int(favorites.size()), qPrintable(path));
    if (broken)
        std::fprintf(stderr, "lumetta-cli favourites: left out %d broken favourites (see favourites list)\n", broken);
    return 0;
}

int importFrom(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return fail(QStringLiteral("cannot read %1: not a file").arg(path));
    if (file.size() > maxFileSize)
        return fail(QStringLiteral("cannot read %1: larger than %2 MB").arg(path).arg(maxFileSize >> 20));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
    const QByteArray json = in.read(maxFileSize + 1);

    // Image inputs are files named relative to the favourites file, read like every picture.
    const QDir folder = file.absoluteDir();
    const auto loadImage = [&folder](const QString &relative, QString *error) {
        QString why;
        const QImage picture = ImageFiles::readImageFile(folder.filePath(relative), &why);
        if (picture.isNull() && error)
            *error = QStringLiteral("cannot read %1: %2").arg(relative, why);
        return picture;
    };
    QString error;
    const auto favorites = FavoritesJson::fromDocument(json, loadImage, &error);
    if (!favorites)
        return fail(QStringLiteral("%1 refused, nothing imported: %2").arg(path, error));

    // Pictures over the start-up image, as if each favourite had been made in the window there.
    const QImage startup = ImageFiles::readImageFile(QStringLiteral(":/images/main_img.jpg"), &error);
    QList<QVariantMap> added[Favorite::modeCount];
    for (Favorite favorite : *favorites) {
        FavoriteRenderer renderer(favorite);
        favorite.picture = renderer.buttonPicture(startup);
        added[favorite.mode].append(favorite.storedRecord());
    }
    // Appended to the stored lists, all in one write of the settings file.
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    for (int mode = 0; mode < Favorite::modeCount; ++mode) {
        if (added[mode].isEmpty())
            continue;
        // The stored records as they are, broken ones included.
        const QList<QVariantMap> records = defaults.records(Favorite::defaultsKey(mode)).value_or(QList<QVariantMap>());
        defaults.setRecords(records + added[mode], Favorite::defaultsKey(mode));
    }
    if (!defaults.synchronize())
        return fail(QStringLiteral("cannot write the settings file %1").arg(defaults.fileName()));
    std::printf("imported %d favourites (standard %d, 3d %d, custom %d)\n", int(favorites->size()),
                int(added[0].size()), int(added[1].size()), int(added[2].size()));
    return 0;
}

} // namespace

int runFavoritesCommand(const QStringList &args)
{
    const QString action = args.value(0);
    if (action == QLatin1String("list") && (args.size() == 1 || (args.size() == 2 && args[1] == QLatin1String("--json"))))
        return list(args.size() == 2);
    if ((action == QLatin1String("export") || action == QLatin1String("import")) && args.size() == 2
        && !args[1].startsWith(QLatin1String("--")))
        return action == QLatin1String("export") ? exportTo(args[1]) : importFrom(args[1]);
    std::fputs(favoritesUsage, stderr);
    return 2;
}
