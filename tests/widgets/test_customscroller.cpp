// The skinned scroll bar: knob geometry from the proportion and the value, arrows at the far end,
// the standard mouse handling on that geometry, and the favourites strip snapping to its slots.
#include "eventually.h"
#include "widgets/customscroller.h"
#include "widgets/docpagecontrol.h"
#include "widgets/onlytextclosedbutton.h"

#include <QScrollArea>
#include <QToolButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kLength = 215;
constexpr int kArrow = 15;               // each arrow picture is 15 x 15
constexpr int kSlot = kLength - 2 * kArrow;

// A vertical bar kLength high over a document of `document` pixels shown `page` at a time.
std::unique_ptr<CustomScroller> makeBar(int document, int page, Qt::Orientation orientation = Qt::Vertical)
{
    auto bar = std::make_unique<CustomScroller>(orientation);
    if (orientation == Qt::Vertical)
        bar->resize(CustomScroller::scrollerWidth(), kLength);
    else
        bar->resize(kLength, CustomScroller::scrollerWidth());
    bar->setRange(0, document - page);
    bar->setPageStep(page);
    bar->setSingleStep(10);
    bar->show();
    return bar;
}

// The knob's length as the geometry defines it (the drawn knob is 6 shorter).
int expectedKnobLength(const CustomScroller &bar, double proportion)
{
    return std::max(int(bar.minKnobHeight()), int(std::lround(kSlot * proportion)));
}

} // namespace

TEST(CustomScroller, KnobLengthAndPlaceFollowTheProportionAndTheValue)
{
    EXPECT_EQ(CustomScroller::scrollerWidth(), 15);
    auto bar = makeBar(1000, 250);
    EXPECT_EQ(bar->sizeHint().width(), 15);
    EXPECT_DOUBLE_EQ(bar->knobProportion(), 0.25);
    const int knob = expectedKnobLength(*bar, 0.25);

    // At the start the knob begins 5 into the slot; it is inset 2 across (15 - 11) / 2.
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob), QRect(2, 5, 11, knob - 6));
    // At the end it has travelled the slot's length less its own.
    bar->setValue(bar->maximum());
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob).top(), 5 + kSlot - knob);
    bar->setValue(bar->maximum() / 2);
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob).top(), 5 + int(std::lround((kSlot - knob) * 0.5)));

    // Both arrows together at the bottom, the increment arrow last; the slot is the rest.
    EXPECT_EQ(bar->rectForPart(CustomScroller::IncrementLine), QRect(0, kLength - kArrow, 15, kArrow));
    EXPECT_EQ(bar->rectForPart(CustomScroller::DecrementLine), QRect(0, kLength - 2 * kArrow, 15, kArrow));
    EXPECT_EQ(bar->rectForPart(CustomScroller::KnobSlot), QRect(0, 0, 15, kSlot));
    EXPECT_TRUE(bar->rectForPart(CustomScroller::DecrementPage).isEmpty());
    EXPECT_TRUE(bar->rectForPart(CustomScroller::NoPart).isEmpty());

    // A horizontal bar is the same along x, with the arrows at the right.
    auto across = makeBar(1000, 250, Qt::Horizontal);
    EXPECT_EQ(across->rectForPart(CustomScroller::Knob), QRect(5, 2, knob - 6, 11));
    EXPECT_EQ(across->rectForPart(CustomScroller::IncrementLine), QRect(kLength - kArrow, 0, kArrow, 15));
}

TEST(CustomScroller, AVeryLongDocumentStillGetsTheMinimumKnob)
{
    auto bar = makeBar(10'000'000, 100);
    EXPECT_EQ(bar->minKnobHeight(), 6 + 6 + 6 + 10); // the three knob pictures plus 10
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob).height(), int(bar->minKnobHeight()) - 6);
    bar->setValue(bar->maximum());
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob).bottom(), kSlot - 2);
}

TEST(CustomScroller, ABarWithNothingToScrollShowsOnlyItsBackground)
{
    auto bar = makeBar(300, 300);
    EXPECT_DOUBLE_EQ(bar->knobProportion(), 1.0);
    const QImage picture = bar->grab().toImage();
    const QRgb background = QColor::fromRgbF(0.3f, 0.3f, 0.3f).rgb();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(picture.pixel(x, y), background) << x << "," << y;

    // With something to scroll the slot, knob and arrows are drawn over it.
    bar->setRange(0, 100);
    const QImage scrolling = bar->grab().toImage();
    const QPoint knobCentre = bar->rectForPart(CustomScroller::Knob).center();
    EXPECT_NE(scrolling.pixel(knobCentre), background);
    EXPECT_GT(qBlue(scrolling.pixel(knobCentre)), qGreen(scrolling.pixel(knobCentre))); // the violet knob
    EXPECT_NE(scrolling.pixel(bar->rectForPart(CustomScroller::IncrementLine).center()), background);
}

