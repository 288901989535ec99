// Favourites as values: the stored form (every value type of every filter and effect survives it,
// damaged records are refused with a reason), the exchange file and the button's picture.
#include "effecttestsupport.h"

#include "effects/baseeffect.h"
#include "effects/effectcatalog.h"
#include "effects/favorite.h"
#include "effects/favoritesjson.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"
#include "platform/archive.h"

#include "../platform/warningcatcher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QImage smallPicture(QRgb corner)
{
    QImage picture(6, 4, QImage::Format_ARGB32);
    picture.fill(qRgb(10, 200, 30));
    picture.setPixel(0, 0, corner);
    return picture;
}

// A value unlike the input's default, of the same type, so that a round trip cannot pass by
// falling back to the default.
QVariant changed(const imaging::InputDescription &in)
{
    const QVariant d = in.defaultValue;
    if (in.attributeClass == QLatin1String("CIImage"))
        return QVariant::fromValue(imaging::imageFromQImage(smallPicture(qRgb(250, 1, 2))));
    if (d.metaType() == QMetaType::fromType<imaging::Vector>()) {
        auto v = d.value<imaging::Vector>();
        for (std::size_t i = 0; i < v.count(); ++i)
            v.setValue(i, v.value(i) + 0.25 * double(i + 1));
        return QVariant::fromValue(v);
    }
    if (d.metaType() == QMetaType::fromType<imaging::Color>())
        return QVariant::fromValue(imaging::Color(0.1, 0.2, 0.3, 0.4));
    if (d.metaType() == QMetaType::fromType<imaging::AffineTransform>())
        return QVariant::fromValue(imaging::AffineTransform(1, 0.5, -0.5, 1, 3, 4));
    if (d.metaType().id() == QMetaType::Bool)
        return !d.toBool();
    return d.toDouble() + 0.125;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.metaType() == QMetaType::fromType<imaging::Image>() && b.metaType() == a.metaType())
        return imaging::qimageFromImage(a.value<imaging::Image>()) == imaging::qimageFromImage(b.value<imaging::Image>());
    return a == b;
}

Favorite roundTrip(const Favorite &favorite)
{
    QString error;
    auto back = Favorite::fromStoredRecord(favorite.mode, favorite.storedRecord(), &error);
    EXPECT_TRUE(back) << error.toStdString();
    return back.value_or(Favorite());
}

Favorite sepia()
{
    Favorite f;
    f.className = "CISepiaTone";
    f.toolTipName = "Sepia Tone";
    f.values.insert("inputIntensity", 0.5);
    f.picture = smallPicture(qRgb(1, 2, 3));
    return f;
}

} // namespace

