// One user gesture is one undo step: slider drags in the parameter rows and in the drawn effects'
// panels, handle drags on the canvas, and clicks on the mode buttons, driven by real mouse events
// through the main window.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "effects/drawneffect.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/colorwell.h"
#include "views/filterview.h"
#include "views/floatslider.h"
#include "views/myimageview.h"
#include "views/parameterview.h"
#include "widgets/gradientbutton.h"

#include <QAbstractItemModel>
#include <QColorDialog>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class GestureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        window->resize(1280, 820);
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        QCoreApplication::processEvents();
    }

    ParameterView *row(const QString &key) const
    {
        if (auto *box = c->placeCntrlView->findChild<FilterView *>())
            for (ParameterView *r : box->rows())
                if (r->key() == key)
                    return r;
        return nullptr;
    }

    // The centre of the slider's knob, in the slider's coordinates.
    static QPoint knob(QSlider *slider)
    {
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
    }

    // Presses the knob, moves it `moves` times to the left by `step` pixels and lets go, each event
    // handled by the event loop as a user's would be.
    static void drag(QSlider *slider, int moves, int step)
    {
        QPoint p = knob(slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, p);
        QCoreApplication::processEvents();
        for (int i = 0; i < moves; ++i) {
            p.rx() -= step;
            QMouseEvent move(QEvent::MouseMove, p, slider->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(slider, &move);
            QCoreApplication::processEvents();
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, p);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(GestureTest, ASliderDragOfManyMovesIsOneNamedUndoStep)
{
    c->addFilter("CIGaussianBlur", 111);
    QCoreApplication::processEvents();
    um->removeAllActions();
    ParameterView *radius = row("inputRadius");
    ASSERT_TRUE(radius);
    FloatSlider *slider = radius->slider();
    // Start on the right so that the drag to the left has room.
    slider->setValue(FloatSlider::steps * 3 / 4);
    um->closeImplicitGroup();
    um->removeAllActions();
    const double before = c->getCurrentFilter()->value("inputRadius").toDouble();

    drag(slider, 8, 6);
    const double after = c->getCurrentFilter()->value("inputRadius").toDouble();
    ASSERT_LT(after, before) << "the drag did not move the slider";
    EXPECT_EQ(um->undoMenuItemTitle(), QStringLiteral("Undo Change to Gaussian Blur Radius"));

    c->undo();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), before);
    EXPECT_FALSE(um->canUndo());
    c->redo();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), after);

    // A key press on the slider is a step of its own.
    QCoreApplication::processEvents();
    ParameterView *rebuilt = row("inputRadius");
    ASSERT_TRUE(rebuilt);
    rebuilt->slider()->setFocus();
    QTest::keyClick(rebuilt->slider(), Qt::Key_Right);
    QCoreApplication::processEvents();
    const double keyed = c->getCurrentFilter()->value("inputRadius").toDouble();
    EXPECT_GT(keyed, after);
    c->undo();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), after);
}

TEST_F(GestureTest, ADrawnEffectsOpacityDragIsOneUndoStep)
{
    c->changeFilterMode(c->customBtn);
    c->outlineViewSelectionDidChange_Custom(c->m_customListModel->index(5, 1)); // Plasma
    QCoreApplication::processEvents();
    auto *effect = dynamic_cast<DrawnEffect *>(c->getCurrentCustomEffect());
    ASSERT_TRUE(effect);
    um->removeAllActions();
    QSlider *opacity = nullptr;
    for (QSlider *s : effect->getTopControlsView()->findChildren<QSlider *>())
        if (s->maximum() == 100 && s->value() == int(effect->opacity()))
            opacity = s;
    ASSERT_TRUE(opacity);
    const float before = effect->opacity();

    drag(opacity, 10, 3);
    ASSERT_LT(effect->opacity(), before);
    c->undo();
    EXPECT_FLOAT_EQ(effect->opacity(), before);
    EXPECT_FALSE(um->canUndo());
}

