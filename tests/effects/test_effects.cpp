#include "eventually.h"
#include "effecttestsupport.h"

#include "effects/flareeffect.h"
#include "effects/hilbertlineseffect.h"
#include "effects/lineseffect.h"
#include "effects/patchworkeffect.h"
#include "effects/patmorphingeffect.h"
#include "effects/plasmaeffect.h"
#include "effects/simpleeffects.h"
#include "effects/sketcheffect.h"
#include "imaging/values.h"
#include "platform/notificationcenter.h"
#include "views/colorwell.h"
#include "views/floatslider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

template <class E>
std::unique_ptr<E> prototype()
{
    auto effect = std::make_unique<E>();
    effect->awakeFromNib();
    return effect;
}

template <class E>
std::unique_ptr<E> workingCopy(const E &proto)
{
    return std::unique_ptr<E>(static_cast<E *>(proto.mycopy().release()));
}

void seed(unsigned s = 1)
{
    std::srand(s);
    srandom(s);
}

} // namespace

// The rendering sizes of the lines effect and where the unset anchor lands.
TEST(LinesEffect, RendersReducedAndStretchedWithTheAnchorAtTheCentre)
{
    StillImageHost controller(solidImage(1000, 800, Qt::black));
    auto proto = prototype<linesEffect>();
    auto lines = workingCopy(*proto);
    seed();
    const QImage picture = lines->getDrawImage();
    EXPECT_EQ(picture.size(), QSize(1000, 800));
    EXPECT_EQ(lines->effectImage().size(), QSize(250, 200));
    EXPECT_FLOAT_EQ(lines->imageZoom(), 0.25f);
    EXPECT_EQ(lines->startPoint(), QPointF(500, 400));

    // Small images keep the zoom a fresh effect has.
    controller.setImage(solidImage(150, 100, Qt::black));
    auto small = workingCopy(*proto);
    small->getDrawImage();
    EXPECT_EQ(small->effectImage().size(), QSize(150, 100));
    EXPECT_FLOAT_EQ(small->imageZoom(), 1.0f);
}

TEST(LinesEffect, WithoutAnImageRendersFor726By544)
{
    BaseEffect::setMainController(nullptr);
    auto lines = workingCopy(*prototype<linesEffect>());
    seed();
    lines->initEffect();
    // 544 x (200 / 544) in single precision is just below 200 and is truncated.
    EXPECT_EQ(lines->effectImage().size(), QSize(266, 199));
    EXPECT_EQ(lines->effectImageSize(), QSizeF(726, 544));
}

TEST(LinesEffect, PressAndReleaseLeaveTwoUndoSteps)
{
    StillImageHost controller(solidImage(400, 300, Qt::black));
    auto lines = workingCopy(*prototype<linesEffect>());
    lines->getDrawImage();
    const QPointF start = lines->startPoint();
    UndoManager &um = *controller.undoManager();

    lines->mouseDown(QPointF(10, 10));
    controller.endEvent();
    EXPECT_EQ(lines->startPoint(), start) << "a press does not move the anchor";
    lines->mouseDragged(QPointF(50, 60));
    EXPECT_EQ(lines->startPoint(), QPointF(50, 60));
    controller.endEvent();
    lines->mouseUp(QPointF(70, 80));
    controller.endEvent();
    EXPECT_EQ(lines->startPoint(), QPointF(70, 80));

    um.undo();
    EXPECT_EQ(lines->startPoint(), QPointF(50, 60));
    um.undo();
    EXPECT_EQ(lines->startPoint(), start);
    um.redo();
    EXPECT_EQ(lines->startPoint(), QPointF(50, 60));

    // A release without a press changes nothing.
    lines->mouseUp(QPointF(1, 1));
    EXPECT_EQ(lines->startPoint(), QPointF(50, 60));
}

