// Parameter rows: captions, readout units, commits and their guards, transform decomposition.
#include "rowtestsupport.h"

#include "views/colorwell.h"
#include "views/floatslider.h"
#include "views/parameterview.h"
#include "views/vurevoduimageview.h"
#include "platform/imagefiles.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QDir>
#include <QPushButton>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

struct Row
{
    explicit Row(double width = 260, double height = 18)
    {
        filter = allKindsFilter();
        controller.filter = filter;
        row = new ParameterView(&parent);
        row->resize(int(width), int(height));
    }
    QWidget parent;
    RecordingController controller;
    std::shared_ptr<imaging::Filter> filter;
    ParameterView *row;
};

void typeInto(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->editingFinished();
}

} // namespace

TEST(ParameterViewText, UnInterCapSpacesCapitalsAndDigits)
{
    EXPECT_EQ(unInterCap("BackgroundImage"), "Background Image");
    EXPECT_EQ(unInterCap("Point0"), "Point 0");
    EXPECT_EQ(unInterCap("Point12"), "Point 1 2");
    EXPECT_EQ(unInterCap("EV"), "E V");
    EXPECT_EQ(unInterCap("Radius"), "Radius");
    EXPECT_EQ(unInterCap(""), "");
}

TEST(ParameterViewText, EllipsizedCaptionsFitAndEndInDots)
{
    QFont font;
    font.setPointSizeF(9);
    const QFontMetricsF m(font);
    EXPECT_EQ(ParameterView::ellipsizeField(200, font, "Radius"), "Radius");
    EXPECT_EQ(ParameterView::ellipsizeField(400, font, "Replacement Color"), "Replace With");

    const QString longText = "A Caption Far Too Long For Its Narrow Field";
    const QString shortened = ParameterView::ellipsizeField(60, font, longText);
    EXPECT_TRUE(shortened.endsWith("..."));
    EXPECT_LE(int(m.horizontalAdvance(shortened)), 55);
    EXPECT_TRUE(longText.startsWith(shortened.chopped(3)));
    // Nothing fits: the loop stops at the dots instead of running forever.
    EXPECT_EQ(ParameterView::ellipsizeField(2, font, longText), "...");
}

TEST(ParameterViewText, FormatsWithFieldWidthAndPrecision)
{
    char buffer[32];
    format_floating_point_number(4, 2, buffer, 1.0f);
    EXPECT_STREQ(buffer, "1.00");
    format_floating_point_number(1, 3, buffer, 50.0f);
    EXPECT_STREQ(buffer, "50.000");
    format_floating_point_number(4, 1, buffer, 3.25f);
    EXPECT_STREQ(buffer, " 3.2");
}

TEST(ParameterViewNumber, TimeReadoutIsInHundredthsAndTypedValuesConvertBack)
{
    Row r;
    r.row->addSliderForFilter(r.filter, "inputTime", &r.controller);
    EXPECT_EQ(r.row->dataType(), ParameterView::Time);
    EXPECT_EQ(r.row->readoutTextField()->text(), "50.000");
    EXPECT_EQ(r.row->labelTextField()->text(), "Time");

    typeInto(r.row->readoutTextField(), "25");
    ASSERT_EQ(r.controller.commits.size(), 1u);
    EXPECT_FLOAT_EQ(r.controller.commits[0].value.toFloat(), 0.25f);
    EXPECT_EQ(r.controller.actionNames, QStringList{"inputTime"});
    EXPECT_EQ(r.controller.redraws, 1);
    EXPECT_NEAR(r.row->slider()->doubleValue(), 0.25, 1e-6);

    // The same value again is dropped before committing.
    typeInto(r.row->readoutTextField(), "25");
    EXPECT_EQ(r.controller.commits.size(), 1u);
    EXPECT_EQ(r.controller.redraws, 1);
}

TEST(ParameterViewNumber, AngleReadoutIsInDegrees)
{
    Row r;
    r.row->addSliderForFilter(r.filter, "inputAngle", &r.controller);
    EXPECT_EQ(r.row->readoutTextField()->text(), "90.0");
    typeInto(r.row->readoutTextField(), "180");
    ASSERT_EQ(r.controller.commits.size(), 1u);
    EXPECT_FLOAT_EQ(r.controller.commits[0].value.toFloat(), float(pi));
}