TEST_F(GestureTest, DraggingACanvasHandleIsOneUndoStep)
{
    QImage white(300, 200, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    c->setBackgroundImage(imaging::imageFromQImage(white));
    c->addFilter("CITwirlDistortion", 111);
    QCoreApplication::processEvents();
    um->removeAllActions();
    const QVariant before = c->getCurrentFilter()->value("inputCenter");

    MyImageView *view = c->ciView;
    // The handle sits on the filter's centre; find it in view coordinates.
    const auto centre = before.value<imaging::Vector>();
    const QPoint start = view->mapToView(QPointF(centre.value(0), centre.value(1))).toPoint();
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    QCoreApplication::processEvents();
    for (int i = 1; i <= 6; ++i) {
        const QPoint p = start + QPoint(4 * i, 3 * i);
        QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(view, &move);
        QCoreApplication::processEvents();
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, start + QPoint(24, 18));
    QCoreApplication::processEvents();
    ASSERT_NE(c->getCurrentFilter()->value("inputCenter"), before) << "the handle did not move";

    c->undo();
    EXPECT_EQ(c->getCurrentFilter()->value("inputCenter"), before);
}

TEST_F(GestureTest, ClickingTheModeAlreadyShownLeavesTheUndoHistoryAlone)
{
    c->rotateLeft();
    QCoreApplication::processEvents();
    ASSERT_TRUE(um->canUndo());
    const QString title = um->undoMenuItemTitle();
    const imaging::Rect rotated = c->backImage().extent();

    QTest::mouseClick(c->standardBtn, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(c->standardBtn->isChecked());
    EXPECT_EQ(um->undoMenuItemTitle(), title);
    c->undo();
    EXPECT_NE(c->backImage().extent(), rotated) << "the rotation's undo step was lost";
    EXPECT_FALSE(um->canUndo());

    // The menu item of the mode shown does nothing either.
    c->rotateLeft();
    QCoreApplication::processEvents();
    c->selectMenuMode(window->menuAction(QStringLiteral("selectMenuMode:"), 1));
    c->undo();
    EXPECT_FALSE(um->canUndo());
}

TEST_F(GestureTest, AColourDialogShowsColoursLiveAndRecordsOnlyTheChosenOne)
{
    c->changeFilterMode(c->customBtn);
    c->outlineViewSelectionDidChange_Custom(c->m_customListModel->index(5, 1)); // Plasma
    QCoreApplication::processEvents();
    auto *effect = dynamic_cast<DrawnEffect *>(c->getCurrentCustomEffect());
    ASSERT_TRUE(effect);
    auto *well = effect->getTopControlsView()->findChild<ColorWell *>();
    ASSERT_TRUE(well);
    um->removeAllActions();
    const QColor original = effect->bgColor();

    // Colours tried in the dialog show at once and record nothing; OK records one step.
    QTest::mouseClick(well, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(well->dialog());
    EXPECT_FALSE(well->dialog()->isModal());
    well->dialog()->setCurrentColor(QColor(200, 0, 0));
    well->dialog()->setCurrentColor(QColor(0, 0, 200));
    EXPECT_EQ(effect->bgColor(), QColor(0, 0, 200));
    EXPECT_FALSE(um->canUndo());
    well->dialog()->accept();
    QCoreApplication::processEvents();
    EXPECT_EQ(effect->bgColor(), QColor(0, 0, 200));
    c->undo();
    EXPECT_EQ(effect->bgColor(), original);
    EXPECT_FALSE(um->canUndo());

    // Cancel puts the colour back and records nothing.
    um->removeAllActions();
    QTest::mouseClick(well, Qt::LeftButton);
    ASSERT_TRUE(well->dialog());
    well->dialog()->setCurrentColor(QColor(0, 150, 0));
    EXPECT_EQ(effect->bgColor(), QColor(0, 150, 0));
    well->dialog()->reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(effect->bgColor(), original);
    EXPECT_EQ(well->color(), original);
    EXPECT_FALSE(um->canUndo());
}

TEST_F(GestureTest, AFiltersColourRowPreviewsAndCommitsOnce)
{
    c->addFilter("CIColorMonochrome", 111);
    QCoreApplication::processEvents();
    um->removeAllActions();
    ParameterView *colour = row("inputColor");
    ASSERT_TRUE(colour);
    auto *well = colour->findChild<ColorWell *>();
    ASSERT_TRUE(well);
    const QVariant before = c->getCurrentFilter()->value("inputColor");

    QTest::mouseClick(well, Qt::LeftButton);
    ASSERT_TRUE(well->dialog());
    well->dialog()->setCurrentColor(QColor(255, 0, 0));
    EXPECT_NE(c->getCurrentFilter()->value("inputColor"), before);
    EXPECT_FALSE(um->canUndo());
    well->dialog()->accept();
    QCoreApplication::processEvents();
    EXPECT_EQ(um->undoMenuItemTitle(), QStringLiteral("Undo Change to Color Monochrome Color"));
    const QVariant chosen = c->getCurrentFilter()->value("inputColor");
    EXPECT_NE(chosen, before);
    c->undo();
    EXPECT_EQ(c->getCurrentFilter()->value("inputColor"), before);
}

} // namespace
