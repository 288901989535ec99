#include "effecttestsupport.h"

#include "effects/lineseffect.h"
#include "effects/simpleeffects.h"
#include "views/customeffimageview.h"

#include <QEnterEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A controller with a working copy, answering the canvas as the window's controller does.
class CanvasHost : public StillImageHost
{
public:
    using StillImageHost::StillImageHost;
    std::unique_ptr<BaseEffect> effect;

    bool hasCustomEffect() const override { return bool(effect); }
    bool customEffectIsMousing() const override { return effect && effect->isMousing(); }
    QPointF customEffectStartPoint() const override { return effect ? effect->startPoint() : QPointF(); }
    void customEffectMouse(int kind, const QPointF &p) override
    {
        if (kind == 0) effect->mouseDown(p);
        if (kind == 1) effect->mouseDragged(p);
        if (kind == 2) effect->mouseUp(p);
    }
    bool drawCustomEffect(QPainter &painter, const QRectF &target, const QRectF &source) override
    {
        return effect && effect->drawComposition(painter, target, source);
    }
};

template <class E>
std::unique_ptr<BaseEffect> copyOf()
{
    E proto;
    proto.awakeFromNib();
    return proto.mycopy();
}

} // namespace

TEST(CustomCanvas, ShowsThePlainImageWithoutAnEffectAndTheCompositionWithOne)
{
    CanvasHost host(solidImage(120, 80, QColor(0, 0, 255)));
    customEffImageView view;
    view.setController(&host);
    view.resize(1, 1); // no visible area to centre in: the canvas is the image
    view.resizeViewBound(true, 3);
    ASSERT_EQ(view.size(), QSize(120, 80));
    // The plain image is rendered off the interface thread: the first paint asks for it.
    for (int i = 0; i < 500 && !view.isPictureCurrent(); ++i) {
        view.grab();
        QTest::qWait(10);
    }
    EXPECT_EQ(view.grab().toImage().pixel(60, 40), qRgb(0, 0, 255));

    auto effect = copyOf<simpleEffects>();
    auto *simple = static_cast<simpleEffects *>(effect.get());
    simple->setBgColor(QColor(255, 0, 0));
    simple->setUseBackImage(false);
    simple->seOpacity(0);
    host.effect = std::move(effect);
    EXPECT_EQ(view.grab().toImage().pixel(60, 40), qRgb(255, 0, 0));
    // The redraw composed the stored rendering: the effect rendered once, on first use.
    EXPECT_TRUE(simple->isInitialised());
}

TEST(CustomCanvas, ForwardsTheMouseInImageCoordinatesAndShowsTheMarker)
{
    CanvasHost host(solidImage(200, 100, Qt::black));
    customEffImageView view;
    view.setController(&host);
    view.resize(1, 1); // no visible area to centre in: the canvas is the image
    view.setZoom(2.0f);
    host.effect = copyOf<linesEffect>();
    host.effect->getDrawImage();
    ASSERT_EQ(view.size(), QSize(400, 200));

    // Widget (40, 20) at zoom 2 is image (20, 100 - 10): the origin is at the bottom left.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(40, 20));
    QTest::mouseMove(&view, QPoint(40, 20));
    QMouseEvent drag(QEvent::MouseMove, QPointF(40, 20), view.mapToGlobal(QPointF(40, 20)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drag);
    EXPECT_EQ(host.effect->startPoint(), QPointF(20, 90));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(host.effect->startPoint(), QPointF(50, 50));
    EXPECT_TRUE(view.isCursorDrawn()) << "a press on an effect that uses the mouse shows the marker";

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(view.isCursorDrawn());
    const QImage without = view.grab().toImage();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), view.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(view.isCursorDrawn());
    const QImage with = view.grab().toImage();
    // The marker is 16 x 16 on screen around the anchor (widget (100, 100)) at zoom 2.
    ASSERT_FALSE(view.cursorImage().isNull());
    int changed = 0, outside = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) {
                ++changed;
                if (std::abs(x - 100) > 8 || std::abs(y - 100) > 8)
                    ++outside;
            }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(outside, 0);

    // An effect that does not use the mouse shows no marker.
    host.effect = copyOf<simpleEffects>();
    QApplication::sendEvent(&view, &leave);
    QApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(view.isCursorDrawn());
}