// Undo and redo alternate through the set action, and move the control back.
TEST(DrawnEffect, UndoRestoresTheValueAndTheSlider)
{
    StillImageHost controller(solidImage(300, 200, Qt::black));
    auto lines = workingCopy(*prototype<linesEffect>());
    QWidget panel;
    panel.resize(260, 230);
    lines->setTopControlsView(&panel);
    lines->setUpControlsView();
    lines->getDrawImage();

    QSlider *count = nullptr;
    for (QSlider *s : panel.findChildren<QSlider *>())
        if (s->maximum() == 2000)
            count = s;
    ASSERT_NE(count, nullptr);
    EXPECT_FALSE(count->hasTracking()) << "the lines count reports only on release";
    int updates = 0;
    QObject observer;
    NotificationCenter::defaultCenter().observe(&observer, "UpdateCustomView", [&] { ++updates; });

    count->setValue(900); // as a release of the knob would
    controller.endEvent();
    EXPECT_EQ(lines->linesCount(), 900);
    EXPECT_EQ(updates, 1);

    UndoManager &um = *controller.undoManager();
    um.undo();
    EXPECT_EQ(lines->linesCount(), 500);
    EXPECT_EQ(count->value(), 500);
    um.redo();
    EXPECT_EQ(lines->linesCount(), 900);
    EXPECT_EQ(count->value(), 900);
    um.undo();
    EXPECT_EQ(lines->linesCount(), 500);
    EXPECT_TRUE(um.canRedo());
}

TEST(DrawnEffect, CompositionChangesDoNotRedraw)
{
    StillImageHost controller(solidImage(300, 200, Qt::black));
    auto hilbert = workingCopy(*prototype<hilbertLinesEffect>());
    seed();
    hilbert->getDrawImage();
    const QImage before = hilbert->effectImage();
    hilbert->setchangeOpacity(10, nullptr);
    hilbert->setchangeBgColor(Qt::red, nullptr);
    hilbert->setuseBgImage(false, nullptr);
    EXPECT_EQ(hilbert->effectImage(), before);
    EXPECT_EQ(hilbert->effectImage().cacheKey(), before.cacheKey());
    hilbert->setchangeLinesLevel(4, nullptr);
    EXPECT_NE(hilbert->effectImage().cacheKey(), before.cacheKey());
}

TEST(DrawnEffect, GetDrawImageComposesImageColourAndEffect)
{
    StillImageHost controller(solidImage(40, 30, QColor(0, 0, 255)));
    auto simple = workingCopy(*prototype<simpleEffects>());
    // Opacity 0 and a transparent colour: the image alone.
    simple->seOpacity(0);
    simple->setBgColor(QColor(0, 0, 0, 0));
    EXPECT_EQ(simple->getDrawImage().pixel(5, 5), qRgb(0, 0, 255));
    // Without the image: the colour (and the effect) only.
    simple->setUseBackImage(false);
    simple->setBgColor(QColor(255, 0, 0));
    EXPECT_EQ(simple->getDrawImage().pixel(5, 5), qRgb(255, 0, 0));
    // A translucent colour tints the image.
    simple->setUseBackImage(true);
    simple->setBgColor(QColor::fromRgbF(1, 1, 1, 0.5));
    const QRgb tinted = simple->getDrawImage().pixel(5, 5);
    EXPECT_NEAR(qRed(tinted), 128, 2);
    EXPECT_EQ(qBlue(tinted), 255);
}

TEST(DrawnEffect, DestroyingAnEffectRemovesItsUndoSteps)
{
    StillImageHost controller(solidImage(100, 100, Qt::black));
    auto lines = workingCopy(*prototype<linesEffect>());
    lines->setchangeLinesCount(100, nullptr);
    controller.endEvent();
    EXPECT_TRUE(controller.undoManager()->canUndo());
    lines.reset();
    EXPECT_FALSE(controller.undoManager()->canUndo());
}

TEST(DrawnEffect, WithoutAControllerValuesApplyWithoutUndo)
{
    BaseEffect::setMainController(nullptr);
    auto flare = workingCopy(*prototype<flareEffect>());
    flare->setchangeLinesCount(12, nullptr);
    EXPECT_EQ(flare->linesCount(), 12);
    flare->loadImage();
    EXPECT_TRUE(flare->loadedImage().isNull());
}

