// The standard canvas renders its picture off the interface thread, drops renders that a newer
// change has made stale and keeps showing the last finished picture until the new one is ready.
#include "imaging/node.h"
#include "imaging/pixelrect.h"
#include "views/canvascontroller.h"
#include "views/myimageview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Holds renders back until the test lets them go (or five seconds have passed, so that a canvas
// that renders on the interface thread shows up as a failed check rather than a hang).
struct Gate
{
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    void close() { std::lock_guard lock(mutex); open = false; }
    void release()
    {
        { std::lock_guard lock(mutex); open = true; }
        changed.notify_all();
    }
    void pass()
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [this] { return open; });
    }
};

// A plain colour over w x h that notes which threads rendered it and waits at its gate.
class GatedNode : public imaging::Node
{
public:
    GatedNode(int w, int h, QColor colour, std::shared_ptr<Gate> gate)
        : m_w(w), m_h(h), m_colour(colour), m_gate(std::move(gate)) {}
    imaging::Rect extent() const override { return imaging::Rect(0, 0, m_w, m_h); }
    void render(imaging::PixelBuffer &out) const override
    {
        {
            std::lock_guard lock(m_threadsMutex);
            m_threads.push_back(std::this_thread::get_id());
        }
        m_gate->pass();
        out.fill(float(m_colour.redF()), float(m_colour.greenF()), float(m_colour.blueF()), 1);
        out.clearOutside(imaging::PixelRect::covering(extent()));
    }
    std::vector<std::thread::id> threads() const
    {
        std::lock_guard lock(m_threadsMutex);
        return m_threads;
    }

private:
    int m_w, m_h;
    QColor m_colour;
    std::shared_ptr<Gate> m_gate;
    mutable std::mutex m_threadsMutex;
    mutable std::vector<std::thread::id> m_threads;
};

class Controller : public CanvasController
{
public:
    imaging::Image back;
    imaging::Image result;
    int recipes = 0; // how often the canvas asked for its picture's recipe
    imaging::Image backImage() const override { return back; }
    imaging::Image coreImageResult(bool) override { ++recipes; return result; }
    void setZoom(float) override {}
    void updateZoommWithDelta(float) override {}
    QMenu *contextMenu() const override { return nullptr; }
};

bool waitUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

struct Canvas
{
    // A 200 x 200 picture in a 300 x 300 visible area at zoom 1: the picture sits in the middle.
    Canvas()
    {
        controller.back = picture(Qt::white, std::make_shared<Gate>());
        controller.result = controller.back;
        area.setFrameShape(QFrame::NoFrame);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view = new MyImageView;
        view->setController(&controller);
        area.setWidget(view);
        area.resize(300, 300);
        area.show();
        view->setZoom(1.0f);
        QObject::connect(view, &ZoomableImageView::pictureShown,
                         [this](quint64 revision, bool) { shown.push_back(revision); });
    }
    static imaging::Image picture(QColor colour, std::shared_ptr<Gate> gate, int w = 200, int h = 200)
    {
        return imaging::Image(std::make_shared<GatedNode>(w, h, colour, std::move(gate)));
    }
    // The filter's result changes; the current image stays.
    void show(const imaging::Image &result)
    {
        controller.result = result;
        view->pictureChanged();
    }
    // The middle of the visible area.
    QColor middle() { return QColor(area.viewport()->grab().toImage().pixel(150, 150)); }
    bool ready() { return waitUntil([this] { view->grab(); return view->isPictureCurrent(); }); }

    Controller controller;
    QScrollArea area;
    MyImageView *view;
    std::vector<quint64> shown;
};

