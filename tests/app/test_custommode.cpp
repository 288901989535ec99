// The controller's side of the custom mode: choosing effects from the list, undo across choices,
// Escape and Apply.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "effects/drawneffect.h"
#include "effects/patmorphingeffect.h"
#include "platform/undomanager.h"
#include "views/colorwell.h"
#include "views/customeffimageview.h"
#include "widgets/gradientbutton.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QColorDialog>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class CustomModeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::srand(7);
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        c->changeFilterMode(c->customBtn);
        um->removeAllActions();
    }

    QModelIndex row(int r) const { return c->m_customListModel->index(r, 1); }
    DrawnEffect *working() const { return dynamic_cast<DrawnEffect *>(c->getCurrentCustomEffect()); }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(CustomModeTest, ChoosingAnEffectMakesAWorkingCopyAndMarksTheDocument)
{
    ASSERT_EQ(c->customPrototypes().size(), 8u);
    c->outlineViewSelectionDidChange_Custom(row(1));
    ASSERT_NE(c->getCurrentCustomEffect(), nullptr);
    EXPECT_NE(c->getCurrentCustomEffect(), c->customPrototypes()[1]);
    EXPECT_TRUE(c->wasChanged());
    EXPECT_TRUE(c->applyBtn->isEnabled());

    // No item drops the working copy.
    c->outlineViewSelectionDidChange_Custom(QModelIndex());
    EXPECT_EQ(c->getCurrentCustomEffect(), nullptr);
    EXPECT_FALSE(c->applyBtn->isEnabled());
}

TEST_F(CustomModeTest, ClickingARowChoosesItsEffectAndTheCanvasPaintsIt)
{
    // The list's own selection, as a click makes it, reaches the controller.
    ASSERT_TRUE(c->filterCustomOutlineView);
    QImage screen(200, 150, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::transparent);
    {
        QPainter p(&screen);
        EXPECT_FALSE(c->drawCustomEffect(p, QRectF(0, 0, 200, 150), QRectF(0, 0, 600, 400)));
    }
    c->filterCustomOutlineView->setCurrentIndex(row(1));
    ASSERT_NE(c->getCurrentCustomEffect(), nullptr);
    EXPECT_NE(c->getCurrentCustomEffect(), c->customPrototypes()[1]);

    // The canvas composes the working copy: it says so and puts pixels on the screen.
    QPainter p(&screen);
    EXPECT_TRUE(c->drawCustomEffect(p, QRectF(0, 0, 200, 150), QRectF(0, 0, 600, 400)));
    p.end();
    EXPECT_NE(screen.pixel(100, 75), QColor(Qt::transparent).rgba());
}

TEST_F(CustomModeTest, ChoosingAnotherEffectDropsTheOldCopysUndoSteps)
{
    c->outlineViewSelectionDidChange_Custom(row(1));
    DrawnEffect *first = working();
    ASSERT_NE(first, nullptr);
    first->setchangeOpacity(0.25f, nullptr);
    um->closeImplicitGroup();
    ASSERT_TRUE(um->canUndo());

    c->outlineViewSelectionDidChange_Custom(row(5));
    EXPECT_FALSE(um->canUndo());
    // Undo after Escape must not reach a copy that no longer exists: its steps go with it, and
    // undo and redo then change nothing (under the sanitizers a step left behind would touch
    // freed memory).
    working()->setchangeOpacity(0.5f, nullptr);
    um->closeImplicitGroup();
    ASSERT_TRUE(um->canUndo());
    const imaging::Image image = c->backImage();
    c->escapeEffect();
    EXPECT_EQ(c->getCurrentCustomEffect(), nullptr);
    EXPECT_FALSE(um->canUndo());
    c->undo();
    EXPECT_FALSE(um->canRedo());
    c->redo();
    EXPECT_EQ(c->getCurrentCustomEffect(), nullptr);
    EXPECT_TRUE(c->backImage() == image);
}

TEST_F(CustomModeTest, ApplyBakesTheRenderingInUndoablyAndClearsTheEffect)
{
    const QImage before = Controller::imageFromCIImage(c->backImage());
    c->outlineViewSelectionDidChange_Custom(row(5)); // plasma
    c->applyBtnAction();
    um->closeImplicitGroup();
    EXPECT_EQ(c->getCurrentCustomEffect(), nullptr);
    const QImage after = Controller::imageFromCIImage(c->backImage());
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    c->undo();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), before);
}

TEST_F(CustomModeTest, ApplyWhileColoursAreTriedWritesTheFullRendering)
{
    c->outlineViewSelectionDidChange_Custom(row(6)); // pattern morphing: no random numbers per rendering
    auto *morph = dynamic_cast<patMorphingEffect *>(c->getCurrentCustomEffect());
    ASSERT_NE(morph, nullptr);
    c->customEffectsView->setZoom(0.25);
    const QImage full = morph->getDrawImage();
    ASSERT_EQ(full.size(), Controller::imageFromCIImage(c->backImage()).size());

    // A colour tried in the dialog, then the old one again: the canvas shows a reduced rendering
    // of the same parameters.
    QWidget *panel = window->findChild<QWidget *>(QStringLiteral("controlPanel2"));
    ASSERT_NE(panel, nullptr);
    ColorWell *well = nullptr;
    for (ColorWell *w : panel->findChildren<ColorWell *>())
        if (w->color() == morph->patColor())
            well = w;
    ASSERT_NE(well, nullptr);
    const QColor old = morph->patColor();
    well->click();
    ASSERT_NE(well->dialog(), nullptr);
    well->dialog()->setCurrentColor(QColor(200, 10, 30));
    well->dialog()->setCurrentColor(old);
    ASSERT_LT(morph->effectImage().width(), full.width());

    c->applyBtnAction();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), full);
    QApplication::processEvents();
}

} // namespace
