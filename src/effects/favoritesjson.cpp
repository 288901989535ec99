#include "effects/favoritesjson.h"

#include "effects/baseeffect.h"
#include "effects/effectcatalog.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

const QString formatName = QStringLiteral("lumetta-favourites");
constexpr int formatVersion = 1;
// More favourites than anyone keeps; a larger file is refused before any of it is built.
constexpr int maxFavourites = 10000;

template <typename T> bool holds(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<T>();
}

QJsonArray numbers(std::initializer_list<double> values)
{
    QJsonArray array;
    for (double v : values)
        array.append(v);
    return array;
}

// A value as JSON; an undefined QJsonValue for what the file cannot hold.
QJsonValue jsonValue(const QVariant &value)
{
    if (holds<imaging::Vector>(value)) {
        const auto v = value.value<imaging::Vector>();
        QJsonArray array;
        for (std::size_t i = 0; i < v.count(); ++i)
            array.append(v.value(i));
        return array;
    }
    if (holds<imaging::Color>(value)) {
        const auto c = value.value<imaging::Color>();
        return numbers({c.red, c.green, c.blue, c.alpha});
    }
    if (holds<imaging::AffineTransform>(value)) {
        const auto t = value.value<imaging::AffineTransform>();
        return numbers({t.m11, t.m12, t.m21, t.m22, t.tX, t.tY});
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Double: case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QString: return value.toString();
    default: return QJsonValue(QJsonValue::Undefined);
    }
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// An array of `least` to `most` numbers.
bool readNumbers(const QJsonValue &json, int least, int most, std::vector<double> &out)
{
    if (!json.isArray())
        return false;
    const QJsonArray array = json.toArray();
    if (array.size() < least || array.size() > most)
        return false;
    out.clear();
    for (const QJsonValue &item : array) {
        if (!item.isDouble())
            return false;
        out.push_back(item.toDouble());
    }
    return true;
}

// A filter input's value from JSON, by the input's class.
bool readInput(const imaging::InputDescription &in, const QJsonValue &json, const FavoritesJson::ImageLoader &loadImage,
               QVariant &value, QString *why)
{
    const imaging::InputClass cls = in.inputClass();
    std::vector<double> v;
    if (cls == imaging::InputClass::Number) {
        if (json.isBool())
            value = json.toBool();
        else if (json.isDouble())
            value = in.attributeType == imaging::kCIAttributeTypeBoolean ? QVariant(json.toDouble() != 0) : QVariant(json.toDouble());
        else
            return fail(why, QStringLiteral("expected a number"));
        return true;
    }
    if (cls == imaging::InputClass::Vector) {
        if (!readNumbers(json, 1, int(imaging::Vector::maxCount), v))
            return fail(why, QStringLiteral("expected an array of 1 to 8 numbers"));
        auto vector = imaging::Vector::withCount(v.size());
        for (std::size_t i = 0; i < v.size(); ++i)
            vector.setValue(i, v[i]);
        value = QVariant::fromValue(vector);
        return true;
    }
    if (cls == imaging::InputClass::Color) {
        if (!readNumbers(json, 3, 4, v))
            return fail(why, QStringLiteral("expected a colour as 3 or 4 numbers"));
        value = QVariant::fromValue(imaging::Color(v[0], v[1], v[2], v.size() == 4 ? v[3] : 1.0));
        return true;
    }
    if (cls == imaging::InputClass::Transform) {
        if (!readNumbers(json, 6, 6, v))
            return fail(why, QStringLiteral("expected a transform as the six numbers a, b, c, d, tx, ty"));
        // The form the input is declared with: a transform, or the six-value vector.
        if (holds<imaging::Vector>(in.defaultValue))
            value = QVariant::fromValue(imaging::Vector{v[0], v[1], v[2], v[3], v[4], v[5]});
        else
            value = QVariant::fromValue(imaging::AffineTransform(v[0], v[1], v[2], v[3], v[4], v[5]));
        return true;
    }
    if (cls == imaging::InputClass::Image) {
        if (!json.isString() || json.toString().isEmpty())
            return fail(why, QStringLiteral("expected the path of an image file"));
        QString readError;
        const QImage picture = loadImage ? loadImage(json.toString(), &readError) : QImage();
        if (picture.isNull())
            return fail(why, readError.isEmpty() ? QStringLiteral("cannot read %1").arg(json.toString()) : readError);
        value = QVariant::fromValue(imaging::imageFromQImage(picture));
        return true;
    }
    return fail(why, QStringLiteral("inputs of class %1 cannot be set").arg(in.attributeClass));
}

// An effect setting from JSON by its JSON type; Favorite::check then holds it to the type the
// effect keeps under that key.
bool readSetting(const QJsonValue &json, QVariant &value)
{
    std::vector<double> v;
    if (json.isBool())
        value = json.toBool();
    else if (json.isDouble())
        value = json.toDouble();
    else if (json.isString())
        value = json.toString();
    else if (readNumbers(json, 3, 4, v))
        value = QVariant::fromValue(imaging::Color(v[0], v[1], v[2], v.size() == 4 ? v[3] : 1.0));
    else
        return false;
    return true;
}

std::optional<Favorite> readFavourite(const QJsonValue &entry, const FavoritesJson::ImageLoader &loadImage, QString *error)
{
    if (!entry.isObject()) {
        fail(error, QStringLiteral("not an object"));
        return std::nullopt;
    }
    const QJsonObject object = entry.toObject();
    Favorite favorite;
    favorite.mode = Favorite::modeForName(object.value(QStringLiteral("mode")).toString());
    if (favorite.mode < 0) {
        fail(error, QStringLiteral("no mode \"standard\", \"3d\" or \"custom\""));
        return std::nullopt;
    }
    const QJsonValue name = object.value(QStringLiteral("name"));
    if (!name.isUndefined() && !name.isString()) {
        fail(error, QStringLiteral("its name is not text"));
        return std::nullopt;
    }
    favorite.toolTipName = name.toString();

    const bool standard = favorite.mode == Favorite::Standard;
    const QString classKey = standard ? QStringLiteral("filter") : QStringLiteral("effect");
    const QString valuesKey = standard ? QStringLiteral("values") : QStringLiteral("settings");
    favorite.className = object.value(classKey).toString();
    if (favorite.className.isEmpty()) {
        fail(error, QStringLiteral("no %1 named").arg(classKey));
        return std::nullopt;
    }
    const QJsonValue values = object.value(valuesKey);
    if (!values.isUndefined() && !values.isObject()) {
        fail(error, QStringLiteral("\"%1\" is not an object").arg(valuesKey));
        return std::nullopt;
    }

    const QJsonObject given = values.toObject();
    if (standard) {
        const auto description = imaging::FilterRegistry::description(favorite.className);
        if (!description) {
            fail(error, QStringLiteral("there is no filter \"%1\"").arg(favorite.className));
            return std::nullopt;
        }
        for (auto it = given.begin(); it != given.end(); ++it) {
            const imaging::InputDescription *in = description->input(it.key());
            QString why = QStringLiteral("no such input");
            QVariant value;
            if (!in || !readInput(*in, it.value(), loadImage, value, &why)) {
                fail(error, QStringLiteral("%1 %2: %3").arg(favorite.className, it.key(), why));
                return std::nullopt;
            }
            favorite.values.insert(it.key(), value);
        }
        if (favorite.toolTipName.isEmpty())
            favorite.toolTipName = description->displayName;
    } else {
        // Settings left out keep the effect's defaults, so that the stored favourite is complete.
        if (const std::unique_ptr<BaseEffect> prototype = EffectCatalog::prototype(favorite.className))
            favorite.values = prototype->save();
        for (auto it = given.begin(); it != given.end(); ++it) {
            QVariant value;
            if (!readSetting(it.value(), value)) {
                fail(error, QStringLiteral("setting \"%1\" is neither a number, true/false, text nor a colour").arg(it.key()));
                return std::nullopt;
            }
            favorite.values.insert(it.key(), value);
        }
    }
    if (!favorite.check(error))
        return std::nullopt;
    if (!standard && favorite.toolTipName.isEmpty())
        favorite.toolTipName = EffectCatalog::prototype(favorite.className)->tips();
    return favorite;
}

} // namespace

