#include "views/previewrenderer.h"

#include "imaging/qimageadapter.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>

PreviewRenderer::PreviewRenderer(QObject *parent)
    : QObject(parent)
{
    m_worker = std::thread([this] { run(); });
}

PreviewRenderer::~PreviewRenderer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_pending.reset();
        m_cancel = true;
    }
    m_wake.notify_all();
    m_worker.join();
    // Results the worker posted before it stopped are dropped with this object's posted events.
}

void PreviewRenderer::request(const Request &request)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = request;
        // The render in progress (if any) is stale now.
        if (m_running)
            m_cancel = true;
    }
    m_wake.notify_one();
}

bool PreviewRenderer::isBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_running || m_pending.has_value();
}

void PreviewRenderer::run()
{
    for (;;) {
        Request job;
        {
            std::unique_lock lock(m_mutex);
            m_running = false;
            m_wake.wait(lock, [this] { return m_stop || m_pending.has_value(); });
            if (m_stop)
                return;
            job = std::move(*m_pending);
            m_pending.reset();
            m_running = true;
            m_cancel = false;
        }
        // A coarse pass first when the full one is likely to take longer than a frame, and only
        // when it is much smaller than the full one.
        const double coarseScale = job.scale * coarseFactor;
        const bool coarseFirst = (m_lastFullMs < 0 || m_lastFullMs > coarseAfterMs)
            && job.region.width() * coarseScale >= 16 && job.region.height() * coarseScale >= 16;
        if (coarseFirst) {
            QImage pixels = imaging::renderToQImage(job.picture, job.region, coarseScale, &m_cancel);
            if (m_cancel)
                continue;
            if (!pixels.isNull())
                deliver({std::move(pixels), job.region, coarseScale, job.revision, true});
        }
        QElapsedTimer timer;
        timer.start();
        QImage pixels = imaging::renderToQImage(job.picture, job.region, job.scale, &m_cancel);
        if (m_cancel)
            continue;
        m_lastFullMs = timer.nsecsElapsed() / 1e6;
        // A failed render (out of memory) is delivered too, as an empty picture: the canvas then
        // stops waiting for it.
        deliver({std::move(pixels), job.region, job.scale, job.revision, false});
    }
}

void PreviewRenderer::deliver(Result result)
{
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { emit finished(result); }, Qt::QueuedConnection);
}
