#include "effects/poolthreadpainting.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

void runOnPoolThread(const std::function<void()> &paint)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        paint();
        return;
    }
    // A reserved thread starts at once even when every other pool thread is busy, so the wait
    // below never depends on work queued behind it.
    QSemaphore done;
    pool->reserveThread();
    pool->startOnReservedThread([&] {
        paint();
        done.release();
    });
    done.acquire();
}
