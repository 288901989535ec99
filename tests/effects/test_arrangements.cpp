// Random drawings on a large picture are shown at the canvas's size; Apply, Save and Copy draw the
// full size again, and must write the arrangement the canvas showed, not a new one.
#include "effecttestsupport.h"
#include "picturepsnr.h"

#include "effects/hilbertlineseffect.h"
#include "effects/simpleeffects.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

template <class E>
std::unique_ptr<E> workingCopy()
{
    E proto;
    proto.awakeFromNib();
    return std::unique_ptr<E>(static_cast<E *>(proto.mycopy().release()));
}

// Opaque simple objects of `type`, rendered as the canvas shows the picture at a quarter.
std::unique_ptr<simpleEffects> shownAtAQuarter(int type)
{
    auto simple = workingCopy<simpleEffects>();
    simple->setObjectMode(type);
    simple->seOpacity(100);
    simple->setDisplayScale(0.25);
    simple->initEffect();
    simple->markInitialised();
    return simple;
}

// What the canvas paints for the whole picture at `size`.
QImage canvasView(DrawnEffect &effect, const QSize &size, const QSizeF &picture)
{
    QImage view(size, QImage::Format_ARGB32_Premultiplied);
    view.fill(Qt::black);
    QPainter painter(&view);
    effect.drawComposition(painter, QRectF(QPointF(0, 0), QSizeF(size)), QRectF(QPointF(0, 0), picture));
    return view;
}

// The full-size picture seen at the canvas's size, against what the canvas showed.
double likeness(DrawnEffect &effect, const QImage &shown)
{
    const QImage full = effect.getDrawImage();
    EXPECT_EQ(full.size(), effect.renderSize());
    return psnr(full.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), shown);
}

} // namespace

TEST(Arrangement, TheFullSizeOfALargePictureDrawsTheArrangementShown)
{
    // 2400 x 2000 (above the size drawn at the canvas's size for every change), shown at a quarter.
    StillImageHost controller(solidImage(2400, 2000, Qt::black));
    const QSize view(600, 500);
    const QSizeF picture(2400, 2000);
    std::srand(5);
    srandom(5);

    // Filled rectangles and balls (rand() and random()), and Hilbert lines, whose colours are drawn
    // as the curve recurses.
    for (int type : {int(simpleEffects::Rects), int(simpleEffects::Balls)}) {
        SCOPED_TRACE(type);
        auto simple = shownAtAQuarter(type);
        ASSERT_EQ(simple->effectImage().size(), view);
        const QImage shown = canvasView(*simple, view, picture);
        EXPECT_GT(likeness(*simple, shown), 24.0);
        // Asked again (Save after Apply was cancelled), the same picture.
        EXPECT_GT(likeness(*simple, shown), 24.0);
        // "Generate" makes a new arrangement, which the full size then follows.
        simple->regenerate();
        const QImage next = canvasView(*simple, view, picture);
        EXPECT_LT(psnr(next, shown), 20.0) << "a new arrangement differs from the last";
        EXPECT_GT(likeness(*simple, next), 24.0);
    }

    auto hilbert = workingCopy<hilbertLinesEffect>();
    hilbert->seOpacity(100);
    hilbert->setDisplayScale(0.25);
    hilbert->initEffect();
    hilbert->markInitialised();
    const QImage shown = canvasView(*hilbert, view, picture);
    EXPECT_GT(likeness(*hilbert, shown), 24.0);
}

TEST(Arrangement, TheFullSizeIsDrawnOnAnotherThreadWithoutTouchingTheCanvasRendering)
{
    // Apply and Save compose the full size on a worker thread while the canvas keeps painting from
    // the rendering at its size.
    StillImageHost controller(solidImage(2400, 2000, Qt::black));
    auto simple = shownAtAQuarter(simpleEffects::Circles);
    const QImage before = simple->effectImage();
    const QImage shown = canvasView(*simple, QSize(600, 500), QSizeF(2400, 2000));
    QImage full;
    std::thread worker([&] { full = simple->getDrawImage(); });
    worker.join();
    ASSERT_EQ(full.size(), QSize(2400, 2000));
    EXPECT_GT(psnr(full.scaled(600, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), shown), 24.0);
    // The canvas's rendering is the very one it had.
    EXPECT_EQ(simple->effectImage().constBits(), before.constBits());
}

TEST(Arrangement, HeavyFillsDragCoarserAndTheReleaseDrawsTheSameArrangementAtTheCanvasSize)
{
    StillImageHost controller(solidImage(2400, 2000, Qt::black));
    controller.setCanvasZoom(0.25);
    const QSize view(600, 500);
    for (int type : {int(simpleEffects::Balls), int(simpleEffects::Rects)}) {
        SCOPED_TRACE(type);
        auto simple = shownAtAQuarter(type);
        ASSERT_EQ(simple->effectImage().size(), view);

        // A control held and moved: balls blend many large discs and draw at half the canvas's
        // resolution; plain rectangles keep its resolution.
        simple->beginContinuousChange();
        simple->regenerate();
        const QSize dragged = type == simpleEffects::Balls ? QSize(300, 250) : view;
        EXPECT_EQ(simple->effectImage().size(), dragged);
        const QImage coarse = canvasView(*simple, view, QSizeF(2400, 2000));
        simple->endContinuousChange();
        EXPECT_EQ(simple->effectImage().size(), view) << "the release draws at the canvas's size";
        // The arrangement the drag showed, drawn finer.
        EXPECT_GT(psnr(canvasView(*simple, view, QSizeF(2400, 2000)), coarse), 24.0);
        EXPECT_GT(likeness(*simple, coarse), 22.0);
    }
}
