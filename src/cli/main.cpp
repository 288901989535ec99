// lumetta-cli: the image engine without a window. Lists the filter catalogue and renders a
// filter over an image the way the standard mode composes it.
#include <chrono>
#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "imaging/catalogrows.h"
#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/standardcomposition.h"
#include "clifiles.h"
#include "platform/imagefiles.h"
#include "applycommand.h"
#include "effectcommand.h"
#include "favoritescommand.h"
#include "infocommand.h"
#include "render3dcommand.h"
#include "valueparser.h"

using namespace imaging;

namespace {

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "lumetta-cli: %s\n", qPrintable(message));
    return code;
}

const char *usage =
    "usage: lumetta-cli filters [--json]\n"
    "       lumetta-cli render --filter NAME [--set KEY=VALUE]... [--scale S] [--time [--repeat N]] IN OUT\n"
    "       lumetta-cli effect NAME [--set KEY=VALUE]... [--seed N] [--time] IN OUT\n"
    "       lumetta-cli render3d EFFECT [--set KEY=VALUE]... [--size WxH] IN OUT\n"
    "       lumetta-cli info IN [--json]\n"
    "       lumetta-cli favourites list [--json] | export FILE | import FILE\n"
    "       lumetta-cli apply --favourite N [--mode standard|custom|3d] IN... --out-dir DIR [--format EXT] [--seed N]\n";

QJsonValue jsonValue(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<Vector>()) {
        const Vector vec = v.value<Vector>();
        QJsonArray a;
        for (std::size_t i = 0; i < vec.count(); ++i) a << vec.value(i);
        return a;
    }
    if (v.metaType() == QMetaType::fromType<Color>()) {
        const Color c = v.value<Color>();
        return QJsonArray{c.red, c.green, c.blue, c.alpha};
    }
    if (v.metaType() == QMetaType::fromType<AffineTransform>()) {
        const AffineTransform t = v.value<AffineTransform>();
        return QJsonArray{t.m11, t.m12, t.m21, t.m22, t.tX, t.tY};
    }
    if (v.metaType().id() == QMetaType::Bool) return v.toBool();
    if (v.canConvert<double>() && v.isValid()) return v.toDouble();
    return QJsonValue::Null;
}

int listFilters(bool json)
{
    QJsonArray rows;
    for (const CatalogRow &row : catalogRows()) {
        const QStringList names = filterNamesInRow(row);
        if (names.isEmpty()) continue;
        rows << QJsonObject{{"name", row.name}, {"filters", QJsonArray::fromStringList(names)}};
    }
    if (!json) {
        for (const CatalogRow &row : catalogRows()) {
            const QStringList names = filterNamesInRow(row);
            if (names.isEmpty()) continue;
            std::printf("%s\n", qPrintable(row.name));
            for (const QString &n : names) std::printf("  %-36s %s\n", qPrintable(n), qPrintable(Filter::localizedNameForFilterName(n)));
        }
        return 0;
    }
    QJsonObject filters;
    for (const QString &name : FilterRegistry::filterNames()) {
        auto f = Filter::filterWithName(name);
        const QVariantMap attrs = f->attributes();
        QJsonArray inputs;
        for (const QString &key : f->inputKeys()) {
            const QVariantMap a = attrs.value(key).toMap();
            QJsonObject in{{"key", key},
                           {"class", a.value(kCIAttributeClass).toString()},
                           {"type", a.contains(kCIAttributeType) ? QJsonValue(a.value(kCIAttributeType).toString()) : QJsonValue::Null},
                           {"displayName", a.value(kCIAttributeDisplayName).toString()},
                           {"default", jsonValue(a.value(kCIAttributeDefault))}};
            const std::pair<const char *, QString> bounds[] = {{"min", kCIAttributeMin}, {"max", kCIAttributeMax},
                                                               {"sliderMin", kCIAttributeSliderMin}, {"sliderMax", kCIAttributeSliderMax}};
            for (const auto &[json, attr] : bounds)
                in.insert(json, a.contains(attr) ? QJsonValue(a.value(attr).toDouble()) : QJsonValue::Null);
            inputs << in;
        }
        filters.insert(name, QJsonObject{{"displayName", attrs.value(kCIAttributeFilterDisplayName).toString()},
                                         {"categories", QJsonArray::fromStringList(attrs.value(kCIAttributeFilterCategories).toStringList())},
                                         {"inputs", inputs}});
    }
    const QByteArray out = QJsonDocument(QJsonObject{{"rows", rows}, {"filters", filters}}).toJson(QJsonDocument::Indented);
    std::fwrite(out.constData(), 1, out.size(), stdout);
    return 0;
}

