#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "warningcatcher.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Every example: a child at (10, 20) of size 30 x 40 (bottom-left coordinates) inside a
// 100 x 100 parent that grows to 200 x 150. Margins before: left 10, right 60, bottom 20, top 40.
const QRectF child(10, 20, 30, 40);
const QSizeF before(100, 100), after(200, 150);

QRectF resized(unsigned mask)
{
    return Geometry::resizedFrame(child, before, after, mask);
}

void expectRect(const QRectF &actual, const QRectF &expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

} // namespace

TEST(Geometry, FlipsBetweenBottomLeftAndTopLeft)
{
    EXPECT_EQ(Geometry::toTopLeft(child, 100), QRectF(10, 40, 30, 40));
    EXPECT_EQ(Geometry::toBottomLeft(QRectF(10, 40, 30, 40), 100), child);
    // Edges are rounded, so frames that touch keep touching: 0.4..10.6 and 10.6..20.
    EXPECT_EQ(Geometry::widgetGeometry(QRectF(0.4, 0, 10.2, 10), 10), QRect(0, 0, 11, 10));
    EXPECT_EQ(Geometry::widgetGeometry(QRectF(10.6, 0, 9.4, 10), 10), QRect(11, 0, 9, 10));
}

TEST(Geometry, SpringsAndStrutsWorkedExamples)
{
    // Fixed: keeps its distance to the bottom-left corner.
    expectRect(resized(NSViewNotSizable), child);
    // Only the width is flexible: it takes the whole +100.
    expectRect(resized(NSViewWidthSizable), QRectF(10, 20, 130, 40));
    // Both side margins flexible (10 and 60): the left one takes 100 * 10 / 70.
    expectRect(resized(NSViewMinXMargin | NSViewMaxXMargin), QRectF(10 + 100.0 / 7, 20, 30, 40));
    // All three (10, 30, 60 of 100): +10 to the left margin, +30 to the width.
    expectRect(resized(NSViewMinXMargin | NSViewWidthSizable | NSViewMaxXMargin),
               QRectF(20, 20, 60, 40));
    // Height and top margin (40 and 40): +25 each; the bottom margin stays.
    expectRect(resized(NSViewHeightSizable | NSViewMaxYMargin), QRectF(10, 20, 30, 65));
    // Only the bottom margin: the child moves up with the top edge.
    expectRect(resized(NSViewMinYMargin), QRectF(10, 70, 30, 40));
}

TEST(Geometry, ZeroPartsShareEquallyAndNegativePartsTakeNothing)
{
    // A child filling its parent with flexible side margins (both 0) stays centred.
    expectRect(Geometry::resizedFrame(QRectF(0, 0, 100, 100), before, after,
                                      NSViewMinXMargin | NSViewMaxXMargin),
               QRectF(50, 0, 100, 100));
    // Sticking out on the left (margin -10): the width takes all of the change.
    expectRect(Geometry::resizedFrame(QRectF(-10, 0, 50, 10), before, after,
                                      NSViewMinXMargin | NSViewWidthSizable),
               QRectF(-10, 0, 150, 10));
    // Shrinking the parent below the child's width leaves an empty, not negative, size.
    expectRect(Geometry::resizedFrame(child, before, QSizeF(50, 100), NSViewWidthSizable),
               QRectF(10, 20, 0, 40));
}

TEST(Geometry, AutoresizingFollowsTheParentAndRestoresTheLayout)
{
    QWidget window;
    auto *parent = new QWidget(&window);
    auto *view = new QWidget(parent);
    parent->setGeometry(0, 0, 100, 100);
    const unsigned mask = NSViewWidthSizable | NSViewMaxYMargin; // stretches, pinned to the bottom
    ASSERT_TRUE(Autoresizing::attach(view, child, mask));
    EXPECT_EQ(view->geometry(), QRect(10, 40, 30, 40));

    parent->resize(200, 150); // hidden: Qt delivers the resize when shown
    window.show();
    EXPECT_EQ(view->geometry(), QRect(10, 90, 130, 40));
    parent->resize(60, 100);
    EXPECT_EQ(view->geometry(), QRect(10, 40, 0, 40));
    parent->resize(100, 100);
    EXPECT_EQ(view->geometry(), QRect(10, 40, 30, 40));

    // Moving the view makes its new frame the reference for later resizes.
    Autoresizing::of(view)->setFrame(QRectF(0, 0, 50, 10));
    parent->resize(150, 100);
    EXPECT_EQ(view->geometry(), QRect(0, 90, 100, 10));

    QObject plain;
    WarningCatcher warnings;
    EXPECT_EQ(Autoresizing::attach(&plain, child, mask), nullptr);
    EXPECT_EQ(warnings.count(), 1);
}

TEST(Geometry, SavedFramesAreFittedToTheScreens)
{
    const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
    const QSize minimum(800, 600);
    // A frame far larger than any screen fills the screen it overlaps instead.
    EXPECT_EQ(Geometry::fittedFrame(QRect(0, 0, 100000, 100000), {left}, minimum), left);
    // A frame that fits stays as it is; one hanging off an edge is moved back in, keeping its size.
    EXPECT_EQ(Geometry::fittedFrame(QRect(40, 50, 1000, 700), {left}, minimum), QRect(40, 50, 1000, 700));
    EXPECT_EQ(Geometry::fittedFrame(QRect(1500, -30, 1000, 700), {left}, minimum), QRect(920, 0, 1000, 700));
    // It goes to the screen it overlaps most, and is shrunk to that screen.
    EXPECT_EQ(Geometry::fittedFrame(QRect(1800, 10, 1400, 1100), {left, right}, minimum), QRect(1920, 0, 1280, 1024));
    // Below the window's minimum it is made the minimum.
    EXPECT_EQ(Geometry::fittedFrame(QRect(10, 10, 200, 100), {left}, minimum), QRect(10, 10, 800, 600));
    // Off every screen, on a screen too small for the window, or empty: not restored at all.
    EXPECT_FALSE(Geometry::fittedFrame(QRect(5000, 5000, 800, 600), {left, right}, minimum));
    EXPECT_FALSE(Geometry::fittedFrame(QRect(0, 0, 700, 500), {QRect(0, 0, 640, 480)}, minimum));
    EXPECT_FALSE(Geometry::fittedFrame(QRect(0, 0, 0, 0), {left}, minimum));
    EXPECT_FALSE(Geometry::fittedFrame(QRect(0, 0, 800, 600), {}, minimum));
}