TEST(Favorites, EveryInputOfEveryFilterSurvivesTheStoredForm)
{
    int checked = 0;
    for (const QString &name : imaging::FilterRegistry::filterNames()) {
        const auto description = imaging::FilterRegistry::description(name);
        Favorite favorite;
        favorite.className = name;
        favorite.toolTipName = description->displayName;
        favorite.picture = smallPicture(qRgb(9, 8, 7));
        for (const imaging::InputDescription &in : description->inputs)
            if (in.defaultValue.isValid() || in.attributeClass == QLatin1String("CIImage"))
                favorite.values.insert(in.key, changed(in));
        const Favorite back = roundTrip(favorite);
        EXPECT_EQ(back.className, name);
        EXPECT_EQ(back.toolTipName, favorite.toolTipName);
        EXPECT_EQ(back.picture, favorite.picture);
        ASSERT_EQ(back.values.keys(), favorite.values.keys()) << name.toStdString();
        for (const QString &key : favorite.values.keys()) {
            const QVariant &was = favorite.values[key];
            EXPECT_EQ(back.values[key].metaType(), was.metaType()) << name.toStdString() << " " << key.toStdString();
            EXPECT_TRUE(sameValue(back.values[key], was)) << name.toStdString() << " " << key.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(Favorites, EverySettingOfEveryEffectSurvivesTheStoredForm)
{
    for (int mode : {Favorite::ThreeD, Favorite::Custom}) {
        for (const QString &name : Favorite::effectClasses(mode)) {
            const auto effect = EffectCatalog::prototype(name);
            const QVariantMap settings = movedAwayFromDefaults(effect->save());
            Favorite favorite;
            favorite.mode = mode;
            favorite.className = name;
            favorite.toolTipName = effect->tips();
            favorite.values = settings;
            favorite.picture = smallPicture(qRgb(3, 4, 5));
            const Favorite back = roundTrip(favorite);
            EXPECT_EQ(back.values, settings) << name.toStdString();
            // And the effect made from them holds them all.
            auto copy = EffectCatalog::prototype(name)->mycopy();
            copy->read(back.values);
            const QVariantMap held = copy->save();
            for (auto it = settings.begin(); it != settings.end(); ++it) {
                const std::string what = name.toStdString() + " " + it.key().toStdString();
                if (it->metaType() != QMetaType::fromType<imaging::Color>()) {
                    EXPECT_EQ(held.value(it.key()), *it) << what;
                    continue;
                }
                // The effects keep colours at 16 bits a component.
                const auto want = it->value<imaging::Color>(), got = held.value(it.key()).value<imaging::Color>();
                EXPECT_NEAR(got.red, want.red, 1e-4) << what;
                EXPECT_NEAR(got.green, want.green, 1e-4) << what;
                EXPECT_NEAR(got.blue, want.blue, 1e-4) << what;
                EXPECT_NEAR(got.alpha, want.alpha, 1e-4) << what;
            }
        }
    }
}

TEST(Favorites, DamagedOrForeignRecordsAreRefusedWithTheirReason)
{
    WarningCatcher quiet;
    const QVariantMap good = sepia().storedRecord();
    ASSERT_TRUE(Favorite::fromStoredRecord(Favorite::Standard, good, nullptr));

    auto refusal = [](int mode, const QVariantMap &record) {
        QString error;
        EXPECT_FALSE(Favorite::fromStoredRecord(mode, record, &error));
        return error;
    };
    QVariantMap truncated = good;
    truncated["inputIntensity"] = good["inputIntensity"].toByteArray().chopped(3);
    EXPECT_TRUE(refusal(Favorite::Standard, truncated).contains("inputIntensity"));

    QVariantMap wrongType = good;
    wrongType["inputIntensity"] = Archive::archivedData(QString("strong"));
    EXPECT_TRUE(refusal(Favorite::Standard, wrongType).contains("expected a number"));

    QVariantMap gone = good;
    gone["class"] = Archive::archivedData(QString("CINoSuchFilter"));
    EXPECT_TRUE(refusal(Favorite::Standard, gone).contains("CINoSuchFilter"));

    QVariantMap noPicture = good;
    noPicture.remove("ButtonImage");
    EXPECT_TRUE(refusal(Favorite::Standard, noPicture).contains("picture"));
    QVariantMap badPicture = good;
    badPicture["ButtonImage"] = Archive::archivedData(QByteArray("\x89PNG not really"));
    EXPECT_TRUE(refusal(Favorite::Standard, badPicture).contains("picture"));

    QVariantMap notBlob = good;
    notBlob["ToolTipName"] = QString("plain text where a blob belongs");
    EXPECT_FALSE(refusal(Favorite::Standard, notBlob).isEmpty());

    // Effects: an unknown class, and settings that would make a rendering endless.
    Favorite lines;
    lines.mode = Favorite::Custom;
    lines.className = "hilbertLinesEffect";
    lines.values = EffectCatalog::prototype(lines.className)->save();
    lines.picture = smallPicture(qRgb(1, 1, 1));
    ASSERT_TRUE(Favorite::fromStoredRecord(Favorite::Custom, lines.storedRecord(), nullptr));
    Favorite endless = lines;
    endless.values["level"] = 40;
    EXPECT_TRUE(refusal(Favorite::Custom, endless.storedRecord()).contains("level"));
    Favorite foreign = lines;
    foreign.values["class"] = QString("fractalEffect");
    EXPECT_TRUE(refusal(Favorite::Custom, foreign.storedRecord()).contains("fractalEffect"));
    // A custom effect is no 3D favourite.
    EXPECT_TRUE(refusal(Favorite::ThreeD, lines.storedRecord()).contains("hilbertLinesEffect"));
}

TEST(Favorites, ExchangeFileRoundTripsAndReadsTheDocumentedForm)
{
    Favorite plasma;
    plasma.mode = Favorite::Custom;
    plasma.className = "plasmaEffect";
    plasma.values = EffectCatalog::prototype("plasmaEffect")->save();
    plasma.values["opacity"] = 42.0f;
    plasma.values["bgColor"] = QVariant::fromValue(imaging::Color(0.25, 0.5, 0.75, 1));
    plasma.toolTipName = "My plasma";
    Favorite glass;
    glass.className = "CIGlassDistortion";
    glass.toolTipName = "Glass";
    glass.values["inputScale"] = 33.0;
    glass.values["inputCenter"] = QVariant::fromValue(imaging::Vector{10, 20});
    glass.values["inputTexture"] = QVariant::fromValue(imaging::imageFromQImage(smallPicture(qRgb(5, 6, 7))));

    QMap<QString, QImage> files;
    Favorite tint;
    tint.className = "CIColorMonochrome";
    tint.toolTipName = "Tint";
    tint.values["inputColor"] = QVariant::fromValue(imaging::Color(0.6, 0.45, 0.3, 1));
    const QByteArray json = FavoritesJson::toDocument({sepia(), plasma, glass, tint}, [&](int index, const QString &key, const QImage &picture) {
        const QString path = QStringLiteral("images/%1-%2.png").arg(index + 1).arg(key);
        files[path] = picture;
        return path;
    });
    const QJsonObject top = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(top["format"].toString(), "lumetta-favourites");
    EXPECT_EQ(top["version"].toInt(), 1);
    const QJsonArray entries = top["favourites"].toArray();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[3].toObject()["values"].toObject()["inputColor"].toArray(), QJsonArray({0.6, 0.45, 0.3, 1}));
    EXPECT_EQ(entries[0].toObject(), QJsonObject({{"mode", "standard"}, {"filter", "CISepiaTone"}, {"name", "Sepia Tone"},
                                                  {"values", QJsonObject{{"inputIntensity", 0.5}}}}));
    EXPECT_EQ(entries[1].toObject()["settings"].toObject()["bgColor"].toArray(), QJsonArray({0.25, 0.5, 0.75, 1}));
    EXPECT_EQ(entries[2].toObject()["values"].toObject()["inputTexture"].toString(), "images/3-inputTexture.png");

    QString error;
    const auto back = FavoritesJson::fromDocument(json, [&](const QString &path, QString *) { return files.value(path); }, &error);
    ASSERT_TRUE(back) << error.toStdString();
    ASSERT_EQ(back->size(), 4);
    EXPECT_EQ((*back)[3].values, tint.values);
    EXPECT_EQ((*back)[0].values, sepia().values);
    EXPECT_EQ((*back)[1].values, plasma.values);
    EXPECT_EQ((*back)[1].toolTipName, "My plasma");
    EXPECT_EQ((*back)[2].values["inputCenter"], glass.values["inputCenter"]);
    EXPECT_EQ(imaging::qimageFromImage((*back)[2].values["inputTexture"].value<imaging::Image>()).convertToFormat(QImage::Format_ARGB32),
              smallPicture(qRgb(5, 6, 7)));
    // A transform is its six numbers; a name left out is the filter's own.
    const auto transform = FavoritesJson::fromDocument(
        R"({"format":"lumetta-favourites","version":1,"favourites":[
            {"mode":"standard","filter":"CIAffineTransform","values":{"inputTransform":[2,0,0,2,5,6]}}]})", {}, &error);
    ASSERT_TRUE(transform) << error.toStdString();
    EXPECT_FALSE(transform->first().toolTipName.isEmpty());
    const QVariant t = transform->first().values["inputTransform"];
    const imaging::AffineTransform expected(2, 0, 0, 2, 5, 6);
    EXPECT_TRUE(t == QVariant::fromValue(expected) || t == QVariant::fromValue(imaging::Vector{2, 0, 0, 2, 5, 6}));
}

