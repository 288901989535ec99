#include "applycommand.h"

#include "effects/favoritestore.h"
#include "favoriterenderer.h"
#include "platform/imagefiles.h"
#include "platform/userdefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <cstdio>
#include <deque>
#include <future>

namespace {

const char *applyUsage =
    "usage: lumetta-cli apply --favourite N [--mode standard|custom|3d] IN... --out-dir DIR [--format EXT] [--seed N]\n";

// Results waiting to be written at once: with the file being read and the one being rendered, at
// most this many pictures are in memory.
constexpr std::size_t maxPendingWrites = 2;

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "lumetta-cli apply: %s\n", qPrintable(message));
    return code;
}

struct Loaded
{
    QImage picture;
    QString error;
};

// What happened to one file: its line of progress.
struct Outcome
{
    bool ok = false;
    QString line;
};

std::future<Outcome> ready(Outcome outcome)
{
    std::promise<Outcome> promise;
    promise.set_value(std::move(outcome));
    return promise.get_future();
}

} // namespace

int runApplyCommand(const QStringList &args)
{
    int number = 0;
    int mode = Favorite::Standard;
    QString outDir, extension;
    unsigned seed = 1;
    QStringList inputs;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool takesValue = a == QLatin1String("--favourite") || a == QLatin1String("--mode")
            || a == QLatin1String("--out-dir") || a == QLatin1String("--format") || a == QLatin1String("--seed");
        if (takesValue) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(a), 2);
            const QString value = args[++i];
            bool ok = true;
            if (a == QLatin1String("--favourite")) {
                number = value.toInt(&ok);
                if (!ok || number < 1)
                    return fail(QStringLiteral("--favourite takes the favourite's number (1 or more), got \"%1\"").arg(value), 2);
            } else if (a == QLatin1String("--mode")) {
                mode = Favorite::modeForName(value);
                if (mode < 0)
                    return fail(QStringLiteral("--mode is standard, custom or 3d, not \"%1\"").arg(value), 2);
            } else if (a == QLatin1String("--out-dir")) {
                outDir = value;
            } else if (a == QLatin1String("--format")) {
                extension = value.startsWith(QLatin1Char('.')) ? value.mid(1) : value;
                if (ImageFiles::formatForFileName(QStringLiteral("x.") + extension) < 0)
                    return fail(QStringLiteral("cannot write images of type \"%1\" (formats: %2)")
                                    .arg(value, ImageFiles::exportFormatNames().join(QStringLiteral(", "))), 2);
            } else {
                seed = value.toUInt(&ok);
                if (!ok)
                    return fail(QStringLiteral("the seed must be a non-negative whole number"), 2);
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1\n%2").arg(a, QString::fromLatin1(applyUsage)), 2);
        } else {
            inputs << a;
        }
    }
    if (number < 1 || outDir.isEmpty() || inputs.isEmpty()) {
        std::fputs(applyUsage, stderr);
        return 2;
    }

    const auto stored = FavoriteStore::read(UserDefaults::standardUserDefaults(), mode);
    if (!stored || number > stored->size())
        return fail(QStringLiteral("there is no %1 favourite %2 (%3 stored; see lumetta-cli favourites list)")
                        .arg(Favorite::modeName(mode)).arg(number).arg(stored ? stored->size() : 0));
    const StoredFavorite &entry = stored->at(number - 1);
    if (!entry.favorite)
        return fail(QStringLiteral("%1 favourite %2 cannot be used: %3").arg(Favorite::modeName(mode)).arg(number).arg(entry.error));
    if (!QDir().mkpath(outDir))
        return fail(QStringLiteral("cannot make the folder %1").arg(outDir));

    // Each input's output path, decided before any work so that no output replaces an input or
    // an earlier output.
    QSet<QString> inputPaths;
    for (const QString &in : inputs)
        inputPaths.insert(QFileInfo(in).absoluteFilePath());
    QStringList outputs;
    QSet<QString> taken;
    for (const QString &in : inputs) {
        const QFileInfo info(in);
        QString ext = extension;
        if (ext.isEmpty())
            ext = ImageFiles::formatForFileName(in) >= 0 ? info.suffix() : QStringLiteral("png");
        const QString out = QDir(outDir).absoluteFilePath(info.completeBaseName() + QLatin1Char('.') + ext);
        outputs << (inputPaths.contains(out) || taken.contains(out) ? QString() : out);
        taken.insert(out);
    }

    FavoriteRenderer renderer(*entry.favorite);
    const int count = int(inputs.size());
    const auto read = [](const QString &path) {
        Loaded loaded;
        loaded.picture = ImageFiles::readImageFile(path, &loaded.error);
        return loaded;
    };
    // Reading the next file and writing the last results run beside the rendering, which stays on
    // this thread (the drawn and 3D effects belong to it).
    std::deque<std::future<Outcome>> pending;
    int written = 0, failed = 0;
    const auto report = [&](std::future<Outcome> &outcome) {
        const Outcome o = outcome.get();
        std::fprintf(stderr, "%s\n", qPrintable(o.line));
        (o.ok ? written : failed) += 1;
    };
    std::future<Loaded> next = std::async(std::launch::async, read, inputs[0]);
    for (int i = 0; i < count; ++i) {
        Loaded loaded = next.get();
        if (i + 1 < count)
            next = std::async(std::launch::async, read, inputs[i + 1]);
        const QString head = QStringLiteral("[%1/%2] %3").arg(i + 1).arg(count).arg(inputs[i]);
        if (outputs[i].isEmpty()) {
            pending.push_back(ready({false, head + QStringLiteral(": not written, its output would replace an input or an earlier result")}));
        } else if (loaded.picture.isNull()) {
            pending.push_back(ready({false, head + QStringLiteral(": cannot read: ") + loaded.error}));
        } else {
            QString error;
            QImage result = renderer.render(loaded.picture, seed, &error);
            loaded.picture = QImage();
            if (result.isNull()) {
                pending.push_back(ready({false, head + QStringLiteral(": ") + error}));
            } else {
                pending.push_back(std::async(std::launch::async, [result = std::move(result), out = outputs[i], head] {
                    QString why;
                    if (!ImageFiles::writeImageFile(result, out, &why))
                        return Outcome{false, head + QStringLiteral(": cannot write %1: %2").arg(out, why)};
                    return Outcome{true, head + QStringLiteral(" -> ") + out};
                }));
            }
        }
        while (pending.size() > maxPendingWrites) {
            report(pending.front());
            pending.pop_front();
        }
    }
    while (!pending.empty()) {
        report(pending.front());
        pending.pop_front();
    }
    std::fprintf(stderr, "%d of %d files written, %d failed\n", written, count, failed);
    return failed ? 1 : 0;
}
