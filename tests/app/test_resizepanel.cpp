// The resize panel: units, proportions, resizing through the controller, and the menu item.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "app/resizepanel.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ResizePanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        panel = window->findChild<ResizePanel *>();
        ASSERT_NE(panel, nullptr);
        ASSERT_EQ(ResizePanel::sharedPanel(), panel);
        QImage picture(640, 480, QImage::Format_ARGB32_Premultiplied);
        picture.fill(qRgb(40, 90, 160));
        c->setBackgroundImage(imaging::imageFromQImage(picture));
        um->closeImplicitGroup();
    }

    void chooseUnit(int code)
    {
        panel->mMeasurePopup->setCurrentIndex(panel->mMeasurePopup->findData(code));
        panel->changeMeasurements();
    }
    // Types into a field as the user would, replacing its text, and ends the edit with Tab-like
    // focus loss (editingFinished) but without the Return key that would also press Resize.
    void type(QLineEdit *field, const QString &text)
    {
        field->selectAll();
        QTest::keyClicks(field, text);
        emit field->editingFinished();
    }
    QSizeF imageSize() const
    {
        const imaging::Rect e = c->backImage().extent();
        return {e.width(), e.height()};
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
    ResizePanel *panel = nullptr;
};

TEST_F(ResizePanelTest, NewImagesShowTheirSizeInPixels)
{
    EXPECT_EQ(panel->width, 640.0f);
    EXPECT_EQ(panel->height, 480.0f);
    EXPECT_EQ(panel->mWidth->text(), "640");
    EXPECT_EQ(panel->mHeight->text(), "480");
    EXPECT_EQ(panel->mCaptionInfo->text(), "640 x 480 pixels");
    EXPECT_EQ(panel->mMeasurePopup->itemData(0).toInt(), int(ResizePanel::Pixels));

    // A new image arriving while the panel is in another unit puts it back to pixels, so that
    // pixel values are never read as inches.
    chooseUnit(ResizePanel::Inches);
    QImage other(100, 50, QImage::Format_ARGB32_Premultiplied);
    other.fill(Qt::white);
    c->setBackgroundImage(imaging::imageFromQImage(other));
    EXPECT_EQ(panel->mMeasurement, int(ResizePanel::Pixels));
    EXPECT_EQ(panel->mMeasurePopup->currentData().toInt(), int(ResizePanel::Pixels));
    EXPECT_EQ(panel->mWidth->text(), "100");
    EXPECT_EQ(panel->mCaptionInfo->text(), "100 x 50 pixels");
}

TEST_F(ResizePanelTest, UnitsConvertAndComeBackExactly)
{
    EXPECT_FLOAT_EQ(panel->getDiv(ResizePanel::Inches), 72.0f);
    EXPECT_FLOAT_EQ(panel->getDiv(ResizePanel::Millimetres), 2.835f);
    EXPECT_FLOAT_EQ(panel->getDiv(ResizePanel::Percent), 1.0f);
    EXPECT_FLOAT_EQ(panel->getDiv(9), 1.0f);

    chooseUnit(ResizePanel::Inches);
    EXPECT_EQ(panel->mWidth->text(), "8.8889");
    EXPECT_EQ(panel->mHeight->text(), "6.6667");
    EXPECT_FLOAT_EQ(panel->getDiv(0), 72.0f);
    EXPECT_FLOAT_EQ(panel->toPoint(2.0f), 144.0f);
    chooseUnit(ResizePanel::Pixels);
    EXPECT_EQ(panel->mWidth->text(), "640");
    EXPECT_EQ(panel->mHeight->text(), "480");

    // Through centimetres to percent of the stored size, and from percent to a physical unit.
    chooseUnit(ResizePanel::Centimetres);
    EXPECT_EQ(panel->mWidth->text(), "22.575");
    chooseUnit(ResizePanel::Percent);
    EXPECT_NEAR(panel->mWidth->text().toDouble(), 100.0, 1e-3);
    EXPECT_NEAR(panel->mHeight->text().toDouble(), 100.0, 1e-3);
    panel->cancel();
    EXPECT_EQ(panel->mMeasurement, int(ResizePanel::Pixels));
    chooseUnit(ResizePanel::Percent);
    EXPECT_EQ(panel->mWidth->text(), "100");
    chooseUnit(ResizePanel::Picas);
    EXPECT_EQ(panel->mWidth->text(), "53.3333");
    EXPECT_EQ(panel->mHeight->text(), "40");

    // After an edit the fields, not the stored size, are converted.
    type(panel->mWidth, "10"); // 10 picas = 120 pixels; height follows at 90 pixels
    EXPECT_EQ(panel->mHeight->text(), "7.5");
    chooseUnit(ResizePanel::Pixels);
    EXPECT_EQ(panel->mWidth->text(), "120");
    EXPECT_EQ(panel->mHeight->text(), "90");
}