TEST(ParameterViewNumber, SliderCommitsOnlyDistinctPositions)
{
    Row r;
    r.row->addSliderForFilter(r.filter, "inputRadius", &r.controller);
    FloatSlider *slider = r.row->slider();
    EXPECT_DOUBLE_EQ(slider->minValue(), 0);
    EXPECT_DOUBLE_EQ(slider->maxValue(), 100);
    EXPECT_NEAR(slider->doubleValue(), 10, 1e-9);

    slider->setValue(FloatSlider::steps / 2); // as a drag would
    ASSERT_EQ(r.controller.commits.size(), 1u);
    EXPECT_NEAR(r.controller.commits[0].value.toDouble(), 50, 1e-9);
    EXPECT_EQ(r.row->readoutTextField()->text(), "50.0");
    EXPECT_NEAR(r.filter->value("inputRadius").toDouble(), 50, 1e-9);

    r.row->sliderChanged(); // a repeated report of the same position
    EXPECT_EQ(r.controller.commits.size(), 1u);
    EXPECT_EQ(r.controller.redraws, 1);
}

TEST(ParameterViewNumber, UnbuiltRowDoesNothing)
{
    Row r;
    r.row->sliderChanged();
    r.row->readoutTextFieldChanged();
    r.row->colorWellChanged();
    r.row->scaleSliderChanged();
    EXPECT_TRUE(r.controller.commits.empty());
    EXPECT_EQ(r.controller.redraws, 0);
}

TEST(ParameterViewFlagAndColour, CommitTheControlsState)
{
    Row flag;
    flag.row->addCheckBoxForFilter(flag.filter, "inputFlag", &flag.controller);
    ASSERT_TRUE(flag.row->checkBox());
    EXPECT_TRUE(flag.row->checkBox()->isChecked());
    EXPECT_EQ(flag.row->checkBox()->text(), "Flag");
    flag.row->checkBox()->setChecked(false);
    ASSERT_EQ(flag.controller.commits.size(), 1u);
    EXPECT_FALSE(flag.controller.commits[0].value.toBool());

    Row colour(120, 26);
    colour.row->addColorWellForFilter(colour.filter, "inputColor0", &colour.controller);
    EXPECT_EQ(colour.row->colorWell()->color(), QColor(255, 0, 0));
    colour.row->colorWell()->setColor(QColor::fromRgbF(0, 0, 1, 0.5f));
    colour.row->colorWellChanged();
    ASSERT_EQ(colour.controller.commits.size(), 1u);
    const imaging::Color c = colour.controller.commits[0].value.value<imaging::Color>();
    EXPECT_NEAR(c.blue, 1, 1e-6);
    EXPECT_NEAR(c.alpha, 0.5, 1e-2);
}

TEST(ParameterViewVector, OffsetCommitsFourValuesOnEveryKeystroke)
{
    Row r(260, 16);
    r.row->addOffsetForFilter(r.filter, "inputOffset", &r.controller);
    ASSERT_TRUE(r.row->readoutField(1));
    EXPECT_EQ(r.row->readoutField(2), nullptr);
    EXPECT_EQ(r.row->readoutField(0)->text(), "3.000");

    r.row->readoutField(1)->clear();
    QTest::keyClicks(r.row->readoutField(1), "12");
    ASSERT_EQ(r.controller.commits.size(), 2u); // "1", then "12"
    const imaging::Vector v = r.controller.commits.back().value.value<imaging::Vector>();
    EXPECT_EQ(v, (imaging::Vector{3, 12, 0, 0}));

    // A half-typed number is not committed as 0 while typing.
    r.row->readoutField(1)->clear();
    QTest::keyClicks(r.row->readoutField(1), "-");
    EXPECT_EQ(r.controller.commits.size(), 2u);
}

TEST(ParameterViewVector, FieldsShareTheRowWidth)
{
    Row r(300, 16);
    r.row->addVectorForFilter(r.filter, "inputVector", &r.controller);
    // q = (295 - 95) / 4 = 50: fields at 80, 135, 190, 245, each 50 wide.
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(r.row->readoutField(i));
        EXPECT_EQ(r.row->readoutField(i)->geometry().x(), 80 + i * 55);
        EXPECT_EQ(r.row->readoutField(i)->width(), 50);
    }
    EXPECT_EQ(r.row->readoutField(3)->text(), "4.000");
}

TEST(ParameterViewVector, NumbersWiderThanTheirFieldShowTheirLeadingDigits)
{
    // The white point's temperature: eight characters in a field about forty pixels wide. Its
    // start must be in view ("6500.0"), not its end ("0.000"), which reads as another number.
    auto filter = imaging::Filter::filterWithName("CITemperatureAndTint");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    Row r(260, 16);
    r.row->addOffsetForFilter(filter, "inputNeutral", &r.controller);
    QLineEdit *field = r.row->readoutField(0);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "6500.000");
    EXPECT_GT(field->fontMetrics().horizontalAdvance(field->text()), field->width() - 2); // it does overflow
    EXPECT_EQ(field->cursorPosition(), 0);
}

