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
    // Only a thread free now: waiting for one could wait on work that itself waits for this
    // thread. Without one, the drawing runs in place (slower, the same pixels).
    QSemaphore done;
    if (!pool->tryStart([&] {
            paint();
            done.release();
        })) {
        paint();
        return;
    }
    done.acquire();
}
