#pragma once

#include "imaging/image.h"
#include "imaging/rect.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Renders a canvas's picture on a worker thread, so that the interface thread never waits for a
// filter. One render runs at a time and only the newest request counts: a request made while a
// render runs raises that render's cancel flag (it stops before its next tile and is dropped), and
// requests that pile up meanwhile are replaced by the last one.
//
// When the previous full render took longer than a frame, a coarse version at a quarter of the
// scale is rendered and delivered first, so that a dragged slider shows something at once.
// Results arrive on the interface thread through `finished`, tagged with what was asked for.
class PreviewRenderer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        imaging::Image picture;
        imaging::Rect region;   // image coordinates
        double scale = 1.0;     // output pixels per image unit
        quint64 revision = 0;   // the canvas's picture revision the recipe belongs to
    };
    struct Result
    {
        QImage pixels;          // top row = top of the region
        imaging::Rect region;
        double scale = 1.0;     // of the pixels: the request's scale, or less for a coarse pass
        quint64 revision = 0;
        bool coarse = false;
    };

    explicit PreviewRenderer(QObject *parent = nullptr);
    // Cancels the running render and waits for the worker to stop.
    ~PreviewRenderer() override;

    void request(const Request &request);
    // Whether a render is queued or running.
    bool isBusy() const;
    // The share of the requested scale used by the coarse pass.
    static constexpr double coarseFactor = 0.25;
    // A full render slower than this is preceded by a coarse pass next time.
    static constexpr double coarseAfterMs = 12.0;

signals:
    void finished(const PreviewRenderer::Result &result);

private:
    void run();
    void deliver(Result result);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_pending;
    bool m_running = false;
    bool m_stop = false;
    std::atomic<bool> m_cancel{false};
    double m_lastFullMs = -1; // worker thread only; negative before the first full render
    std::thread m_worker;
};