// How the anchor and reals are stored, and what reading leaves alone.
TEST(EffectSettings, SinglePrecisionAndMissingOrWrongKeysKeepValues)
{
    BaseEffect::setMainController(nullptr);
    auto lines = prototype<linesEffect>();
    lines->setLinesCount(1234);
    lines->setLineWidth(2.1);
    lines->setStartPoint(QPointF(100.123456789, 7.1));
    const QVariantMap ls = lines->save();
    EXPECT_EQ(ls.value("startPT.x").userType(), QMetaType::Float);
    auto lr = workingCopy(*prototype<linesEffect>());
    lr->read(ls);
    EXPECT_EQ(lr->linesCount(), 1234);
    EXPECT_DOUBLE_EQ(lr->lineWidth(), double(2.1f)) << "stored in single precision";
    EXPECT_DOUBLE_EQ(lr->startPoint().x(), double(100.123456789f));
    EXPECT_NE(lr->startPoint().x(), 100.123456789);

    // Missing keys keep what the effect has.
    auto partial = workingCopy(*prototype<linesEffect>());
    partial->read({{"linesCount", 42}});
    EXPECT_EQ(partial->linesCount(), 42);
    EXPECT_DOUBLE_EQ(partial->lineWidth(), 1.0);
    EXPECT_EQ(partial->startPoint(), QPointF(BaseEffect::unsetCoordinate, BaseEffect::unsetCoordinate));
    EXPECT_EQ(partial->myname(), "Lines Effect");

    // Values of the wrong kind are ignored rather than turned into zeros.
    auto typed = workingCopy(*prototype<linesEffect>());
    typed->read({{"linesCount", "many"}, {"bgColor", 5}});
    EXPECT_EQ(typed->linesCount(), 500);
    EXPECT_EQ(typed->bgColor(), QColor::fromRgbF(1, 1, 1, 0.5));
}

TEST(SimpleEffects, UnknownTypesDrawNothing)
{
    BaseEffect::setMainController(nullptr);
    auto simple = workingCopy(*prototype<simpleEffects>());
    // An unknown type draws nothing but the picture still shows image and colour.
    simple->setObjectMode(42);
    simple->seObjectCount(30);
    simple->makeImageEffect();
    const QImage drawn = simple->effectImage();
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn.pixel(10, 10), 0u);
}

