#include "effects/poolthreadpainting.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <vector>

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

void paintInBands(QPainter &painter, const std::function<void(QPainter &, const QRectF &)> &paint)
{
    constexpr int minimumRows = 64;
    QPaintDevice *device = painter.device();
    QImage *image = device && device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    QThreadPool *pool = QThreadPool::globalInstance();
    const int bands = image && !painter.hasClipping() ? std::min(pool->maxThreadCount(), image->height() / minimumRows) : 1;
    if (bands < 2) {
        const QRectF whole = device ? QRectF(0, 0, device->width(), device->height()) : QRectF(-1e9, -1e9, 2e9, 2e9);
        runOnPoolThread([&] { paint(painter, painter.transform().inverted().mapRect(whole)); });
        return;
    }
    // Each band is an image of its own over the rows of the whole (a painter per image): band b
    // holds rows top[b] to top[b + 1], so its device coordinates are the whole's moved up by top[b].
    uchar *bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    std::vector<int> top(std::size_t(bands) + 1);
    for (int b = 0; b <= bands; ++b)
        top[std::size_t(b)] = int(qint64(image->height()) * b / bands);
    auto drawBand = [&](int b) {
        const int y0 = top[std::size_t(b)], rows = top[std::size_t(b) + 1] - y0;
        QImage band(bits + y0 * stride, image->width(), rows, stride, image->format());
        band.setDevicePixelRatio(image->devicePixelRatio());
        QPainter p(&band);
        p.setTransform(painter.transform() * QTransform::fromTranslate(0, -y0));
        p.setRenderHints(painter.renderHints());
        p.setPen(painter.pen());
        p.setBrush(painter.brush());
        p.setOpacity(painter.opacity());
        p.setCompositionMode(painter.compositionMode());
        paint(p, p.transform().inverted().mapRect(QRectF(0, 0, band.width(), rows)));
    };
    // The bands that get a pool thread run there; the rest run on this thread after them (as
    // runOnPoolThread does, never waiting long for a thread that may not come). A thread that has
    // just finished the previous drawing's band counts as busy for a few microseconds more: a
    // band waits up to a millisecond for one before it is drawn here, much more slowly.
    QSemaphore done;
    int started = 0;
    std::vector<int> left;
    QElapsedTimer waited;
    waited.start();
    for (int b = 0; b < bands; ++b) {
        auto task = [&, b] {
            drawBand(b);
            done.release();
        };
        bool running = pool->tryStart(task);
        while (!running && waited.nsecsElapsed() < 1000000) {
            QThread::usleep(20);
            running = pool->tryStart(task);
        }
        if (running)
            ++started;
        else
            left.push_back(b);
    }
    for (int b : left)
        drawBand(b);
    done.acquire(started);
}