TEST(ParameterViewTransform, IdentityShowsNeutralFields)
{
    Row r(260, 67);
    r.row->addTransformForFilter(r.filter, "inputTransform", &r.controller);
    EXPECT_EQ(r.row->transformReadout(0)->text(), "1.00");
    EXPECT_EQ(r.row->transformReadout(1)->text(), "0.0");
    EXPECT_EQ(r.row->transformReadout(2)->text(), "1.00");
    EXPECT_EQ(r.row->transformReadout(3)->text(), "0.00");
    EXPECT_DOUBLE_EQ(r.row->transformSlider(0)->doubleValue(), 0);
    EXPECT_DOUBLE_EQ(r.row->transformSlider(2)->doubleValue(), 0);
}

TEST(ParameterViewTransform, ScaleSliderComposesAndKeepsTheTranslation)
{
    Row r(260, 67);
    r.filter->setValue(QVariant::fromValue(imaging::AffineTransform::translation(7, 9)), "inputTransform");
    r.row->addTransformForFilter(r.filter, "inputTransform", &r.controller);
    r.row->transformSlider(0)->setValue(FloatSlider::steps * 3 / 4); // log10 s = 1
    ASSERT_EQ(r.controller.commits.size(), 1u);
    const imaging::AffineTransform t = r.controller.commits[0].value.value<imaging::AffineTransform>();
    EXPECT_NEAR(t.m11, 10, 1e-4);
    EXPECT_NEAR(t.m22, 10, 1e-4);
    EXPECT_NEAR(t.m12, 0, 1e-6);
    EXPECT_DOUBLE_EQ(t.tX, 7);
    EXPECT_DOUBLE_EQ(t.tY, 9);
    EXPECT_EQ(r.row->transformReadout(0)->text(), "10.00");
}

TEST(ParameterViewTransform, DecompositionRoundTripsAndStaysFinite)
{
    // A quarter turn: the textbook division by (c - n k) s is 0 / 0 here.
    const TransformFields q = ParameterView::decomposeTransform(0, 1, -1, 0);
    EXPECT_NEAR(q.scale, 1, 1e-6);
    EXPECT_NEAR(q.angle, pi / 2, 1e-6);
    EXPECT_NEAR(q.stretch, 1, 1e-6);
    EXPECT_NEAR(q.skew, 0, 1e-6);

    const TransformFields zero = ParameterView::decomposeTransform(0, 0, 0, 0);
    for (float v : {zero.scale, zero.angle, zero.stretch, zero.skew})
        EXPECT_TRUE(std::isfinite(v));

    for (const auto &f : {TransformFields{2, 0.3f, 1.5f, 0.25f}, TransformFields{0.5f, 4.0f, 0.8f, -2},
                          TransformFields{1, float(pi / 2), 2, 1}}) {
        const imaging::AffineTransform m = standard_fields_to_transform(f.scale, f.angle, f.stretch, f.skew, 0, 0);
        const TransformFields d = ParameterView::decomposeTransform(m.m11, m.m12, m.m21, m.m22);
        EXPECT_NEAR(d.scale, f.scale, 1e-4);
        EXPECT_NEAR(d.angle, f.angle, 1e-4);
        EXPECT_NEAR(d.stretch, f.stretch, 1e-4);
        EXPECT_NEAR(d.skew, f.skew, 1e-4);
    }
}