TEST(Favorites, MalformedExchangeFilesAreRefusedWhole)
{
    auto refusal = [](const QByteArray &favourites) {
        const QByteArray json = R"({"format":"lumetta-favourites","version":1,"favourites":)" + favourites + "}";
        QString error;
        EXPECT_FALSE(FavoritesJson::fromDocument(json, [](const QString &, QString *e) {
            *e = "missing";
            return QImage();
        }, &error)) << favourites.toStdString();
        return error.toStdString();
    };
    const QByteArray sepiaEntry = R"({"mode":"standard","filter":"CISepiaTone","values":{"inputIntensity":0.5}})";
    // One bad entry after a good one refuses the file, naming the entry.
    EXPECT_NE(refusal("[" + sepiaEntry + R"(,{"mode":"standard","filter":"CINope"}])").find("favourite 2"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"standard","filter":"CISepiaTone","values":{"inputIntensity":"half"}}])").find("inputIntensity"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"standard","filter":"CISepiaTone","values":{"inputColour":1}}])").find("inputColour"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"custom","effect":"plasmaEffect","settings":{"sparkle":1}}])").find("sparkle"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"custom","effect":"linesEffect","settings":{"linesCount":1e12}}])").find("linesCount"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"2d","effect":"linesEffect"}])").find("mode"), std::string::npos);
    EXPECT_NE(refusal(R"([{"mode":"standard","filter":"CIGlassDistortion","values":{"inputTexture":"t.png"}}])").find("missing"), std::string::npos);
    EXPECT_NE(refusal(R"({"not":"a list"})").find("list"), std::string::npos);

    QString error;
    EXPECT_FALSE(FavoritesJson::fromDocument("{\"format\": \"lumetta-favourites\", ", {}, &error));
    EXPECT_TRUE(error.contains("JSON"));
    EXPECT_FALSE(FavoritesJson::fromDocument(R"({"format":"other","version":1,"favourites":[]})", {}, &error));
    EXPECT_FALSE(FavoritesJson::fromDocument(R"({"format":"lumetta-favourites","version":2,"favourites":[]})", {}, &error));
    EXPECT_TRUE(error.contains("version"));
}

TEST(Favorites, ThePictureIsAlways40By25AndShowsTheWholeSource)
{
    for (const QSize size : {QSize(400, 100), QSize(30, 600), QSize(1, 1)}) {
        QImage source(size, QImage::Format_ARGB32_Premultiplied);
        source.fill(Qt::blue);
        // Left half red: stretched whole, the picture's left half is red too.
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < (size.width() + 1) / 2; ++x)
                source.setPixel(x, y, qRgb(255, 0, 0));
        const QImage picture = Favorite::buttonPicture(source);
        EXPECT_EQ(picture.size(), QSize(40, 25));
        EXPECT_EQ(picture.pixel(2, 12), qRgb(255, 0, 0)) << size.width();
        if (size.width() > 1) {
            EXPECT_EQ(picture.pixel(37, 12), qRgb(0, 0, 255)) << size.width();
        }
    }
    // An engine result, however large, is drawn whole too.
    const QImage big = smallPicture(qRgb(255, 255, 255)).scaled(4000, 3000);
    EXPECT_EQ(Favorite::buttonPicture(imaging::imageFromQImage(big)).size(), QSize(40, 25));
    EXPECT_TRUE(Favorite::buttonPicture(QImage()).isNull());
}
