#include "widgets/docpagecontrol.h"
#include "widgets/basecoloredbutton.h"
#include "widgets/favoritesowner.h"
#include "widgets/onlytextclosedbutton.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kSlot = 100;
constexpr int kArrows = 32; // both arrow buttons

// A shown strip whose visible width holds `wholeSlots` slots (plus `extra` pixels).
std::unique_ptr<DocPageControl> makeStrip(int wholeSlots, int extra = 0)
{
    auto strip = std::make_unique<DocPageControl>();
    strip->setHorizontalPageScroll(kSlot);
    strip->resize(wholeSlots * kSlot + extra + kArrows, 60);
    strip->show();
    return strip;
}

std::vector<QAbstractButton *> addButtons(DocPageControl &strip, int n)
{
    std::vector<QAbstractButton *> added;
    for (int i = 0; i < n; ++i) {
        auto *b = new onlyTextClosedButton(QString("fav %1").arg(strip.pageCount()));
        strip.addItem(b, nullptr);
        strip.finishAnimation();
        added.push_back(b);
    }
    return added;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class MockOwner : public FavoritesOwner
{
public:
    MOCK_METHOD(int, filerMode, (), (const, override));
    MOCK_METHOD(void, removeFavorites, (onlyTextClosedButton *), (override));
    MOCK_METHOD(void, removeFavorites3D, (onlyTextClosedButton *), (override));
    MOCK_METHOD(void, removeFavoritesCustom, (onlyTextClosedButton *), (override));
};

} // namespace

TEST(DocPageControl, ButtonsFillSlotsAndArrowsHideWhileEverythingFits)
{
    auto strip = makeStrip(4);
    EXPECT_EQ(strip->visibleWidth(), 4 * kSlot);
    auto buttons = addButtons(*strip, 1);
    EXPECT_EQ(buttons[0]->geometry(), QRect(0, 0, kSlot, strip->documentView()->height()));
    EXPECT_TRUE(strip->prevButton()->isHidden());
    EXPECT_TRUE(strip->nextButton()->isHidden());

    addButtons(*strip, 3);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(strip->buttons()[i]->x(), i * kSlot);
    EXPECT_EQ(strip->pageCount(), 4);
    EXPECT_EQ(strip->currentPage(), 0);
    EXPECT_TRUE(strip->nextButton()->isHidden());
}

TEST(DocPageControl, AddingPastTheVisibleWidthScrollsTheNewButtonIntoView)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 4);
    QAbstractButton *fifth = addButtons(*strip, 1)[0];
    EXPECT_EQ(fifth->x(), 4 * kSlot);
    EXPECT_EQ(strip->visibleX(), kSlot);
    EXPECT_EQ(strip->currentPage(), 1);
    EXPECT_FALSE(strip->prevButton()->isHidden());
    EXPECT_TRUE(strip->nextButton()->isHidden());
}

TEST(DocPageControl, AddingAfterTheSelectedButtonInsertsAndSelects)
{
    auto strip = makeStrip(6);
    auto buttons = addButtons(*strip, 3);
    buttons[1]->setChecked(true);
    auto *inserted = new onlyTextClosedButton("new");
    strip->addItem(inserted, buttons[1]);
    EXPECT_EQ(inserted->x(), 2 * kSlot);
    EXPECT_EQ(buttons[2]->x(), 3 * kSlot);
    EXPECT_EQ(buttons[0]->x(), 0);
    EXPECT_TRUE(inserted->isChecked());
    EXPECT_FALSE(buttons[1]->isChecked());
    EXPECT_EQ(strip->pageCount(), 4);
}

