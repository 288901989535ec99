#include "app/busywork.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace {
bool s_running = false;
}

bool BusyWork::isRunning()
{
    return s_running;
}

bool BusyWork::run(QWidget *window, const QString &label, const std::function<void()> &work, bool *failed)
{
    if (failed)
        *failed = false;
    if (s_running || !work)
        return false;
    s_running = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);

    QEventLoop loop;
    std::atomic<bool> done{false};
    bool threw = false;
    // The worker tells the loop that it has finished through the loop's own thread.
    std::thread worker([&] {
        try {
            work();
        } catch (const std::exception &e) {
            qWarning("%s: %s", qPrintable(label), e.what());
            threw = true;
        } catch (...) {
            threw = true;
        }
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    // After half a second, a window that says what is going on. It has no Cancel button: stopping
    // an encoder half-way would leave nothing worth keeping.
    QPointer<QProgressDialog> progress;
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] {
        if (done)
            return;
        progress = new QProgressDialog(label, QString(), 0, 0, window);
        progress->setWindowTitle(QStringLiteral("Lumetta"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->show();
    });
    later.start(progressDelayMs);

    // Paint events, timers and the worker's signal are handled; mouse and key events wait.
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    later.stop();
    delete progress.data();

    QApplication::restoreOverrideCursor();
    s_running = false;
    if (failed)
        *failed = threw;
    return true;
}
