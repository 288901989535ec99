#include <QAbstractItemModelTester>
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

#include "app/datasource.h"
#include "imaging/filter.h"

TEST(DataSource, CategoriesInListOrderWithTheirFilters)
{
    DataSource source;
    const QStringList cats = source.categoryNames();
    EXPECT_EQ(cats, (QStringList{"Geometry", "Distortion", "Halftone", "Focus", "Stylize", "Gradient", "Color", "Tile", "Generator"}));
    EXPECT_EQ(source.rowCount(), cats.size());

    // "Focus" lists the sharpen filters first, then the blurs.
    const QList<QVariantMap> focus = source.filtersInCategory("Focus");
    ASSERT_FALSE(focus.isEmpty());
    QStringList classes;
    for (const QVariantMap &r : focus) classes << r.value("class").toString();
    EXPECT_LT(classes.indexOf("CIUnsharpMask"), classes.indexOf("CIGaussianBlur"));
    // Transitions and compositing stay out of the list.
    for (const QString &c : cats)
        for (const QVariantMap &r : source.filtersInCategory(c)) {
            EXPECT_FALSE(r.value("class").toString().endsWith("Transition"));
            EXPECT_NE(r.value("class").toString(), "CISourceOverCompositing");
        }

    const QList<QVariantMap> records = source.buildFilterDictionary({"CIGaussianBlur", "CINoSuchFilter", "CIColorInvert"});
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].value("class").toString(), "CIGaussianBlur");
    EXPECT_EQ(records[0].value("name").toString(), "Gaussian Blur");
}

TEST(DataSource, ModelShapeTextIconsAndReadOnly)
{
    DataSource source;
    QAbstractItemModelTester tester(&source, QAbstractItemModelTester::FailureReportingMode::Warning);

    const QModelIndex distortion = source.index(1, 1);
    EXPECT_TRUE(source.isCategory(distortion));
    EXPECT_TRUE(source.hasChildren(distortion));
    EXPECT_EQ(source.data(distortion).toString(), "Distortion");
    EXPECT_FALSE(source.data(source.index(1, 0), Qt::DecorationRole).isValid()); // categories have no icon

    int twirlRow = -1;
    for (int r = 0; r < source.rowCount(source.index(1, 0)); ++r)
        if (source.filterRecord(source.index(r, 1, source.index(1, 0))).value("class") == "CITwirlDistortion") twirlRow = r;
    ASSERT_GE(twirlRow, 0);
    const QModelIndex twirlText = source.index(twirlRow, 1, source.index(1, 0));
    EXPECT_EQ(source.data(twirlText).toString(), "Twirl Distortion");
    EXPECT_FALSE(source.hasChildren(twirlText));
    EXPECT_EQ(source.parent(twirlText), source.index(1, 0));
    EXPECT_FALSE(source.flags(twirlText) & Qt::ItemIsEditable);

    // The twirl has a centre handle: it shows the marker, which is a real 16 x 16 picture.
    const QVariant icon = source.data(source.index(twirlRow, 0, source.index(1, 0)), Qt::DecorationRole);
    ASSERT_TRUE(icon.canConvert<QIcon>());
    EXPECT_FALSE(icon.value<QIcon>().pixmap(16, 16).isNull());
    EXPECT_EQ(QImage(":/images/16x16c.tif").size(), QSize(16, 16));
}

TEST(DataSource, HandlesDecideTheMarker)
{
    EXPECT_TRUE(DataSource::isControlsPresent("CITwirlDistortion"));     // position
    EXPECT_TRUE(DataSource::isControlsPresent("CICrop"));                // rectangle
    EXPECT_TRUE(DataSource::isControlsPresent("CISpotLight"));           // 3D position
    EXPECT_TRUE(DataSource::isControlsPresent("CIAffineTransform"));     // transform
    EXPECT_FALSE(DataSource::isControlsPresent("CIColorControls"));      // numbers only
    EXPECT_FALSE(DataSource::isControlsPresent("CIColorMonochrome"));    // number and colour
    EXPECT_FALSE(DataSource::isControlsPresent("CITemperatureAndTint")); // offsets are fields, not handles
    EXPECT_FALSE(DataSource::isControlsPresent("CINoSuchFilter"));
}