namespace FavoritesJson {

QJsonObject toJson(const Favorite &favorite, int index, const ImageSaver &saveImage)
{
    QJsonObject object{{QStringLiteral("mode"), Favorite::modeName(favorite.mode)},
                       {QStringLiteral("name"), favorite.toolTipName}};
    QJsonObject values;
    for (auto it = favorite.values.begin(); it != favorite.values.end(); ++it) {
        if (favorite.mode != Favorite::Standard && it.key() == QLatin1String("class"))
            continue; // said by "effect"
        if (holds<imaging::Image>(*it)) {
            const QImage picture = imaging::qimageFromImage(it->value<imaging::Image>());
            const QString path = saveImage && !picture.isNull() ? saveImage(index, it.key(), picture) : QString();
            if (!path.isEmpty())
                values.insert(it.key(), path);
            continue;
        }
        const QJsonValue json = jsonValue(*it);
        if (!json.isUndefined())
            values.insert(it.key(), json);
    }
    if (favorite.mode == Favorite::Standard) {
        object.insert(QStringLiteral("filter"), favorite.className);
        object.insert(QStringLiteral("values"), values);
    } else {
        object.insert(QStringLiteral("effect"), favorite.className);
        object.insert(QStringLiteral("settings"), values);
    }
    return object;
}

QByteArray toDocument(const QList<Favorite> &favorites, const ImageSaver &saveImage)
{
    QJsonArray list;
    for (int i = 0; i < favorites.size(); ++i)
        list.append(toJson(favorites[i], i, saveImage));
    const QJsonObject top{{QStringLiteral("format"), formatName},
                          {QStringLiteral("version"), formatVersion},
                          {QStringLiteral("favourites"), list}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

std::optional<QList<Favorite>> fromDocument(const QByteArray &json, const ImageLoader &loadImage, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, QStringLiteral("not valid JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
        return std::nullopt;
    }
    const QJsonObject top = document.object();
    if (!document.isObject() || top.value(QStringLiteral("format")).toString() != formatName) {
        fail(error, QStringLiteral("not a favourites file (its \"format\" is not \"%1\")").arg(formatName));
        return std::nullopt;
    }
    const QJsonValue version = top.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != formatVersion) {
        fail(error, QStringLiteral("favourites file of an unknown version (this program reads version %1)").arg(formatVersion));
        return std::nullopt;
    }
    const QJsonValue entries = top.value(QStringLiteral("favourites"));
    if (!entries.isArray()) {
        fail(error, QStringLiteral("\"favourites\" is not a list"));
        return std::nullopt;
    }
    const QJsonArray array = entries.toArray();
    if (array.size() > maxFavourites) {
        fail(error, QStringLiteral("%1 favourites are more than the %2 a file may hold").arg(array.size()).arg(maxFavourites));
        return std::nullopt;
    }
    QList<Favorite> favorites;
    for (int i = 0; i < array.size(); ++i) {
        QString why;
        auto favorite = readFavourite(array.at(i), loadImage, &why);
        if (!favorite) {
            fail(error, QStringLiteral("favourite %1: %2").arg(i + 1).arg(why));
            return std::nullopt;
        }
        favorites.append(*favorite);
    }
    return favorites;
}

} // namespace FavoritesJson