TEST(DocPageControl, RemovingReturnsTheNextSelection)
{
    auto strip = makeStrip(4);
    auto buttons = addButtons(*strip, 4);
    QPointer<QAbstractButton> removed = buttons[1];

    // middle: the one that followed it, which moves into its slot
    EXPECT_EQ(strip->removeItem(buttons[1]), buttons[2]);
    EXPECT_EQ(buttons[2]->x(), kSlot);
    EXPECT_EQ(buttons[3]->x(), 2 * kSlot);
    EXPECT_EQ(strip->pageCount(), 3);
    flushDeletes();
    EXPECT_TRUE(removed.isNull());

    // last: the new last one
    EXPECT_EQ(strip->removeItem(buttons[3]), buttons[2]);
    // first of two: its follower
    EXPECT_EQ(strip->removeItem(buttons[0]), buttons[2]);
    EXPECT_EQ(buttons[2]->x(), 0);
    // only: none
    EXPECT_EQ(strip->removeItem(buttons[2]), nullptr);
    EXPECT_EQ(strip->pageCount(), 0);
    flushDeletes();
}

TEST(DocPageControl, RemovingTheLastButtonOfAScrolledStripReturnsTheNewLastButton)
{
    auto strip = makeStrip(3);
    auto buttons = addButtons(*strip, 6);
    // The most recently created button is not the last one on screen any more.
    auto *inserted = new onlyTextClosedButton("mid");
    strip->addItem(inserted, buttons[1]);
    strip->finishAnimation();
    EXPECT_EQ(strip->removeItem(buttons[5]), buttons[4]);
    EXPECT_EQ(strip->pageCount(), 6);
    EXPECT_LE(strip->visibleX() + strip->visibleWidth(), strip->documentView()->width());
}

TEST(DocPageControl, RejectsButtonsThatAreNotInTheStrip)
{
    auto strip = makeStrip(3);
    onlyTextClosedButton stray("stray");
    EXPECT_EQ(strip->removeItem(&stray), nullptr);
    EXPECT_EQ(strip->removeItem(nullptr), nullptr);
    auto buttons = addButtons(*strip, 1);
    strip->addItem(buttons[0], nullptr); // twice
    EXPECT_EQ(strip->pageCount(), 1);
}

TEST(DocPageControl, SetCurrentPageClampsToTheLastFullPage)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(99);
    EXPECT_EQ(strip->currentPage(), 6);
    EXPECT_EQ(strip->visibleX(), 6 * kSlot);
    EXPECT_TRUE(strip->nextButton()->isHidden());
    strip->setCurrentPage(-3);
    EXPECT_EQ(strip->currentPage(), 0);
    EXPECT_EQ(strip->visibleX(), 0);
    EXPECT_TRUE(strip->prevButton()->isHidden());
    EXPECT_FALSE(strip->nextButton()->isHidden());

    auto few = makeStrip(4);
    addButtons(*few, 2);
    few->setCurrentPage(5);
    EXPECT_EQ(few->currentPage(), 0);
    EXPECT_EQ(few->visibleX(), 0);
}

TEST(DocPageControl, StepNextOnTheLastPageClamps)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(6);
    strip->stepNext();
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 10 + 1 - 4);
    EXPECT_EQ(strip->visibleX(), 6 * kSlot); // the view cannot pass the end
    strip->stepNext();
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 10 + 1 - 4);
    EXPECT_EQ(strip->maxShownPage(), 11);
}

TEST(DocPageControl, StepPrevStopsAtTheStart)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(1);
    strip->stepPrev();
    strip->finishAnimation();
    EXPECT_EQ(strip->visibleX(), 0);
    EXPECT_EQ(strip->currentPage(), 0);
    strip->stepPrev();
    EXPECT_FALSE(strip->isAnimating());
    EXPECT_EQ(strip->currentPage(), 0);
}

TEST(DocPageControl, SingleSlotStripStepsByPage)
{
    auto strip = makeStrip(1, 30);
    addButtons(*strip, 3);
    strip->setCurrentPage(0);
    EXPECT_EQ(strip->viewPageCount(), 1);
    strip->stepNext();
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 1);
    EXPECT_EQ(strip->visibleX(), kSlot);
    strip->stepNext();
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 2);
    EXPECT_EQ(strip->visibleX(), 3 * kSlot - strip->visibleWidth()); // the end of the strip
    strip->stepPrev();
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 1);
    EXPECT_EQ(strip->visibleX(), kSlot);
}