TEST(ParameterViewTransform, QuarterTurnRowCommitsFiniteValues)
{
    Row r(260, 67);
    r.filter->setValue(QVariant::fromValue(imaging::AffineTransform(0, 1, -1, 0, 5, 6)), "inputTransform");
    r.row->addTransformForFilter(r.filter, "inputTransform", &r.controller);
    EXPECT_EQ(r.row->transformReadout(1)->text(), "90.0");
    typeInto(r.row->transformReadout(3), "0.5");
    typeInto(r.row->transformReadout(0), "-3"); // log10 of a negative scale is not a number
    ASSERT_FALSE(r.controller.commits.empty());
    for (const Commit &c : r.controller.commits) {
        const imaging::AffineTransform t = c.value.value<imaging::AffineTransform>();
        for (double v : {t.m11, t.m12, t.m21, t.m22, t.tX, t.tY})
            EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(ParameterViewImage, ThumbnailIsSixtyFourOnTheLongSide)
{
    Row r(260, 44);
    r.filter->setValue(QVariant::fromValue(plainImage(200, 100, Qt::green)), "inputImage");
    r.row->addImageWellForFilter(r.filter, "inputImage", &r.controller);
    ASSERT_TRUE(r.row->imageView());
    EXPECT_EQ(r.row->pushButton()->text(), "Choose");
    // The thumbnail is 64 x 32; the well (48 points wide) shows it scaled down to fit.
    EXPECT_EQ(r.row->imageView()->image().size(), QSize(64, 32));
    const QPixmap shown = r.row->imageView()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_LE(shown.width(), r.row->imageView()->contentsRect().width());
    EXPECT_EQ(shown.width(), 2 * shown.height());

    // A drop that brought no readable file leaves the input alone.
    r.row->imageView()->setFilePath1("/nonexistent/picture.png");
    r.row->imageWellChanged();
    EXPECT_TRUE(r.controller.commits.empty());
    EXPECT_EQ(r.controller.redraws, 1);
}

TEST(ParameterViewImage, DroppedFileIsCommitted)
{
    Row r(260, 44);
    r.row->addImageWellForFilter(r.filter, "inputImage", &r.controller);
    // A JPEG photograph, read by the program's reader, becomes the input at its full size.
    r.row->imageView()->setFilePath1(QStringLiteral(LUMETTA_TEST_DATA "/rocket.jpg"));
    r.row->imageWellChanged();
    ASSERT_EQ(r.controller.commits.size(), 1u);
    EXPECT_EQ(r.controller.commits[0].value.value<imaging::Image>().extent(), imaging::Rect(0, 0, 640, 427));
    // A truncated one changes nothing.
    r.row->imageView()->setFilePath1(QStringLiteral(LUMETTA_TEST_DATA "/truncated.jpg"));
    r.row->imageWellChanged();
    EXPECT_EQ(r.controller.commits.size(), 1u);
}

TEST(ParameterViewImage, PicturesDroppedOnTheWellGoThroughTheProgramsReader)
{
    VurEvoduImageView well;
    well.resize(48, 44);
    // A drag enters the well (which makes it the drop's target), then drops.
    auto drop = [&well](QMimeData *data) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&well, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&well, &event);
    };
    // Picture data (as another program offers it) is decoded by the guarded reader.
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QMimeData good;
    good.setData(QStringLiteral("image/png"), ImageFiles::encodeImage(picture, ImageFiles::PNG));
    drop(&good);
    EXPECT_EQ(well.image().convertToFormat(QImage::Format_RGB32), picture);
    // A file too short for the picture it declares shows nothing.
    QMimeData bad;
    QByteArray half = ImageFiles::encodeImage(picture, ImageFiles::BMP);
    bad.setData(QStringLiteral("image/bmp"), half.left(half.size() / 2));
    drop(&bad);
    EXPECT_TRUE(well.image().isNull());
    // Files are read by path, with the same guards: a device is no picture.
    QMimeData device;
    device.setUrls({QUrl::fromLocalFile(QStringLiteral("/dev/zero"))});
    drop(&device);
    EXPECT_TRUE(well.image().isNull());
    EXPECT_EQ(well.filePath(), QStringLiteral("/dev/zero"));
}

TEST(ParameterViewTransform, VectorFormRowReadsItsSixValuesAndLinesUp)
{
    Row r(260, 67);
    // A transform kept as the six-value vector: a quarter turn, moved by (5, 6).
    r.filter = imaging::Filter::filterWithName("CIAffineClamp");
    ASSERT_TRUE(r.filter);
    r.controller.filter = r.filter;
    r.filter->setValue(QVariant::fromValue(imaging::Vector{0, 1, -1, 0, 5, 6}), "inputTransform");
    r.row->addTransformForFilter(r.filter, "inputTransform", &r.controller);
    EXPECT_EQ(r.row->transformReadout(0)->text(), "1.00");
    EXPECT_EQ(r.row->transformReadout(1)->text(), "90.0");
    EXPECT_EQ(r.row->transformReadout(2)->text(), "1.00");
    EXPECT_EQ(r.row->transformReadout(3)->text(), "0.00");

    // Scale, angle, stretch and skew from the top, 17 points apart, each readout beside its
    // slider and inside the row.
    for (int part = 0; part < 4; ++part) {
        const QRect slider = r.row->transformSlider(part)->geometry();
        const QRect readout = r.row->transformReadout(part)->geometry();
        EXPECT_EQ(slider.y(), 67 - 16 - (51 - 17 * part)) << part;
        EXPECT_EQ(readout.y(), slider.y()) << part;
        EXPECT_GT(readout.x(), slider.x() + slider.width() - 1) << part;
        EXPECT_LE(readout.x() + readout.width(), 260) << part;
    }

    // The stretch slider's left end is a hundredth; the result keeps the vector form and the move.
    r.row->transformSlider(2)->setValue(0);
    ASSERT_FALSE(r.controller.commits.empty());
    const imaging::Vector v = r.controller.commits.back().value.value<imaging::Vector>();
    ASSERT_EQ(v.count(), 6u);
    EXPECT_NEAR(r.row->lastTransformFields().stretch, 0.01, 1e-6);
    EXPECT_EQ(r.row->transformReadout(2)->text(), "0.01");
    EXPECT_DOUBLE_EQ(v.value(4), 5);
    EXPECT_DOUBLE_EQ(v.value(5), 6);
}
