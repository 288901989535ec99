#include "effecttestsupport.h"

#include "effects/hilbertlineseffect.h"
#include "effects/lineseffect.h"
#include "effects/poolthreadpainting.h"
#include "effects/simpleeffects.h"

#include <QPainter>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>

namespace {

void seed(unsigned s)
{
    std::srand(s);
    srandom(s);
}

// What the rendering holds when a routine paints on the calling thread into a transparent
// image with the renderings' painter set-up (y up, antialiased).
QImage drawnInPlace(const QSize &size, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
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
