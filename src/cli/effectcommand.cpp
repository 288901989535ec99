#include "effectcommand.h"
#include "clifiles.h"

#include "effects/baseeffect.h"
#include "effects/drawneffect.h"
#include "effects/effectcatalog.h"
#include "effects/stillimagehost.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"
#include "valueparser.h"


#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "lumetta-cli effect: %s\n", qPrintable(message));
    return code;
}

const char *effectUsage = "usage: lumetta-cli effect NAME [--set KEY=VALUE]... [--seed N] [--time] IN OUT\n";

} // namespace

QVariant parseSetting(const QString &text, const QVariant &example, QString &error)
{
    bool ok = false;
    switch (example.userType()) {
    case QMetaType::Bool: {
        const QString t = text.toLower();
        if (t == "1" || t == "true" || t == "yes")
            return true;
        if (t == "0" || t == "false" || t == "no")
            return false;
        error = QStringLiteral("expected true or false, got \"%1\"").arg(text);
        return {};
    }
    case QMetaType::Int: {
        const int v = text.toInt(&ok);
        if (ok)
            return v;
        error = QStringLiteral("expected a whole number, got \"%1\"").arg(text);
        return {};
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        const float v = text.toFloat(&ok);
        if (ok && std::isfinite(v))
            return v;
        error = QStringLiteral("expected a number, got \"%1\"").arg(text);
        return {};
    }
    case QMetaType::QString:
        return text;
    default:
        if (example.userType() == qMetaTypeId<imaging::Color>())
            return parseFilterValue(text, imaging::kClassCIColor, QString(), example, error);
        error = QStringLiteral("this key cannot be set");
        return {};
    }
}

bool parseSettings(const QStringList &sets, const BaseEffect &effect, const QString &name, QVariantMap &settings,
                   QString &error)
{
    // The effect's own settings keys, with the types they are stored as.
    const QVariantMap defaults = effect.save();
    for (const QString &set : sets) {
        const int eq = set.indexOf('=');
        if (eq <= 0) {
            error = QStringLiteral("--set expects KEY=VALUE, got \"%1\"").arg(set);
            return false;
        }
        const QString key = set.left(eq);
        if (!defaults.contains(key) || key == "class") {
            QStringList keys = defaults.keys();
            keys.removeAll("class");
            error = QStringLiteral("%1 has no setting %2 (settings: %3)").arg(name, key, keys.join(", "));
            return false;
        }
        QString valueError;
        const QVariant value = parseSetting(set.mid(eq + 1), defaults.value(key), valueError);
        if (!value.isValid()) {
            error = QStringLiteral("%1: %2").arg(key, valueError);
            return false;
        }
        settings.insert(key, value);
    }
    return true;
}

int runEffectCommand(const QStringList &args)
{
    QString name;
    QStringList sets, files;
    unsigned seed = 1;
    bool timeIt = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--set" || a == "--seed") {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(a), 2);
            const QString value = args[++i];
            if (a == "--set") {
                sets << value;
            } else {
                bool ok = false;
                seed = value.toUInt(&ok);
                if (!ok)
                    return fail(QStringLiteral("the seed must be a non-negative whole number"), 2);
            }
        } else if (a == "--time") {
            timeIt = true;
        } else if (a.startsWith("--")) {
            return fail(QStringLiteral("unknown option %1\n%2").arg(a, QString::fromLatin1(effectUsage)), 2);
        } else if (name.isEmpty()) {
            name = a;
        } else {
            files << a;
        }
    }
    if (name.isEmpty() || files.size() != 2) {
        std::fputs(effectUsage, stderr);
        return 2;
    }

    std::unique_ptr<BaseEffect> prototype = EffectCatalog::prototype(name);
    if (!prototype)
        return fail(QStringLiteral("unknown effect %1 (known: %2)")
                        .arg(name, EffectCatalog::drawnEffectClassNames().join(", ")), 2);

    QString error;
    if (!clifiles::checkOutputName(files[1], &error))
        return fail(error);
    const QImage input = clifiles::readInput(files[0], &error);
    if (input.isNull())
        return fail(error);

    QVariantMap settings;
    QString settingsError;
    if (!parseSettings(sets, *prototype, name, settings, settingsError))
        return fail(settingsError, 2);

    StillImageHost host(input);
    std::srand(seed);
    srandom(seed);

    // The working copy, as the window makes it when the effect is chosen.
    std::unique_ptr<BaseEffect> effect = prototype->mycopy();
    effect->read(settings);
    effect->loadImage();
    const auto start = std::chrono::steady_clock::now();
    if (auto *drawn = dynamic_cast<DrawnEffect *>(effect.get()))
        drawn->makeImageEffect();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    effect->markInitialised();
    const QImage picture = effect->getDrawImage();
    if (picture.isNull())
        return fail(QStringLiteral("%1 produced no picture").arg(name));

    if (!clifiles::writeOutput(picture, files[1], &error))
        return fail(error);
    if (timeIt)
        std::printf("render_ms=%.2f\n", ms);
    return 0;
}
