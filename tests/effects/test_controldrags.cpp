// Dragging a control of a drawn effect renders at the size the canvas shows the picture; the
// release, and Apply in the middle of the drag, render at full size.
#include "effecttestsupport.h"

#include "effects/hilbertlineseffect.h"
#include "effects/patmorphingeffect.h"
#include "views/colorwell.h"
#include "views/floatslider.h"

#include <QApplication>
#include <QColorDialog>
#include <QSlider>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A working copy of E with its panel, rendered over an 800 x 600 picture that the canvas shows at
// `zoom`.
template <class E>
struct WithPanel
{
    explicit WithPanel(double zoom)
    {
        controller.setCanvasZoom(zoom);
        panel.resize(260, 230);
        E proto;
        proto.awakeFromNib();
        effect.reset(static_cast<E *>(proto.mycopy().release()));
        effect->setTopControlsView(&panel);
        effect->setUpControlsView();
        effect->getDrawImage();
    }
    StillImageHost controller{solidImage(800, 600, Qt::black)};
    QWidget panel;
    std::unique_ptr<E> effect;
};

// The mean grey level of a picture scaled to a common small size: two renderings of the same
// drawing at different sizes agree on it.
double meanAlpha(const QImage &image)
{
    const QImage small = image.scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            sum += qAlpha(small.pixel(x, y));
    return sum / (small.width() * small.height());
}

} // namespace

TEST(ControlDrag, ASliderDragRendersAtTheCanvasSizeAndTheReleaseAtFullSize)
{
    WithPanel<patMorphingEffect> setup(0.25);
    auto &morph = setup.effect;
    QWidget &panel = setup.panel;
    ASSERT_EQ(morph->effectImage().size(), QSize(800, 600));

    // The line width's slider: pressed on its handle, moved, released.
    FloatSlider *width = nullptr;
    for (FloatSlider *s : panel.findChildren<FloatSlider *>())
        if (std::abs(s->maxValue() - 30) < 1e-9)
            width = s;
    ASSERT_NE(width, nullptr);
    ASSERT_TRUE(width->hasTracking());
    width->setSliderDown(true);
    width->setSliderPosition(width->maximum() / 2);
    EXPECT_EQ(morph->effectImage().size(), QSize(200, 150)) << "a step of the drag renders at the canvas's size";
    EXPECT_EQ(morph->effectImageSize(), QSizeF(800, 600));

    // Apply in the middle of the drag writes a full-size rendering, drawn into a picture of its
    // own: the canvas keeps painting from the rendering at its size.
    const QImage applied = morph->getDrawImage();
    EXPECT_EQ(applied.size(), QSize(800, 600));
    EXPECT_EQ(morph->effectImage().size(), QSize(200, 150));
    // The drag goes on at the canvas's size.
    width->setSliderPosition(width->maximum() / 3);
    EXPECT_EQ(morph->effectImage().size(), QSize(200, 150));
    const double reduced = meanAlpha(morph->effectImage());

    width->setSliderDown(false);
    EXPECT_EQ(morph->effectImage().size(), QSize(800, 600)) << "the release shows what Apply writes";
    // The reduced rendering is the same drawing seen smaller, not a crop or a thinner line.
    const double full = meanAlpha(morph->effectImage());
    EXPECT_GT(full, 1);
    EXPECT_NEAR(reduced, full, full * 0.15);
    EXPECT_DOUBLE_EQ(morph->lineWidth(), width->doubleValue());

    // A click or a key on the slider (no drag) renders at full size at once.
    width->setValue(width->maximum() / 4);
    EXPECT_EQ(morph->effectImage().size(), QSize(800, 600));
}

TEST(ControlDrag, SlidersThatReportOnReleaseRenderAtFullSize)
{
    WithPanel<hilbertLinesEffect> setup(0.25);
    QSlider *level = nullptr;
    for (QSlider *s : setup.panel.findChildren<QSlider *>())
        if (s->maximum() == 7)
            level = s;
    ASSERT_NE(level, nullptr);
    level->setSliderDown(true);
    level->setSliderPosition(5);
    level->setSliderDown(false);
    EXPECT_EQ(setup.effect->effectImage().size(), QSize(800, 600));
}

TEST(ControlDrag, ColoursTriedInTheDialogRenderAtTheCanvasSizeUntilItCloses)
{
    WithPanel<patMorphingEffect> setup(0.5);
    auto &morph = setup.effect;
    // The pattern colour's well (the other one is the background colour, which only recomposes).
    const QList<ColorWell *> wells = setup.panel.findChildren<ColorWell *>();
    ColorWell *pattern = nullptr;
    for (ColorWell *w : wells)
        if (w->color() == morph->patColor())
            pattern = w;
    ASSERT_NE(pattern, nullptr);

    for (bool accept : {true, false}) {
        pattern->click();
        QColorDialog *dialog = pattern->dialog();
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentColor(QColor(10, 200, 30));
        EXPECT_EQ(morph->effectImage().size(), QSize(400, 300));
        dialog->setCurrentColor(QColor(200, 10, 30));
        EXPECT_EQ(morph->effectImage().size(), QSize(400, 300));
        if (accept)
            dialog->accept();
        else
            dialog->reject();
        QApplication::processEvents();
        EXPECT_EQ(morph->effectImage().size(), QSize(800, 600)) << "accepted " << accept;
    }
    EXPECT_EQ(morph->patColor(), QColor(200, 10, 30)) << "the accepted colour, then the cancelled one put back";

    // Trying a colour and coming back to the old one before closing ends the same way.
    pattern->click();
    QColorDialog *dialog = pattern->dialog();
    ASSERT_NE(dialog, nullptr);
    const QColor old = morph->patColor();
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->setCurrentColor(old);
    dialog->reject();
    QApplication::processEvents();
    EXPECT_EQ(morph->effectImage().size(), QSize(800, 600));
}