TEST_F(ResizePanelTest, FiftyPercentHalvesBothSidesAndUndoRestores)
{
    panel->makeKeyAndOrderFront();
    ASSERT_TRUE(panel->isVisible());
    chooseUnit(ResizePanel::Percent);
    // Return ends the edit (the height follows) and then presses the default button.
    panel->mWidth->selectAll();
    QTest::keyClicks(panel->mWidth, "50");
    QTest::keyClick(panel->mWidth, Qt::Key_Return);
    um->closeImplicitGroup();

    EXPECT_EQ(imageSize(), QSizeF(320, 240));
    // The panel shows the new size, back in pixels and unedited.
    EXPECT_EQ(panel->mCaptionInfo->text(), "320 x 240 pixels");
    EXPECT_EQ(panel->mWidth->text(), "320");
    EXPECT_EQ(panel->mMeasurement, int(ResizePanel::Pixels));
    EXPECT_FALSE(panel->wasChanged);
    EXPECT_TRUE(panel->isVisible());

    c->undo();
    EXPECT_EQ(imageSize(), QSizeF(640, 480));
    EXPECT_EQ(panel->mCaptionInfo->text(), "640 x 480 pixels");
}

TEST_F(ResizePanelTest, ProportionsFollowUnlessTheButtonIsSelected)
{
    type(panel->mWidth, "320");
    EXPECT_EQ(panel->mHeight->text(), "240");
    type(panel->mHeight, "48");
    EXPECT_EQ(panel->mWidth->text(), "64");

    panel->mPropBtn->setChecked(true);
    type(panel->mWidth, "100");
    EXPECT_EQ(panel->mHeight->text(), "48");
    type(panel->mHeight, "30");
    EXPECT_EQ(panel->mWidth->text(), "100");
    panel->resize();
    um->closeImplicitGroup();
    EXPECT_EQ(imageSize(), QSizeF(100, 30));

    // In inches, 4 x 3 inches is 288 x 216 pixels.
    panel->mPropBtn->setChecked(false);
    chooseUnit(ResizePanel::Inches);
    type(panel->mWidth, "4");
    EXPECT_EQ(panel->mHeight->text(), "1.2");
    type(panel->mHeight, "3");
    EXPECT_EQ(panel->mWidth->text(), "10");
    panel->mPropBtn->setChecked(true);
    type(panel->mWidth, "4");
    panel->resize();
    um->closeImplicitGroup();
    EXPECT_EQ(imageSize(), QSizeF(288, 216));
}

TEST_F(ResizePanelTest, NothingHappensWithoutAnEditOrWithABadEntry)
{
    // Focus passing through a field is not an edit.
    const imaging::Image original = c->backImage();
    emit panel->mWidth->editingFinished();
    EXPECT_FALSE(panel->wasChanged);
    panel->resize();
    EXPECT_TRUE(c->backImage() == original);

    // Cancel puts the stored size back in pixels and keeps the panel open.
    panel->makeKeyAndOrderFront();
    chooseUnit(ResizePanel::Millimetres);
    type(panel->mWidth, "5");
    panel->cancel();
    EXPECT_EQ(panel->mWidth->text(), "640");
    EXPECT_EQ(panel->mHeight->text(), "480");
    EXPECT_EQ(panel->mMeasurePopup->currentIndex(), 0);
    EXPECT_FALSE(panel->wasChanged);
    EXPECT_TRUE(panel->isVisible());

    // A zero size is refused: no step, and the entry stays for correcting.
    type(panel->mWidth, "0");
    panel->resize();
    EXPECT_TRUE(c->backImage() == original);
    EXPECT_EQ(panel->mWidth->text(), "0");
    EXPECT_TRUE(panel->wasChanged);

    // Without a stored size, percent and proportions give numbers, not NaN.
    panel->setWH(0, 0);
    chooseUnit(ResizePanel::Percent);
    EXPECT_EQ(panel->mWidth->text(), "100");
    chooseUnit(ResizePanel::Pixels);
    type(panel->mWidth, "10");
    EXPECT_EQ(panel->mHeight->text(), "0");
}

TEST_F(ResizePanelTest, CancelAndEscCloseThePanelAndDropTheEntry)
{
    QPushButton *cancelButton = nullptr;
    for (QPushButton *b : panel->findChildren<QPushButton *>())
        if (b->text() == QLatin1String("Cancel"))
            cancelButton = b;
    ASSERT_NE(cancelButton, nullptr);

    const imaging::Image original = c->backImage();
    panel->makeKeyAndOrderFront();
    type(panel->mWidth, "10");
    QTest::mouseClick(cancelButton, Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->mWidth->text(), "640");
    EXPECT_FALSE(panel->wasChanged);
    EXPECT_TRUE(c->backImage() == original);

    // Esc in the panel, with the main window's own Esc item (Escape effect) in its menus.
    panel->makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    type(panel->mHeight, "7");
    QTest::keyClick(panel->mHeight, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->mHeight->text(), "480");
    EXPECT_TRUE(c->backImage() == original);
}

TEST_F(ResizePanelTest, MenuItemTogglesThePanelAndShowsItsState)
{
    QAction *item = window->menuAction(QStringLiteral("resizeImage:"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(c->validateMenuItem(item));
    EXPECT_FALSE(item->isChecked());

    panel->setWH(1, 1); // stale size: opening takes the image's size again
    item->trigger();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->mCaptionInfo->text(), "640 x 480 pixels");
    EXPECT_TRUE(c->validateMenuItem(item));
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(c->validateMenuItem(item));
    EXPECT_FALSE(item->isChecked());
}

} // namespace
