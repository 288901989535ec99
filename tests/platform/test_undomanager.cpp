#include "platform/undomanager.h"
#include "warningcatcher.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A value whose setter records its own inverse, the way every undoable operation is written.
struct Toggle
{
    UndoManager &undo;
    int value = 0;
    void set(int v)
    {
        const int old = value;
        undo.registerUndo(this, [this, old] { set(old); });
        value = v;
    }
};

} // namespace

TEST(UndoManager, OneSelfInvertingClosureAlternatesBetweenUndoAndRedo)
{
    UndoManager undo;
    Toggle toggle{undo};
    toggle.set(1);
    undo.closeImplicitGroup();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        ASSERT_EQ(toggle.value, 0);
        ASSERT_FALSE(undo.canUndo());
        ASSERT_TRUE(undo.canRedo());
        undo.redo();
        ASSERT_EQ(toggle.value, 1);
        ASSERT_FALSE(undo.canRedo());
    }
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.isRedoing());
}

TEST(UndoManager, RegistrationsOfOneEventFormOneStepAndTheEventLoopClosesIt)
{
    UndoManager undo;
    Toggle a{undo}, b{undo};
    a.set(1);
    b.set(1); // same event as a
    QCoreApplication::processEvents();
    b.set(2); // a later event
    QCoreApplication::processEvents();

    undo.undo();
    EXPECT_EQ(a.value, 1);
    EXPECT_EQ(b.value, 1);
    undo.undo();
    EXPECT_EQ(a.value, 0);
    EXPECT_EQ(b.value, 0);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(a.value, 1);
    EXPECT_EQ(b.value, 1);
}

TEST(UndoManager, UndoClosesTheOpenImplicitGroupFirst)
{
    UndoManager undo;
    Toggle t{undo};
    t.set(1);
    EXPECT_TRUE(undo.canUndo()); // still open, but undo() would close and undo it
    undo.undo();
    EXPECT_EQ(t.value, 0);
    // The stale close request queued by the first registration must not close a later group.
    t.set(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST(UndoManager, NestedExplicitGroupsBecomeOneStep)
{
    UndoManager undo;
    Toggle t{undo};
    undo.beginUndoGrouping();
    t.set(1);
    undo.beginUndoGrouping();
    t.set(2);
    undo.endUndoGrouping();
    t.set(3);
    EXPECT_EQ(undo.groupingLevel(), 1);
    {
        WarningCatcher warnings;
        undo.undo(); // refused: a group is open
        EXPECT_EQ(warnings.count(), 1);
    }
    EXPECT_EQ(t.value, 3);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(t.value, 0);
    EXPECT_FALSE(undo.canUndo());

    WarningCatcher warnings;
    undo.endUndoGrouping(); // unbalanced: reported, harmless
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST(UndoManager, ExplicitGroupInsideAnImplicitOneKeepsItOpenUntilItEnds)
{
    UndoManager undo;
    Toggle t{undo};
    t.set(1);
    undo.beginUndoGrouping();
    t.set(2);
    undo.closeImplicitGroup(); // no effect while the explicit group is open
    EXPECT_EQ(undo.groupingLevel(), 2);
    undo.endUndoGrouping();
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(t.value, 0);
}

TEST(UndoManager, NewActionClearsRedoButRedoDoesNot)
{
    UndoManager undo;
    Toggle t{undo};
    t.set(1);
    undo.closeImplicitGroup();
    t.set(2);
    undo.closeImplicitGroup();
    undo.undo();
    undo.undo();
    EXPECT_EQ(t.value, 0);
    undo.redo(); // registers on the undo stack, must keep the second redo step
    EXPECT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(t.value, 2);
    undo.undo();
    t.set(7); // a new change: the redo step is gone
    undo.closeImplicitGroup();
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(t.value, 1);
}

TEST(UndoManager, RemoveAllActionsWithTargetCleansBothStacks)
{
    UndoManager undo;
    Toggle a{undo}, b{undo};
    a.set(1);
    undo.closeImplicitGroup();
    a.set(2);
    b.set(1);
    undo.closeImplicitGroup();
    b.set(2);
    undo.closeImplicitGroup();
    undo.undo(); // b: 2 -> 1, now on the redo stack

    undo.removeAllActionsWithTarget(&b);
    EXPECT_FALSE(undo.canRedo());
    undo.undo(); // the mixed step keeps only a's action
    EXPECT_EQ(a.value, 1);
    EXPECT_EQ(b.value, 1);
    undo.undo();
    EXPECT_EQ(a.value, 0);
    EXPECT_FALSE(undo.canUndo()); // the group that held only b's action vanished

    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, ActionNamesFollowTheStepsAndBuildMenuTitles)
{
    UndoManager undo;
    QSignalSpy changed(&undo, &UndoManager::changed);
    Toggle t{undo};
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo");

    undo.setActionName("ignored"); // nothing is being recorded
    t.set(1);
    undo.setActionName("Change to Gaussian Blur Radius");
    undo.closeImplicitGroup();
    t.set(2);
    undo.closeImplicitGroup(); // unnamed step
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo");
    undo.undo();
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo Change to Gaussian Blur Radius");
    undo.undo();
    // The inverse step keeps the name of the step it undoes...
    EXPECT_EQ(undo.redoMenuItemTitle(), "Redo Change to Gaussian Blur Radius");
    EXPECT_EQ(undo.undoActionName(), QString());
    undo.redo();
    EXPECT_EQ(undo.undoActionName(), "Change to Gaussian Blur Radius");
    EXPECT_GT(changed.count(), 0);

    // ...unless the undoing code names it.
    UndoManager other;
    int value = 0;
    std::function<void(int)> set = [&](int v) {
        const int old = value;
        other.registerUndo(&value, [&, old] { set(old); });
        other.setActionName(other.isUndoing() ? "Back" : "Forth");
        value = v;
    };
    set(1);
    other.undo();
    EXPECT_EQ(other.redoMenuItemTitle(), "Redo Back");
    other.redo();
    EXPECT_EQ(other.undoMenuItemTitle(), "Undo Forth");
}

TEST(UndoManager, ClosuresMayRemoveTargetsRegisterAndReenter)
{
    UndoManager undo;
    int a = 0, b = 0;
    // Registered first, so it would run last: the target is removed by the closure that runs first.
    undo.registerUndo(&b, [&] { b = 99; });
    undo.registerUndo(&a, [&] {
        a = 1;
        undo.removeAllActionsWithTarget(&b);
        undo.removeAllActionsWithTarget(&a); // its own target, while running
        undo.registerUndo(&a, [&] { a = 2; });
        WarningCatcher warnings;
        undo.undo(); // re-entrant: refused
        undo.redo();
        EXPECT_EQ(warnings.count(), 2);
    });
    undo.undo();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    undo.redo();
    EXPECT_EQ(a, 2);

    // A capture whose destructor calls back into the manager when the closure is dropped.
    int destroyed = 0;
    auto guard = std::shared_ptr<int>(new int(0), [&](int *p) {
        delete p;
        ++destroyed;
        undo.removeAllActionsWithTarget(&b);
    });
    undo.registerUndo(&b, [guard] {});
    guard.reset();
    undo.removeAllActions();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, LevelsOfUndoDropTheOldestSteps)
{
    UndoManager undo;
    Toggle t{undo};
    undo.setLevelsOfUndo(2);
    for (int v = 1; v <= 4; ++v) {
        t.set(v);
        undo.closeImplicitGroup();
    }
    undo.undo();
    undo.undo();
    EXPECT_EQ(t.value, 2);
    EXPECT_FALSE(undo.canUndo());
}