TEST(CustomScroller, ArrowsStepAndLightUpWhileHeldAndTheSlotPages)
{
    auto bar = makeBar(1000, 250);
    const QPoint next = bar->rectForPart(CustomScroller::IncrementLine).center();
    const QPoint prev = bar->rectForPart(CustomScroller::DecrementLine).center();

    QTest::mousePress(bar.get(), Qt::LeftButton, Qt::NoModifier, next);
    EXPECT_TRUE(bar->hiliteNext());
    EXPECT_FALSE(bar->hilitePrev());
    EXPECT_EQ(bar->value(), 10);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, Qt::NoModifier, next);
    EXPECT_FALSE(bar->hiliteNext());

    // The decrement arrow sits just above the increment arrow, where a standard bar has its
    // slot: a press there steps one line back, not a page.
    bar->setValue(500);
    QTest::mousePress(bar.get(), Qt::LeftButton, Qt::NoModifier, prev);
    EXPECT_TRUE(bar->hilitePrev());
    EXPECT_EQ(bar->value(), 490);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, Qt::NoModifier, prev);
    EXPECT_FALSE(bar->hilitePrev());

    // A click in the slot beyond the knob pages down (not into the knob, not onto an arrow).
    bar->setValue(0);
    const QRect knob = bar->rectForPart(CustomScroller::Knob);
    QTest::mouseClick(bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(7, knob.bottom() + 20));
    EXPECT_EQ(bar->value(), 250);
    EXPECT_FALSE(bar->hiliteNext());
}

TEST(CustomScroller, DraggingTheKnobMovesTheValueInStepWithTheKnob)
{
    auto bar = makeBar(1000, 250); // range 0..750
    const int knob = expectedKnobLength(*bar, 0.25);
    const int travel = kSlot - knob;
    // Gripped beside the drawn knob, in the slot's margin: the knob takes the whole thickness.
    const QPoint grip(0, bar->rectForPart(CustomScroller::Knob).center().y());
    ASSERT_FALSE(bar->rectForPart(CustomScroller::Knob).contains(grip));

    QTest::mousePress(bar.get(), Qt::LeftButton, Qt::NoModifier, grip);
    QTest::mouseMove(bar.get(), grip + QPoint(0, travel / 2));
    EXPECT_NEAR(bar->value(), 750 * (travel / 2) / double(travel), 750.0 / travel);
    // The knob drawn under the pointer moved by as much as the pointer.
    EXPECT_EQ(bar->rectForPart(CustomScroller::Knob).center().y(), grip.y() + travel / 2);
    QTest::mouseMove(bar.get(), grip + QPoint(0, travel + 40));
    EXPECT_EQ(bar->value(), 750);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(0, travel + 40));
}

TEST(CustomScroller, TheFavouritesStripEndsAHandMoveOnASlot)
{
    DocPageControl strip;
    strip.setHorizontalPageScroll(100);
    strip.resize(3 * 100 + 32, 60);
    strip.show();
    for (int i = 0; i < 8; ++i) {
        strip.addItem(new onlyTextClosedButton(QStringLiteral("fav %1").arg(i)), nullptr);
        strip.finishAnimation();
    }
    strip.setCurrentPage(0);
    auto *bar = qobject_cast<CustomScroller *>(strip.scroller()->horizontalScrollBar());
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    // The buttons sit above the bar, not under it.
    EXPECT_EQ(strip.buttons().first()->height(), 60 - CustomScroller::scrollerWidth());

    // Dragged to 2.6 slots and let go: the strip settles on slot 3, its arrows in step.
    const QPoint grip = bar->rectForPart(CustomScroller::Knob).center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
    const double pixelsPerValue = (bar->rectForPart(CustomScroller::KnobSlot).width()
                                   - (bar->rectForPart(CustomScroller::Knob).width() + 6)) / double(bar->maximum());
    QTest::mouseMove(bar, grip + QPoint(int(std::lround(260 * pixelsPerValue)), 0));
    EXPECT_NE(bar->value() % 100, 0);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip + QPoint(int(std::lround(260 * pixelsPerValue)), 0));
    EXPECT_EQ(strip.visibleX(), 300);
    EXPECT_EQ(strip.currentPage(), 3);
    EXPECT_FALSE(strip.prevButton()->isHidden());

    // A click in the slot pages by the visible width (332 - 32), which is a whole number of slots
    // only by chance: the strip lands on a slot all the same.
    strip.resize(3 * 100 + 32 + 40, 60);
    strip.setCurrentPage(0);
    const QRect knob = bar->rectForPart(CustomScroller::Knob);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(knob.right() + 8, 7));
    EXPECT_EVENTUALLY(strip.visibleX() % 100 == 0);
    EXPECT_EQ(strip.currentPage(), strip.visibleX() / 100);
    EXPECT_GT(strip.currentPage(), 0);
}
