#include "platform/userdefaults.h"
#include "platform/archive.h"
#include "warningcatcher.h"

#include "imaging/values.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>

namespace {

struct UserDefaultsTest : ::testing::Test
{
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.ini"); }
};

} // namespace

TEST_F(UserDefaultsTest, FavouritesSurviveARestart)
{
    // The stored form of one favourite: a dictionary of archived values.
    const QVariantMap record{
        {"class", Archive::archivedData(QString("CIGaussianBlur"))},
        {"inputRadius", Archive::archivedData(12.5)},
        {"inputCenter", Archive::archivedData(QVariant::fromValue(imaging::Vector{3, 4}))},
    };
    {
        UserDefaults defaults(path());
        EXPECT_TRUE(defaults.setObject(QVariantList{record, record}, "EffectsFavorites"));
        EXPECT_TRUE(defaults.setObject(QVariantList{}, "3DEffectsFavorites"));
        EXPECT_TRUE(defaults.synchronize());
    }
    UserDefaults defaults(path());
    const auto favourites = defaults.objectForKey("EffectsFavorites");
    ASSERT_TRUE(favourites);
    const QVariantList list = favourites->toList();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].toMap(), record);
    EXPECT_EQ(*Archive::unarchive(list[0].toMap()["inputRadius"].toByteArray()), QVariant(12.5));
    EXPECT_EQ(defaults.objectForKey("3DEffectsFavorites"), QVariant(QVariantList{}));

    WarningCatcher warnings;
    EXPECT_FALSE(defaults.objectForKey("CustomEffectsFavorites")); // absent: no complaint
    EXPECT_EQ(warnings.count(), 0);
    defaults.removeObjectForKey("EffectsFavorites");
    EXPECT_FALSE(defaults.objectForKey("EffectsFavorites"));
}

TEST_F(UserDefaultsTest, DamagedOrUnstorableValuesNeverReplaceGoodData)
{
    UserDefaults defaults(path());
    ASSERT_TRUE(defaults.setObject(QString("kept"), "CustomEffectsFavorites"));
    WarningCatcher warnings;
    EXPECT_FALSE(defaults.setObject(QVariant(QPoint(1, 1)), "CustomEffectsFavorites"));
    EXPECT_EQ(defaults.objectForKey("CustomEffectsFavorites"), QVariant(QString("kept")));
    defaults.synchronize();

    {
        QSettings raw(path(), QSettings::IniFormat);
        QByteArray truncated = Archive::archivedData(QVariantList{1, 2, 3});
        truncated.chop(1);
        raw.setValue("EffectsFavorites", truncated);
        raw.setValue("3DEffectsFavorites", QString("hand-edited text"));
    }
    UserDefaults reread(path());
    for (const char *key : {"EffectsFavorites", "3DEffectsFavorites"}) {
        warnings.clear();
        EXPECT_FALSE(reread.objectForKey(key)) << key;
        EXPECT_EQ(warnings.count(), 1) << key;
    }
}

TEST_F(UserDefaultsTest, WindowFramesRoundTripAndAbsurdOnesReadAsNothing)
{
    UserDefaults defaults(path());
    defaults.setFrame("Velvane", QRect(120, 80, 1024, 700));
    EXPECT_EQ(defaults.frame("Velvane"), QRect(120, 80, 1024, 700));
    EXPECT_FALSE(defaults.frame("NeverSaved"));

    WarningCatcher warnings;
    const QList<QVariantList> absurd = {
        {0, 0, 0, 500}, {0, 0, 500, -3}, {0, 0, 2000000, 500}, {INT_MIN, 0, 100, 100},
        {INT_MAX, 0, 100, 100},
    };
    for (const QVariantList &values : absurd) {
        defaults.setObject(values, "WindowFrames/Velvane");
        EXPECT_FALSE(defaults.frame("Velvane")) << values[0].toInt() << " " << values[2].toInt();
    }
    for (const QVariant &wrongShape : {QVariant(QVariantList{1, 2, 3}), QVariant(QString("frame")),
                                       QVariant(QVariantList{0, 0, 100.5, 100})}) {
        defaults.setObject(wrongShape, "WindowFrames/Velvane");
        EXPECT_FALSE(defaults.frame("Velvane"));
    }
}