TEST(DocPageControl, AnimationOvershootsThenLandsOnTheTarget)
{
    struct Case
    {
        int buttons;
        int steps; // 8 for short documents, 13 for long ones
    };
    for (const Case c : {Case{5, 8}, Case{10, 13}}) {
        SCOPED_TRACE(c.buttons);
        auto strip = makeStrip(4);
        addButtons(*strip, c.buttons);
        strip->setCurrentPage(0);
        std::vector<int> seen;
        QObject::connect(strip->scroller()->horizontalScrollBar(), &QScrollBar::valueChanged,
                         [&seen](int v) { seen.push_back(v); });
        strip->stepNext();
        EXPECT_TRUE(strip->isAnimating());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !strip->isAnimating(); }, 3000));
        EXPECT_EQ(strip->visibleX(), kSlot);
        EXPECT_EQ(strip->currentPage(), 1);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), qRound(float(kSlot) / float(c.steps)));
        if (c.buttons == 10) { // room to run past the target before landing
            const int ticks = c.steps + c.steps / 5 + 1;
            EXPECT_EQ(*std::max_element(seen.begin(), seen.end()),
                      qRound(ticks * (float(kSlot) / float(c.steps))));
        }
        EXPECT_EQ(seen.back(), kSlot);
        EXPECT_FALSE(strip->prevButton()->isHidden());
    }
}

TEST(DocPageControl, OneAnimationAtATime)
{
    auto a = makeStrip(2);
    auto b = makeStrip(2);
    addButtons(*a, 6);
    addButtons(*b, 6);
    a->setCurrentPage(0);
    b->setCurrentPage(0);
    a->stepNext();
    b->stepNext(); // completes a's scroll first
    EXPECT_FALSE(a->isAnimating());
    EXPECT_EQ(a->visibleX(), kSlot);
    // A second click while scrolling continues from the first scroll's target.
    b->stepNext();
    b->finishAnimation();
    EXPECT_EQ(b->visibleX(), 2 * kSlot);
}

TEST(DocPageControl, WheelDoesNotScrollBetweenSlots)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(2);
    QWidget *viewport = strip->scroller()->viewport();
    for (const QPoint delta : {QPoint(-120, 0), QPoint(0, -120)}) {
        QWheelEvent wheel(QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), QPoint(), delta,
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        EXPECT_EQ(strip->visibleX(), 2 * kSlot);
    }
}

TEST(DocPageControl, AdjustVisibilityStepsTowardsTheButton)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(2);
    strip->adjustVisibility(6); // just past the right edge
    strip->finishAnimation();
    EXPECT_EQ(strip->visibleX(), 3 * kSlot);
    strip->adjustVisibility(3); // at the left edge
    strip->finishAnimation();
    EXPECT_EQ(strip->visibleX(), 2 * kSlot);
    strip->adjustVisibility(4); // well inside: nothing
    EXPECT_FALSE(strip->isAnimating());
    EXPECT_EQ(strip->visibleX(), 2 * kSlot);
}

TEST(DocPageControl, StepNextToScrollsOnlyWhenTheIndexIsOutOfView)
{
    auto strip = makeStrip(4);
    addButtons(*strip, 10);
    strip->setCurrentPage(0);
    strip->stepNextTo(3);
    EXPECT_FALSE(strip->isAnimating());
    strip->stepNextTo(6); // k = 2
    strip->finishAnimation();
    EXPECT_EQ(strip->currentPage(), 3);
    EXPECT_EQ(strip->visibleX(), 3 * kSlot);
}

TEST(DocPageControl, GrowingTheStripPullsBackFromTheEnd)
{
    auto strip = makeStrip(3);
    addButtons(*strip, 8);
    strip->setCurrentPage(5);
    EXPECT_EQ(strip->visibleX(), 5 * kSlot);
    strip->resize(6 * kSlot + kArrows, 60);
    EXPECT_EQ(strip->viewPageCount(), 6);
    EXPECT_EQ(strip->currentPage(), 1);
    EXPECT_EQ(strip->visibleX(), kSlot);
    EXPECT_EQ(strip->buttons()[0]->height(), strip->documentView()->height());
}