TEST(CanvasRendering, RendersOffTheInterfaceThreadAndShowsThePictureWhenReady)
{
    Canvas canvas;
    auto gate = std::make_shared<Gate>();
    gate->close();
    const imaging::Image red = Canvas::picture(Qt::red, gate);
    canvas.show(red);
    // The paint returns while the render waits: the canvas shows its backdrop meanwhile.
    EXPECT_NE(canvas.middle(), QColor(Qt::red));
    EXPECT_FALSE(canvas.view->isPictureCurrent());
    gate->release();
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::red));
    // Outside the picture: the backdrop.
    EXPECT_NE(QColor(canvas.area.viewport()->grab().toImage().pixel(10, 10)), QColor(Qt::red));

    const auto threads = static_cast<const GatedNode *>(red.node().get())->threads();
    ASSERT_FALSE(threads.empty());
    for (const std::thread::id id : threads)
        EXPECT_NE(id, std::this_thread::get_id());
}

TEST(CanvasRendering, KeepsTheLastPictureAndDropsStaleRenders)
{
    Canvas canvas;
    canvas.show(Canvas::picture(Qt::red, std::make_shared<Gate>()));
    ASSERT_TRUE(canvas.ready());
    ASSERT_EQ(canvas.middle(), QColor(Qt::red));

    // Blue is asked for, then green before blue has finished.
    auto blueGate = std::make_shared<Gate>(), greenGate = std::make_shared<Gate>();
    blueGate->close();
    greenGate->close();
    canvas.show(Canvas::picture(Qt::blue, blueGate));
    const quint64 blueRevision = canvas.view->pictureRevision();
    EXPECT_EQ(canvas.middle(), QColor(Qt::red)); // the last finished picture meanwhile
    canvas.show(Canvas::picture(Qt::green, greenGate));
    const quint64 greenRevision = canvas.view->pictureRevision();
    EXPECT_EQ(canvas.middle(), QColor(Qt::red));

    // Blue finishes late: it is never shown.
    canvas.shown.clear();
    blueGate->release();
    settle(300);
    EXPECT_EQ(canvas.middle(), QColor(Qt::red));
    greenGate->release();
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::green));
    for (const quint64 revision : canvas.shown) {
        EXPECT_NE(revision, blueRevision);
        EXPECT_EQ(revision, greenRevision);
    }
}

TEST(CanvasRendering, ScrollsAndZoomsRenderTheSameRecipeAgain)
{
    Canvas canvas;
    canvas.controller.back = Canvas::picture(Qt::white, std::make_shared<Gate>(), 2000, 2000);
    canvas.view->setZoom(1.0f);
    canvas.show(Canvas::picture(Qt::red, std::make_shared<Gate>(), 2000, 2000));
    ASSERT_TRUE(canvas.ready());
    const int recipes = canvas.controller.recipes;
    const quint64 revision = canvas.view->pictureRevision();

    canvas.area.horizontalScrollBar()->setValue(canvas.area.horizontalScrollBar()->value() + 500);
    EXPECT_FALSE(canvas.view->isPictureCurrent());
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::red));
    canvas.view->setZoom(2.0f);
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::red));
    EXPECT_EQ(canvas.controller.recipes, recipes);
    EXPECT_EQ(canvas.view->pictureRevision(), revision);

    // A changed picture is asked for again; so is the picture of a new current image.
    canvas.show(Canvas::picture(Qt::blue, std::make_shared<Gate>(), 2000, 2000));
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::blue));
    EXPECT_EQ(canvas.controller.recipes, recipes + 1);
    canvas.controller.back = Canvas::picture(Qt::white, std::make_shared<Gate>(), 2000, 2000);
    canvas.controller.result = Canvas::picture(Qt::green, std::make_shared<Gate>(), 2000, 2000);
    ASSERT_TRUE(canvas.ready());
    EXPECT_EQ(canvas.middle(), QColor(Qt::green));
}

TEST(CanvasRendering, ACanvasClosedWhileARenderRunsStopsIt)
{
    auto gate = std::make_shared<Gate>();
    {
        Canvas canvas;
        gate->close();
        canvas.show(Canvas::picture(Qt::red, gate, 4000, 4000));
        canvas.view->grab();
        // The render is waiting at its gate when the canvas goes away; the gate opens from
        // another thread a little later, and closing must neither crash nor deliver to a dead view.
        std::thread opener([gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            gate->release();
        });
        opener.detach();
    }
    settle(200);
    SUCCEED();
}

} // namespace