int render(const QStringList &args)
{
    QString filterName, in, out;
    QStringList sets;
    double scale = 1.0;
    bool timeIt = false;
    int repeat = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto next = [&](QString &dest) {
            if (i + 1 >= args.size()) return false;
            dest = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--filter")) {
            if (!next(filterName)) return fail("--filter needs a name", 2);
        } else if (a == QLatin1String("--set")) {
            if (!next(v)) return fail("--set needs KEY=VALUE", 2);
            sets << v;
        } else if (a == QLatin1String("--scale")) {
            bool ok = false;
            if (!next(v) || !((scale = v.toDouble(&ok)) > 0) || !ok || !std::isfinite(scale) || scale > 64)
                return fail("--scale needs a number above 0 (at most 64)", 2);
        } else if (a == QLatin1String("--time")) {
            timeIt = true;
        } else if (a == QLatin1String("--repeat")) {
            bool ok = false;
            if (!next(v) || (repeat = v.toInt(&ok)) < 1 || !ok || repeat > 1000) return fail("--repeat needs a count from 1 to 1000", 2);
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1").arg(a), 2);
        } else if (in.isEmpty()) {
            in = a;
        } else if (out.isEmpty()) {
            out = a;
        } else {
            return fail(QStringLiteral("unexpected argument %1").arg(a), 2);
        }
    }
    if (filterName.isEmpty() || in.isEmpty() || out.isEmpty()) return fail(QString::fromLatin1(usage).trimmed(), 2);

    auto filter = Filter::filterWithName(filterName);
    if (!filter) return fail(QStringLiteral("unknown filter %1").arg(filterName));

    QString error;
    if (!clifiles::checkOutputName(out, &error)) return fail(error);
    const QImage picture = clifiles::readInput(in, &error);
    if (picture.isNull()) return fail(error);

    // The application's composition, with the application's default images.
    const Image current = imageFromQImage(picture);
    const Rect view = current.extent();
    standardcomposition::prepare(*filter, current, view, clifiles::defaultImages());

    const QVariantMap attrs = filter->attributes();
    for (const QString &s : sets) {
        const int eq = s.indexOf('=');
        if (eq <= 0) return fail(QStringLiteral("--set needs KEY=VALUE, got \"%1\"").arg(s), 2);
        const QString key = s.left(eq), text = s.mid(eq + 1);
        if (!filter->inputKeys().contains(key)) return fail(QStringLiteral("%1 has no input %2").arg(filterName, key));
        const QVariantMap a = attrs.value(key).toMap();
        QString error;
        const QVariant value = parseFilterValue(text, a.value(kCIAttributeClass).toString(), a.value(kCIAttributeType).toString(),
                                                a.value(kCIAttributeDefault), error);
        if (!value.isValid()) return fail(QStringLiteral("%1 %2: %3").arg(filterName, key, error));
        filter->setValue(value, key);
    }

    // The canvas keeps its image, with the reduced copies the preview reads, from one redraw to the
    // next, and has shown the picture at this scale before a filter is chosen: draw it once before
    // the clock starts, so that the time is that of a redraw.
    if (scale < 1.0)
        renderToQImage(current, view, scale);

    // With --repeat the composition is built and drawn again each time, as the canvas does on
    // each change, and the fastest time is reported.
    QImage rendered;
    double ms = 0;
    for (int run = 0; run < repeat; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const Image result = standardcomposition::hasMissingImage(*filter) ? Image() : standardcomposition::result(*filter, current, view);
        if (result.isNull()) return fail(QStringLiteral("%1 gives no image with these inputs").arg(filterName));
        rendered = renderToQImage(result, view, scale);
        const double t = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (rendered.isNull()) return fail(QStringLiteral("rendering %1 failed").arg(filterName));
        ms = run == 0 ? t : std::min(ms, t);
    }

    if (!clifiles::writeOutput(rendered, out, &error)) return fail(error);
    if (timeIt) std::printf("render_ms=%.2f\n", ms);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The drawn effects are widget-layer objects and need a QApplication (on the offscreen
    // platform when none is chosen); the engine's commands need only QtCore.
    const bool drawnEffect = argc > 1 && (qstrcmp(argv[1], "effect") == 0 || qstrcmp(argv[1], "render3d") == 0
                                          || qstrcmp(argv[1], "favourites") == 0 || qstrcmp(argv[1], "apply") == 0);
    std::unique_ptr<QCoreApplication> app;
    if (drawnEffect) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("lumetta-cli"));
    ImageFiles::setUpReading();
    FilterRegistry::loadAllPlugIns();
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        std::fputs(usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("filters")) {
        if (args.size() > 1 || (args.size() == 1 && args[0] != QLatin1String("--json"))) return fail("usage: lumetta-cli filters [--json]", 2);
        return listFilters(!args.isEmpty());
    }
    if (command == QLatin1String("render")) return render(args);
    if (command == QLatin1String("effect")) return runEffectCommand(args);
    if (command == QLatin1String("render3d")) return runRender3DCommand(args);
    if (command == QLatin1String("info")) return runInfoCommand(args);
    if (command == QLatin1String("favourites")) return runFavoritesCommand(args);
    if (command == QLatin1String("apply")) return runApplyCommand(args);
    return fail(QStringLiteral("unknown command %1").arg(command), 2);
}