TEST(DocPageControl, ClearEmptiesTheStrip)
{
    auto strip = makeStrip(2);
    auto buttons = addButtons(*strip, 5);
    QPointer<QAbstractButton> first = buttons[0];
    strip->clear();
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(strip->pageCount(), 0);
    EXPECT_EQ(strip->currentPage(), 0);
    EXPECT_TRUE(strip->buttons().isEmpty());
    EXPECT_EQ(strip->documentView()->width(), strip->visibleWidth());
    EXPECT_TRUE(strip->prevButton()->isHidden());
    EXPECT_TRUE(strip->nextButton()->isHidden());
}

TEST(onlyTextClosedButton, CloseBoxShowsWhileThePointerIsOverTheButton)
{
    onlyTextClosedButton button("fav");
    button.resize(100, 50);
    button.show();
    button.addCloseBtn();
    BaseColoredButton *box = button.closeButton();
    ASSERT_NE(box, nullptr);
    button.addCloseBtn(); // only one box, ever
    EXPECT_EQ(button.findChildren<BaseColoredButton *>().size(), 1);
    EXPECT_EQ(box->geometry(), QRect(80, 2, 14, 14));
    EXPECT_EQ(box->image().size(), QSize(14, 14));
    EXPECT_FALSE(box->isVisible());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(box->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(box->isVisible());

    button.resize(140, 50);
    EXPECT_EQ(box->x(), 120);
}

TEST(onlyTextClosedButton, CloseBoxRemovesTheFavouriteOfTheCurrentMode)
{
    using ::testing::Return;
    MockOwner owner;
    auto strip = makeStrip(3);
    auto *button = new onlyTextClosedButton("fav");
    button->setController(&owner);
    button->addCloseBtn();
    strip->addItem(button, nullptr);

    EXPECT_CALL(owner, filerMode()).WillOnce(Return(2));
    EXPECT_CALL(owner, removeFavoritesCustom(button)).Times(1);
    EXPECT_CALL(owner, removeFavorites(::testing::_)).Times(0);
    EXPECT_CALL(owner, removeFavorites3D(::testing::_)).Times(0);
    button->closeButton()->show();
    QTest::mouseClick(button->closeButton(), Qt::LeftButton);
    QCoreApplication::processEvents(); // the removal is queued
    ::testing::Mock::VerifyAndClearExpectations(&owner);

    EXPECT_CALL(owner, filerMode()).WillOnce(Return(0)).WillOnce(Return(1)).WillOnce(Return(7));
    EXPECT_CALL(owner, removeFavorites(button)).Times(1);
    EXPECT_CALL(owner, removeFavorites3D(button)).Times(1);
    EXPECT_CALL(owner, removeFavoritesCustom(::testing::_)).Times(0);
    button->removeMySelf();
    button->removeMySelf();
    button->removeMySelf(); // unknown mode: nothing
}

TEST(onlyTextClosedButton, OwnerMayDeleteTheButtonWhileHandlingTheClose)
{
    using ::testing::Return;
    MockOwner owner;
    auto strip = makeStrip(3);
    auto *button = new onlyTextClosedButton("fav");
    button->setController(&owner);
    button->addCloseBtn();
    strip->addItem(button, nullptr);
    QPointer<onlyTextClosedButton> guard(button);
    EXPECT_CALL(owner, filerMode()).WillOnce(Return(0));
    EXPECT_CALL(owner, removeFavorites(button)).WillOnce([&strip](onlyTextClosedButton *b) {
        EXPECT_EQ(strip->removeItem(b), nullptr);
    });
    button->closeButton()->show();
    QTest::mouseClick(button->closeButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    flushDeletes();
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(strip->pageCount(), 0);
}
