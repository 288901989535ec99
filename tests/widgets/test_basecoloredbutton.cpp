#include "widgets/basecoloredbutton.h"
#include "widgets/basecoloredtextbutton.h"

#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QImage filled(const QColor &color, QSize size = QSize(10, 10))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QImage render(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(BaseColoredButton, SelectedWhenDownOrOnWithoutMixedState)
{
    BaseColoredButton button;
    button.setCheckable(true);
    EXPECT_FALSE(button.isSelected());
    button.setChecked(true);
    EXPECT_TRUE(button.isSelected());
    button.setAllowsMixedState(true);
    EXPECT_FALSE(button.isSelected());
    button.setDown(true);
    EXPECT_TRUE(button.isSelected());
}

TEST(BaseColoredButton, ChoosesNormalAlternateOrTitleImage)
{
    BaseColoredButton button;
    button.setCheckable(true);
    EXPECT_TRUE(button.currentImage().isNull()); // no image: standard drawing
    button.setImage(filled(Qt::red));
    button.setAlternateImage(filled(Qt::green));
    EXPECT_EQ(button.currentImage().pixelColor(0, 0), QColor(Qt::red));
    button.setChecked(true);
    EXPECT_EQ(button.currentImage().pixelColor(0, 0), QColor(Qt::green));

    // Disabled with a title: the resource image of that name.
    button.setText("off_x");
    button.setEnabled(false);
    const QImage named = button.currentImage();
    ASSERT_FALSE(named.isNull());
    EXPECT_EQ(named.size(), BaseColoredButton::imageNamed("off_x").size());
}

TEST(BaseColoredButton, DrawsImageStretchedOrAtItsOwnSize)
{
    BaseColoredButton button;
    button.resize(20, 20);
    button.setImage(filled(Qt::blue, QSize(10, 10)));

    QImage out = render(button); // scaled to the button by default
    EXPECT_EQ(out.pixelColor(15, 15), QColor(Qt::blue));

    button.setImageScaling(BaseColoredButton::ImageScaling::None);
    out = render(button);
    EXPECT_EQ(out.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_NE(out.pixelColor(15, 15), QColor(Qt::blue));

    button.setFitToFrame(true);
    out = render(button);
    EXPECT_EQ(out.pixelColor(15, 15), QColor(Qt::blue));
}

TEST(BaseColoredButton, DisabledImageButtonIsVeiled)
{
    BaseColoredButton button;
    button.resize(10, 10);
    button.setImage(filled(Qt::black));
    button.setEnabled(false);
    // grey 0.6 at half opacity over black
    const QColor veiled = render(button).pixelColor(5, 5);
    EXPECT_NEAR(veiled.red(), 77, 2);
    EXPECT_EQ(veiled.red(), veiled.green());
    EXPECT_EQ(veiled.green(), veiled.blue());
}

TEST(BaseColoredButton, DragFlagIsStored)
{
    BaseColoredButton button;
    EXPECT_FALSE(button.isDragEnable());
    button.setDragEnable(true);
    EXPECT_TRUE(button.isDragEnable());
}

TEST(BaseColoredTextButton, HoverTurnsItOnAndClicksDoNotToggle)
{
    BaseColoredTextButton button("Help");
    button.resize(80, 24);
    button.show();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isChecked());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isChecked());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isChecked());
}
