#include "effects/favorite.h"

#include "effects/baseeffect.h"
#include "effects/effectcatalog.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"
#include "platform/archive.h"

#include <QDebug>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

const QString kButtonImage = QStringLiteral("ButtonImage");
const QString kToolTipName = QStringLiteral("ToolTipName");
const QString kClass = QStringLiteral("class");
const QString kClassObj = QStringLiteral("classObj");

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool isNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool: case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Double:
    case QMetaType::Float:
        return std::isfinite(v.toDouble());
    default:
        return false;
    }
}

template <typename T> bool holds(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<T>();
}

// The value of a filter input, checked against the input's class and brought to the type the
// filter keeps (images as engine images).
bool checkInput(const imaging::InputDescription &in, QVariant &value, QString *why)
{
    const imaging::InputClass cls = in.inputClass();
    if (cls == imaging::InputClass::Number) {
        if (!isNumber(value))
            return fail(why, QStringLiteral("expected a number"));
        return true;
    }
    if (cls == imaging::InputClass::Color) {
        if (!holds<imaging::Color>(value))
            return fail(why, QStringLiteral("expected a colour"));
        return true;
    }
    if (cls == imaging::InputClass::Vector) {
        if (!holds<imaging::Vector>(value) || value.value<imaging::Vector>().count() == 0)
            return fail(why, QStringLiteral("expected a vector"));
        return true;
    }
    if (cls == imaging::InputClass::Transform) {
        if (holds<imaging::AffineTransform>(value))
            return true;
        if (holds<imaging::Vector>(value) && value.value<imaging::Vector>().count() == 6)
            return true;
        return fail(why, QStringLiteral("expected a transform"));
    }
    if (cls == imaging::InputClass::Image) {
        if (holds<QImage>(value)) {
            const QImage picture = value.value<QImage>();
            if (picture.isNull())
                return fail(why, QStringLiteral("expected an image"));
            value = QVariant::fromValue(imaging::imageFromQImage(picture));
            return true;
        }
        if (holds<imaging::Image>(value) && !value.value<imaging::Image>().isNull())
            return true;
        return fail(why, QStringLiteral("expected an image"));
    }
    return true;
}

// Settings that decide how much drawing a rendering does, with the most a favourite may ask for:
// far beyond what the controls offer, yet bounded, so that a damaged or hostile favourite cannot
// make a rendering run for hours.
const std::map<QString, double> &settingLimits()
{
    static const std::map<QString, double> limits{
        {QStringLiteral("level"), 9},          {QStringLiteral("linesCount"), 20000},
        {QStringLiteral("object_count"), 5000}, {QStringLiteral("count"), 1000},
        {QStringLiteral("lineWidth"), 1000},    {QStringLiteral("borderSize"), 1000},
    };
    return limits;
}
// Any other number of the settings (angles, coordinates, colour parts, opacity).
constexpr double settingMagnitude = 1e6;

bool checkSettings(int mode, const QString &className, QVariantMap &settings, QString *error)
{
    if (!Favorite::effectClasses(mode).contains(className))
        return fail(error, QStringLiteral("there is no %1 effect \"%2\"").arg(Favorite::modeName(mode), className));
    const std::unique_ptr<BaseEffect> prototype = EffectCatalog::prototype(className);
    const QVariantMap defaults = prototype->save();
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const QString &key = it.key();
        if (key == kClass) {
            if (it->toString() != className || !holds<QString>(*it))
                return fail(error, QStringLiteral("its settings name the class \"%1\"").arg(it->toString()));
            continue;
        }
        if (!defaults.contains(key))
            return fail(error, QStringLiteral("%1 has no setting \"%2\"").arg(className, key));
        const QVariant example = defaults.value(key);
        QVariant &value = it.value();
        if (holds<QString>(example)) {
            if (!holds<QString>(value))
                return fail(error, QStringLiteral("setting \"%1\" is not text").arg(key));
        } else if (holds<imaging::Color>(example)) {
            if (!holds<imaging::Color>(value))
                return fail(error, QStringLiteral("setting \"%1\" is not a colour").arg(key));
            const auto c = value.value<imaging::Color>();
            for (double part : {c.red, c.green, c.blue, c.alpha})
                if (!std::isfinite(part) || std::fabs(part) > settingMagnitude)
                    return fail(error, QStringLiteral("setting \"%1\" is not a usable colour").arg(key));
        } else if (isNumber(example)) {
            if (!isNumber(value))
                return fail(error, QStringLiteral("setting \"%1\" is not a number").arg(key));
            const double v = value.toDouble();
            const auto limit = settingLimits().find(key);
            const double most = limit != settingLimits().end() ? limit->second : settingMagnitude;
            if (std::fabs(v) > most)
                return fail(error, QStringLiteral("setting \"%1\" is %2, beyond the limit of %3").arg(key).arg(v).arg(most));
            // The type the effect stores, so that reading it back and writing it again keep it.
            QVariant converted = value;
            converted.convert(example.metaType());
            value = converted;
        }
    }
    settings.insert(kClass, className);
    return true;
}

} // namespace

QString Favorite::modeName(int mode)
{
    switch (mode) {
    case Standard: return QStringLiteral("standard");
    case ThreeD: return QStringLiteral("3d");
    case Custom: return QStringLiteral("custom");
    default: return QString();
    }
}

int Favorite::modeForName(const QString &name)
{
    for (int mode = 0; mode < modeCount; ++mode)
        if (name == modeName(mode))
            return mode;
    return -1;
}

