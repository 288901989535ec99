// Long work off the interface thread: its outcome reaches the caller, one job runs at a time, and
// the window is usable again afterwards.
#include "app/busywork.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

TEST(BusyWork, ReportsWhetherTheWorkRanAndWhetherItFailed)
{
    bool ran = false, failed = true;
    EXPECT_TRUE(BusyWork::run(nullptr, QStringLiteral("Working"), [&] { ran = true; }, &failed));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(failed);

    // An exception escaping the work (memory running out while encoding) is a failure, not a crash.
    EXPECT_TRUE(BusyWork::run(nullptr, QStringLiteral("Working"), [] { throw std::bad_alloc(); }, &failed));
    EXPECT_TRUE(failed);
    EXPECT_TRUE(BusyWork::run(nullptr, QStringLiteral("Working"), [] { throw std::runtime_error("disk full"); }, &failed));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(BusyWork::isRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Nothing to run is refused.
    EXPECT_FALSE(BusyWork::run(nullptr, QStringLiteral("Working"), {}, &failed));
}

TEST(BusyWork, ASecondJobWhileOneRunsIsRefusedAndTheFirstFinishes)
{
    bool secondAccepted = true, secondRan = false, firstRan = false, wasRunning = false;
    // A timer fires inside the first job's event loop, as a menu action delivered by a timer would.
    QTimer::singleShot(0, [&] {
        wasRunning = BusyWork::isRunning();
        secondAccepted = BusyWork::run(nullptr, QStringLiteral("Second"), [&] { secondRan = true; });
    });
    EXPECT_TRUE(BusyWork::run(nullptr, QStringLiteral("First"), [&] {
        QThread::msleep(300);
        firstRan = true;
    }));
    EXPECT_TRUE(wasRunning);
    EXPECT_FALSE(secondAccepted);
    EXPECT_FALSE(secondRan);
    EXPECT_TRUE(firstRan);
    EXPECT_FALSE(BusyWork::isRunning());
}