TEST(SimpleEffects, EveryTypeDrawsAndRepeatsForASeed)
{
    StillImageHost controller(solidImage(120, 90, Qt::black));
    auto simple = workingCopy(*prototype<simpleEffects>());
    for (int type = 0; type < 8; ++type) {
        simple->setObjectMode(type);
        seed(7);
        simple->makeImageEffect();
        const QImage first = simple->effectImage();
        seed(7);
        simple->makeImageEffect();
        EXPECT_EQ(first, simple->effectImage()) << "type " << type;
        bool any = false;
        for (int y = 0; y < first.height() && !any; ++y)
            for (int x = 0; x < first.width() && !any; ++x)
                any = qAlpha(first.pixel(x, y)) != 0;
        EXPECT_TRUE(any) << "type " << type << " drew nothing";
    }
    // The spinning squares' first square covers the whole rendering and is opaque.
    simple->setObjectMode(simpleEffects::SpinSquares);
    simple->makeImageEffect();
    EXPECT_EQ(qAlpha(simple->effectImage().pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(simple->effectImage().pixel(119, 89)), 255);
}

TEST(HilbertLines, SegmentsStepAndStart)
{
    BaseEffect::setMainController(nullptr);
    auto hilbert = workingCopy(*prototype<hilbertLinesEffect>());
    QImage image(726, 544, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    hilbert->setLinesLevel(3);
    EXPECT_EQ(hilbert->drawHilbertRect(p, QRectF(0, 0, 726, 544)), 63);
    EXPECT_EQ(hilbert->stepLength(), 215);
    hilbert->setLinesLevel(7);
    EXPECT_EQ(hilbert->drawHilbertRect(p, QRectF(0, 0, 726, 544)), 16383);
    EXPECT_EQ(hilbert->stepLength(), 13);
    EXPECT_EQ(hilbert->penStart(), QPointF(-494, -585));
    hilbert->setLinesLevel(0);
    EXPECT_EQ(hilbert->drawHilbertRect(p, QRectF(0, 0, 726, 544)), 0);
    hilbert->setLinesLevel(1000);
    EXPECT_EQ(hilbert->drawHilbertRect(p, QRectF(0, 0, 726, 544)), 0) << "an absurd level is refused";
}

TEST(PatchWork, TileSizesAndTheBlueFirstPixel)
{
    seed();
    const QImage tile = patchWorkEffect::drawPatchwork(726, 544);
    EXPECT_EQ(tile.size(), QSize(200, 200));
    EXPECT_EQ(tile.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(patchWorkEffect::drawPatchwork(150, 90).size(), QSize(90, 90));
    const QImage one = patchWorkEffect::drawPatchwork(1, 50);
    EXPECT_EQ(one.size(), QSize(1, 1));
    EXPECT_EQ(one.pixel(0, 0), qRgb(0, 0, 255));
    // Tiny tiles where the copy offsets could leave the tile.
    for (int n = 2; n <= 4; ++n)
        EXPECT_EQ(patchWorkEffect::drawPatchwork(n, n).size(), QSize(n, n));

    StillImageHost controller(solidImage(150, 90, Qt::black));
    auto patch = workingCopy(*prototype<patchWorkEffect>());
    const QImage picture = patch->getDrawImage();
    EXPECT_EQ(picture.size(), QSize(150, 90));
    EXPECT_EQ(patch->effectImage().size(), QSize(90, 90));
}

TEST(Plasma, TablesAndIndicesStayInRange)
{
    BaseEffect::setMainController(nullptr);
    auto plasma = workingCopy(*prototype<plasmaEffect>());
    seed();
    for (int i = 0; i < 300; ++i) {
        const QImage square = plasma->drawPlazma(726, 544);
        ASSERT_EQ(square.size(), QSize(544, 544));
        for (int p : plasma->phases()) {
            ASSERT_GE(p, 0);
            ASSERT_LT(p, 720);
        }
    }
    EXPECT_EQ(plasma->drawPlazma(5000, 4000).size(), QSize(600, 600));
    int maxLuma = 0;
    for (int v = 0; v < plasmaEffect::lumaSize; ++v)
        maxLuma = std::max(maxLuma, plasma->lumaAt(v));
    EXPECT_EQ(maxLuma, 255);
    EXPECT_EQ(plasma->lumaAt(201), 122);
    EXPECT_EQ(plasma->lumaAt(202), 125);
}

TEST(Flare, WhiteCentreBlackBeyondAndSpikeAngles)
{
    StillImageHost controller(solidImage(300, 200, Qt::black));
    auto flare = workingCopy(*prototype<flareEffect>());
    flare->setLinesCount(6);
    seed();
    flare->getDrawImage();
    const QImage image = flare->effectImage();
    ASSERT_EQ(image.size(), QSize(225, 150));
    EXPECT_EQ(flare->startPoint(), QPointF(150, 100));
    // The centre pixel (y up) is white.
    const int cx = 112, cy = 75;
    EXPECT_EQ(image.pixel(cx, image.height() - 1 - cy), qRgb(255, 255, 255));
    // Spike lengths are at most the shorter side: the corners are farther away.
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    const auto &angles = flare->spikeAngles();
    ASSERT_EQ(angles.size(), 6u);
    for (size_t i = 0; i < angles.size(); ++i) {
        EXPECT_GE(angles[i], i * M_PI / 3);
        EXPECT_LE(angles[i], i * M_PI / 3 + M_PI / 6);
    }
    // One spike alone still renders.
    flare->setchangeLinesCount(1, nullptr);
    EXPECT_FALSE(flare->effectImage().isNull());
}

TEST(PatternMorphing, ValuesAreSharedAndGlideTowardsTheTarget)
{
    BaseEffect::setMainController(nullptr);
    seed();
    auto morph = workingCopy(*prototype<patMorphingEffect>());
    const float start = patMorphingEffect::s_height.value;
    EXPECT_GE(start, 25);
    EXPECT_LE(start, 220);
    patMorphingEffect::updateValues();
    const float target = patMorphingEffect::s_height.target;
    // From rest a step moves 0.375 of the way.
    EXPECT_NEAR(patMorphingEffect::s_height.value, start + (target - start) * 0.375f, 1e-3);
    // A redraw with other parameters does not step the values.
    const float now = patMorphingEffect::s_height.value;
    morph->setchangePatCount(12, nullptr);
    EXPECT_EQ(patMorphingEffect::s_height.value, now);
    morph->makeImageEffect();
    EXPECT_EQ(morph->startPoint(), QPointF(363, 272)) << "a new pattern is centred";
}

TEST(Sketch, WhiteStaysWhiteAndKeepsTheSize)
{
    StillImageHost controller(solidImage(64, 48, Qt::white));
    auto sketch = workingCopy(*prototype<sketchEffect>());
    const QImage picture = sketch->getDrawImage();
    ASSERT_EQ(picture.size(), QSize(64, 48));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(32, 24), qRgb(255, 255, 255));

    // Flat areas come out near white, the dark side of an edge darker.
    QImage half = solidImage(240, 48, Qt::white);
    for (int y = 0; y < 48; ++y)
        for (int x = 120; x < 240; ++x)
            half.setPixel(x, y, qRgb(80, 80, 80));
    const QImage sketched = sketchEffect::convertImage(half);
    ASSERT_EQ(sketched.size(), QSize(240, 48));
    EXPECT_GT(qGray(sketched.pixel(235, 24)), 150);
    EXPECT_LT(qGray(sketched.pixel(121, 24)), qGray(sketched.pixel(235, 24)) - 30) << qGray(sketched.pixel(121, 24));

    // Without an image there is nothing to show.
    BaseEffect::setMainController(nullptr);
    auto empty = workingCopy(*prototype<sketchEffect>());
    EXPECT_TRUE(empty->getDrawImage().isNull());
}

TEST(ControlPanel, RowsAndGenerateButton)
{
    StillImageHost controller(solidImage(100, 80, Qt::black));
    QWidget panel;
    panel.resize(260, 230);
    auto simple = workingCopy(*prototype<simpleEffects>());
    simple->setTopControlsView(&panel);
    simple->setUpControlsView();
    auto *popUp = panel.findChild<QComboBox *>();
    ASSERT_NE(popUp, nullptr);
    EXPECT_EQ(popUp->count(), 8);
    EXPECT_EQ(popUp->itemText(7), "Spin Squares");
    EXPECT_EQ(panel.findChildren<QSlider *>().size(), 2);
    EXPECT_NE(panel.findChild<ColorWell *>(), nullptr);
    QPushButton *generate = nullptr;
    for (QPushButton *b : panel.findChildren<QPushButton *>())
        if (b->text() == "Generate")
            generate = b;
    ASSERT_NE(generate, nullptr);
    EXPECT_EQ(generate->size(), QSize(96, 24));

    // Choosing a type from the pop-up re-renders and is undoable.
    simple->getDrawImage();
    popUp->setCurrentIndex(4);
    emit popUp->activated(4);
    controller.endEvent();
    EXPECT_EQ(simple->objectMode(), 4);
    controller.undoManager()->undo();
    EXPECT_EQ(simple->objectMode(), 0);
    EXPECT_EQ(popUp->currentIndex(), 0);

    // Clearing the effect empties the panel; the sketch then leaves it empty.
    simple->clearEffect();
    EXPECT_TRUE(panel.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty());
    auto sketch = workingCopy(*prototype<sketchEffect>());
    sketch->setTopControlsView(&panel);
    sketch->setUpControlsView();
    EXPECT_TRUE(panel.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty());
}

TEST(PatMorphingEffect, ADragRendersAtTheDisplaySizeAndApplyAtFullSize)
{
    StillImageHost controller(solidImage(800, 600, Qt::black));
    auto morph = workingCopy(*prototype<patMorphingEffect>());
    morph->setLineWidth(20);
    const QImage full = morph->getDrawImage();
    ASSERT_EQ(full.size(), QSize(800, 600));
    EXPECT_EQ(morph->effectImage().size(), QSize(800, 600));

    // While the anchor moves on a canvas showing the picture at a quarter of its size.
    morph->setDisplayScale(0.25);
    morph->mouseDown(QPointF(400, 300));
    morph->mouseDragged(QPointF(300, 200));
    EXPECT_EQ(morph->effectImage().size(), QSize(200, 150));
    EXPECT_EQ(morph->effectImageSize(), QSizeF(800, 600));
    // The reduced rendering draws the same picture: the patterns sit around the anchor, as they do
    // at full size.
    auto inked = [](const QImage &image, double scale) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        int n = 0;
        double cx = 0, cy = 0;
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(argb.pixel(x, y)) > 128) {
                    ++n;
                    cx += x / scale;
                    cy += (argb.height() - 1 - y) / scale;
                }
        return n ? QPointF(cx / n, cy / n) : QPointF(-1, -1);
    };
    const QPointF reducedCentre = inked(morph->effectImage(), 0.25);
    // Apply asks for the picture in the middle of a drag: it gets the full-size one, drawn into a
    // picture of its own; the canvas keeps painting from the rendering at its size.
    EXPECT_EQ(morph->getDrawImage().size(), QSize(800, 600));
    EXPECT_EQ(morph->effectImage().size(), QSize(200, 150));
    morph->mouseUp(QPointF(300, 200));
    EXPECT_EQ(morph->effectImage().size(), QSize(800, 600));
    const QPointF fullCentre = inked(morph->effectImage(), 1.0);
    EXPECT_NEAR(reducedCentre.x(), fullCentre.x(), 8);
    EXPECT_NEAR(reducedCentre.y(), fullCentre.y(), 8);
    EXPECT_NE(fullCentre, QPointF(-1, -1));
}

