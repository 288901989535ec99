#include "effecttestsupport.h"

#include "effects/hilbertlineseffect.h"
#include "effects/lineseffect.h"
#include "effects/poolthreadpainting.h"
#include "effects/simpleeffects.h"

#include <QMutex>
#include <QPainter>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

void seed(unsigned s)
{
    std::srand(s);
    srandom(s);
}

// What the rendering holds when a routine paints on the calling thread into a transparent
// image with the renderings' painter set-up (y up, antialiased). The painter is clipped to the
// whole image, which changes no pixel but keeps a drawing in one piece (not shared by bands).
QImage drawnInPlace(const QSize &size, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setClipRect(QRect(QPoint(0, 0), size));
    painter.translate(0, size.height());
    painter.scale(1, -1);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

} // namespace

// The work runs on a thread of the global pool, and has finished when the call returns.
TEST(PoolThreadPainting, RunsOnAPoolThreadAndWaitsForIt)
{
    std::atomic<bool> onPool = false;
    QThread *ranOn = nullptr;
    int result = 0;
    runOnPoolThread([&] {
        onPool = QThreadPool::globalInstance()->contains(QThread::currentThread());
        ranOn = QThread::currentThread();
        QThread::msleep(30); // a caller that did not wait would read the result before this ends
        result = 42;
    });
    EXPECT_TRUE(onPool);
    EXPECT_NE(ranOn, QThread::currentThread());
    EXPECT_EQ(result, 42);
}

// Called from a pool thread, the work runs in place (a nested wait could starve a one-thread pool);
// with every pool thread busy it also runs in place instead of waiting for work it cannot see.
TEST(PoolThreadPainting, RunsInPlaceOnAPoolThreadOrWhenThePoolIsFull)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    const int maxThreads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    std::atomic<bool> sameThread = false;
    std::atomic<int> runs = 0;
    pool->start([&] {
        QThread *outer = QThread::currentThread();
        runOnPoolThread([&] {
            sameThread = QThread::currentThread() == outer;
            ++runs;
        });
    });
    EXPECT_TRUE(pool->waitForDone(5000)) << "the nested call waited for a free pool thread";
    EXPECT_TRUE(sameThread);

    // The only thread stays busy until the call below has returned.
    std::atomic<bool> started = false, release = false;
    pool->start([&] {
        started = true;
        while (!release)
            QThread::msleep(1);
    });
    while (!started)
        QThread::msleep(1);
    QThread *ranOn = nullptr;
    runOnPoolThread([&] {
        ranOn = QThread::currentThread();
        ++runs;
    });
    release = true;
    EXPECT_TRUE(pool->waitForDone(5000));
    pool->setMaxThreadCount(maxThreads);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(ranOn, QThread::currentThread());
}

// Drawn through the effect (on a pool thread), each routine gives exactly the pixels it gives
// when painted in place with the same random numbers.
TEST(PoolThreadPainting, EffectsDrawTheSamePixelsAsInPlace)
{
    BaseEffect::setMainController(nullptr);
    const QSize size(DrawnEffect::defaultWidth, DrawnEffect::defaultHeight);

    simpleEffects simple;
    simple.awakeFromNib();
    simple.seObjectCount(60);
    using Routine = int (simpleEffects::*)(QPainter &, const QRectF &);
    const std::pair<simpleEffects::ObjectType, Routine> routines[] = {
        {simpleEffects::Flowers, &simpleEffects::flowers},
        {simpleEffects::Balls, &simpleEffects::balls},
        {simpleEffects::Lights, &simpleEffects::lights},
    };
    for (const auto &[type, routine] : routines) {
        simple.setObjectMode(type);
        seed(11);
        simple.makeImageEffect();
        seed(11);
        const QImage expected = drawnInPlace(size, [&, r = routine](QPainter &p, const QRectF &rect) { (simple.*r)(p, rect); });
        EXPECT_EQ(simple.effectImage(), expected) << "object type " << type;
    }

    linesEffect lines;
    lines.awakeFromNib();
    lines.setLinesCount(700);
    lines.setLineWidth(2.5);
    seed(5);
    lines.makeImageEffect();
    const QImage linesImage = lines.effectImage();
    seed(5);
    // The fan is drawn at the effect's reduced size.
    EXPECT_EQ(linesImage, drawnInPlace(linesImage.size(), [&](QPainter &p, const QRectF &rect) { lines.devideLines(p, rect); }));

    hilbertLinesEffect hilbert;
    hilbert.awakeFromNib();
    seed(3);
    hilbert.makeImageEffect();
    seed(3);
    EXPECT_EQ(hilbert.effectImage(),
              drawnInPlace(size, [&](QPainter &p, const QRectF &rect) { hilbert.drawHilbertRect(p, rect); }));
}

// Shared by bands, a drawing of translucent antialiased fills (with the y-up set-up, a scale and
// shapes across the joins) gives the pixels one painter gives; each band is drawn once, on a pool
// thread, and is told which part of the drawing it shows.
TEST(PoolThreadPainting, BandsPaintWhatOnePainterPaints)
{
    const QSize size(300, 257);
    auto setUp = [&](QPainter &painter) {
        painter.translate(0, size.height());
        painter.scale(1.5, -1.5);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
    };
    auto shapes = [](QPainter &p) {
        for (int i = 0; i < 60; ++i) {
            p.setBrush(QColor::fromHsv(i * 6, 200, 230, 90 + i));
            p.drawEllipse(QRectF(i * 3.3, (i * 37) % 170 + 0.4, 10 + i % 17, 8 + i % 13));
        }
        p.drawRect(QRectF(0.3, 0.6, 199.5, 170.7));
    };
    QImage expected(size, QImage::Format_ARGB32_Premultiplied), banded = expected;
    expected.fill(Qt::transparent);
    banded.fill(Qt::transparent);
    {
        QPainter painter(&expected);
        setUp(painter);
        shapes(painter);
    }
    std::vector<QRectF> shown;
    std::vector<bool> onPool;
    QMutex mutex;
    {
        QPainter painter(&banded);
        setUp(painter);
        paintInBands(painter, [&](QPainter &p, const QRectF &rect) {
            {
                const QMutexLocker lock(&mutex);
                shown.push_back(rect);
                onPool.push_back(QThreadPool::globalInstance()->contains(QThread::currentThread()));
            }
            shapes(p);
        });
    }
    EXPECT_EQ(banded, expected);
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    if (threads < 2)
        GTEST_SKIP() << "one pool thread: nothing to share";
    ASSERT_EQ(int(shown.size()), std::min(threads, size.height() / 64));
    // The bands' rectangles, in the drawing's coordinates, cover it from bottom to top.
    std::sort(shown.begin(), shown.end(), [](const QRectF &a, const QRectF &b) { return a.top() < b.top(); });
    EXPECT_NEAR(shown.front().top(), 0, 1e-9);
    EXPECT_NEAR(shown.back().bottom(), size.height() / 1.5, 1e-9);
    for (std::size_t i = 0; i + 1 < shown.size(); ++i)
        EXPECT_NEAR(shown[i].bottom(), shown[i + 1].top(), 1e-9);
    for (const QRectF &r : shown)
        EXPECT_NEAR(r.width(), size.width() / 1.5, 1e-9);
    EXPECT_EQ(std::count(onPool.begin(), onPool.end(), true), long(onPool.size())) << "a band was drawn off the pool";
}