QString Favorite::defaultsKey(int mode)
{
    switch (mode) {
    case Standard: return QStringLiteral("EffectsFavorites");
    case ThreeD: return QStringLiteral("3DEffectsFavorites");
    case Custom: return QStringLiteral("CustomEffectsFavorites");
    default: return QString();
    }
}

QStringList Favorite::effectClasses(int mode)
{
    switch (mode) {
    case ThreeD: return EffectCatalog::threeDEffectClassNames();
    case Custom: return EffectCatalog::drawnEffectClassNames();
    default: return {};
    }
}

QImage Favorite::buttonPicture(const QImage &source)
{
    if (source.isNull())
        return QImage();
    QImage picture(pictureWidth, pictureHeight, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Whole and stretched: the picture keeps the button's shape whatever the image's.
    QImage upright = source;
    upright.setDevicePixelRatio(1.0);
    painter.drawImage(QRectF(0, 0, pictureWidth, pictureHeight), upright, QRectF(upright.rect()));
    painter.end();
    // Kept unpremultiplied, the form the stored PNG holds: reading it back gives the same pixels.
    return picture.convertToFormat(QImage::Format_ARGB32);
}

QImage Favorite::buttonPicture(const imaging::Image &result)
{
    if (result.isNull())
        return QImage();
    const imaging::Rect extent = result.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return QImage();
    // Rendered at about twice the picture's size (never enlarged), then smoothed down: the cost
    // no longer grows with the image.
    const double scale = std::min(1.0, std::max(2.0 * pictureWidth / extent.width(), 2.0 * pictureHeight / extent.height()));
    return buttonPicture(imaging::renderToQImage(result, extent, scale));
}

bool Favorite::check(QString *error)
{
    if (mode != Standard)
        return checkSettings(mode, className, values, error);

    const auto description = imaging::FilterRegistry::description(className);
    if (!description)
        return fail(error, QStringLiteral("there is no filter \"%1\"").arg(className));
    for (auto it = values.begin(); it != values.end(); ++it) {
        const imaging::InputDescription *in = description->input(it.key());
        if (!in)
            return fail(error, QStringLiteral("%1 has no input \"%2\"").arg(className, it.key()));
        QString why;
        if (!checkInput(*in, it.value(), &why))
            return fail(error, QStringLiteral("%1 %2: %3").arg(className, it.key(), why));
    }
    return true;
}

QVariantMap Favorite::storedRecord() const
{
    QVariantMap record;
    auto put = [&record](const QString &key, const QVariant &value) {
        const QByteArray blob = Archive::archivedData(value); // logs why when it cannot
        if (!blob.isEmpty())
            record.insert(key, blob);
    };
    if (!picture.isNull())
        put(kButtonImage, picture);
    put(kToolTipName, toolTipName);
    if (mode != Standard) {
        put(kClassObj, values);
        return record;
    }
    put(kClass, className);
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (holds<imaging::Image>(*it)) {
            const QImage image = imaging::qimageFromImage(it->value<imaging::Image>());
            if (image.isNull())
                qWarning().noquote() << "Favourites: the image of" << className << it.key() << "cannot be stored";
            else
                put(it.key(), image);
        } else {
            put(it.key(), *it);
        }
    }
    return record;
}

std::optional<Favorite> Favorite::fromStoredRecord(int mode, const QVariantMap &record, QString *error)
{
    Favorite favorite;
    favorite.mode = mode;
    bool hasClass = false;
    for (auto it = record.begin(); it != record.end(); ++it) {
        if (it->metaType().id() != QMetaType::QByteArray) {
            fail(error, QStringLiteral("\"%1\" is not a stored value").arg(it.key()));
            return std::nullopt;
        }
        QString why;
        const std::optional<QVariant> value = Archive::unarchive(it->toByteArray(), &why);
        if (!value) {
            fail(error, QStringLiteral("\"%1\" is damaged: %2").arg(it.key(), why));
            return std::nullopt;
        }
        const QString &key = it.key();
        if (key == kButtonImage) {
            favorite.picture = value->value<QImage>().convertToFormat(QImage::Format_ARGB32);
            if (!holds<QImage>(*value) || favorite.picture.isNull()) {
                fail(error, QStringLiteral("its picture is not an image"));
                return std::nullopt;
            }
        } else if (key == kToolTipName) {
            if (!holds<QString>(*value)) {
                fail(error, QStringLiteral("its name is not text"));
                return std::nullopt;
            }
            favorite.toolTipName = value->toString();
        } else if (mode == Standard && key == kClass) {
            if (!holds<QString>(*value)) {
                fail(error, QStringLiteral("its filter name is not text"));
                return std::nullopt;
            }
            favorite.className = value->toString();
            hasClass = true;
        } else if (mode != Standard && key == kClassObj) {
            if (value->metaType().id() != QMetaType::QVariantMap) {
                fail(error, QStringLiteral("its effect settings are not a dictionary"));
                return std::nullopt;
            }
            favorite.values = value->toMap();
            favorite.className = favorite.values.value(kClass).toString();
            hasClass = true;
        } else if (mode == Standard) {
            favorite.values.insert(key, *value);
        }
        // Other keys of a 3D or custom record carry nothing a favourite uses.
    }
    if (!hasClass) {
        fail(error, mode == Standard ? QStringLiteral("it names no filter") : QStringLiteral("it holds no effect"));
        return std::nullopt;
    }
    if (favorite.picture.isNull()) {
        fail(error, QStringLiteral("it has no picture"));
        return std::nullopt;
    }
    if (!favorite.check(error))
        return std::nullopt;
    return favorite;
}