TEST(PatMorphingEffect, ALargePictureRendersAtTheCanvasSizeUntilAFullOneIsAskedFor)
{
    // 2400 x 2000 (4.8 million pixels) shown at a quarter: a change, a drag and its release all
    // draw at the canvas's size, so none holds the window up; Apply gets the full size; a closer
    // zoom draws the rendering again at that size once the event loop runs.
    StillImageHost controller(solidImage(2400, 2000, Qt::black));
    auto morph = workingCopy(*prototype<patMorphingEffect>());
    morph->setLineWidth(20);
    ASSERT_EQ(morph->getDrawImage().size(), QSize(2400, 2000));
    morph->setDisplayScale(0.25);
    morph->makeImageEffect();
    EXPECT_EQ(morph->effectImage().size(), QSize(600, 500));
    morph->mouseDown(QPointF(1200, 1000));
    morph->mouseDragged(QPointF(900, 700));
    morph->mouseUp(QPointF(900, 700));
    EXPECT_EQ(morph->effectImage().size(), QSize(600, 500));
    EXPECT_EQ(morph->effectImageSize(), QSizeF(2400, 2000));
    EXPECT_EQ(morph->getDrawImage().size(), QSize(2400, 2000));

    morph->makeImageEffect();
    morph->setDisplayScale(0.5);
    EXPECT_EQ(morph->effectImage().size(), QSize(600, 500)); // not during the paint that asked
    EXPECT_EVENTUALLY(morph->effectImage().size() == QSize(1200, 1000));
    // Zooming out keeps the finer rendering.
    morph->setDisplayScale(0.1);
    QCoreApplication::processEvents();
    EXPECT_EQ(morph->effectImage().size(), QSize(1200, 1000));
}
