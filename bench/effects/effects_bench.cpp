// Rendering time (makeImageEffect) of every drawn effect over a 24-megapixel image, at its default
// settings and at its most expensive one, and the cost of composing one screenful for a redraw.
// Lines and flare redraw on every mouse move and must stay well under 30 ms; the others under 1 s.
//
// The frame_* cases time one step of a drag (an anchor or a control moved): the re-render at the
// size a 1600 x 1000 canvas shows the whole picture (zoom 0.25) and the composition of that
// screenful; each must stay under 16 ms. LUMETTA_BENCH_IMAGE names a photograph to use instead
// of the generated picture (bench/compare.py's 6000 x 4000 photo, for example).
#include "effects/drawneffect.h"
#include "effects/effectcatalog.h"
#include "effects/stillimagehost.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int benchWidth = 6000, benchHeight = 4000;

// The canvas's zoom while a control is dragged: a 1600 x 1000 canvas showing the whole picture.
constexpr double displayZoom = 0.25;

// A photograph-like picture: smooth gradients with some structure for the sketch's blur.
QImage benchImage()
{
    if (const QString path = qEnvironmentVariable("LUMETTA_BENCH_IMAGE"); !path.isEmpty()) {
        QImageReader reader(path);
        reader.setAllocationLimit(0);
        const QImage photo = reader.read();
        if (photo.isNull())
            qFatal("cannot read %s: %s", qPrintable(path), qPrintable(reader.errorString()));
        return photo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    QImage image(benchWidth, benchHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, benchWidth, benchHeight);
    g.setColorAt(0, QColor(200, 120, 40));
    g.setColorAt(1, QColor(30, 60, 140));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(Qt::white, 9));
    for (int i = 0; i < 40; ++i)
        p.drawEllipse(QPointF(benchWidth / 2.0, benchHeight / 2.0), 50.0 * i, 40.0 * i);
    return image;
}

StillImageHost &host()
{
    static StillImageHost h(benchImage());
    h.setCanvasZoom(displayZoom);
    BaseEffect::setMainController(&h);
    return h;
}

std::unique_ptr<DrawnEffect> workingCopy(const char *name, const QVariantMap &settings)
{
    host();
    std::unique_ptr<BaseEffect> proto = EffectCatalog::prototype(QString::fromLatin1(name));
    std::unique_ptr<BaseEffect> copy = proto->mycopy();
    copy->read(settings);
    copy->loadImage();
    return std::unique_ptr<DrawnEffect>(static_cast<DrawnEffect *>(copy.release()));
}

void render(benchmark::State &state, const char *name, const QVariantMap &settings)
{
    auto effect = workingCopy(name, settings);
    std::srand(1);
    srandom(1);
    for (auto _ : state) {
        effect->makeImageEffect();
        benchmark::DoNotOptimize(effect->effectImage().constBits());
    }
}

// One redraw of a 1200 x 800 canvas showing the whole image at zoom 0.2.
void compose(benchmark::State &state, const char *name, const QVariantMap &settings)
{
    auto effect = workingCopy(name, settings);
    effect->makeImageEffect();
    effect->markInitialised();
    QImage screen(1200, 800, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter p(&screen);
        effect->drawComposition(p, QRectF(0, 0, 1200, 800), QRectF(0, 0, benchWidth, benchHeight));
    }
}

// One step of a drag: the re-render at display size, then the redraw of the canvas showing it.
void frame(benchmark::State &state, const char *name, const QVariantMap &settings)
{
    auto effect = workingCopy(name, settings);
    effect->makeImageEffect();
    effect->markInitialised();
    // A control is held: renders follow the canvas's zoom until it is released.
    effect->beginContinuousChange();
    const QSize size = effect->renderSize();
    const QSize shown(int(size.width() * displayZoom), int(size.height() * displayZoom));
    QImage screen(shown, QImage::Format_ARGB32_Premultiplied);
    std::srand(1);
    srandom(1);
    for (auto _ : state) {
        effect->makeImageEffect();
        QPainter p(&screen);
        effect->drawComposition(p, QRectF(QPointF(0, 0), QSizeF(shown)), QRectF(QPointF(0, 0), QSizeF(size)));
    }
    state.counters["render_px"] = effect->effectImage().width() * double(effect->effectImage().height());
}

#define FRAME_BENCH(label, name, settings)                                                          \
    BENCHMARK_CAPTURE(frame, label, name, settings)->Unit(benchmark::kMillisecond)->MinTime(0.5)

#define EFFECT_BENCH(label, name, settings)                                                         \
    BENCHMARK_CAPTURE(render, label, name, settings)->Unit(benchmark::kMillisecond)->MinTime(0.5)->MeasureProcessCPUTime()->UseRealTime()

const QVariantMap defaults;

} // namespace

EFFECT_BENCH(simple_rects_default, "simpleEffects", defaults);
EFFECT_BENCH(simple_balls_200, "simpleEffects", (QVariantMap{{"drawObj", 5}, {"object_count", 200}}));
EFFECT_BENCH(simple_flowers_200, "simpleEffects", (QVariantMap{{"drawObj", 4}, {"object_count", 200}}));
EFFECT_BENCH(simple_spinsquares_200, "simpleEffects", (QVariantMap{{"drawObj", 7}, {"object_count", 200}}));
EFFECT_BENCH(lines_default, "linesEffect", defaults);
EFFECT_BENCH(lines_2000, "linesEffect", (QVariantMap{{"linesCount", 2000}}));
EFFECT_BENCH(lines_2000_width50, "linesEffect", (QVariantMap{{"linesCount", 2000}, {"lineWidth", 50.0f}}));
EFFECT_BENCH(hilbert_default, "hilbertLinesEffect", defaults);
EFFECT_BENCH(hilbert_level7_width15, "hilbertLinesEffect", (QVariantMap{{"level", 7}, {"lineWidth", 15.0f}}));
EFFECT_BENCH(patchwork_default, "patchWorkEffect", defaults);
EFFECT_BENCH(flare_default, "flareEffect", defaults);
EFFECT_BENCH(flare_60_spikes, "flareEffect", (QVariantMap{{"linesCount", 60}}));
EFFECT_BENCH(plasma_default, "plasmaEffect", defaults);
EFFECT_BENCH(patmorphing_default, "patMorphingEffect", defaults);
EFFECT_BENCH(patmorphing_60_width30, "patMorphingEffect", (QVariantMap{{"count", 60}, {"lineWidth", 30.0f}}));
EFFECT_BENCH(sketch_default, "sketchEffect", defaults);
FRAME_BENCH(simple_balls_200, "simpleEffects", (QVariantMap{{"drawObj", 5}, {"object_count", 200}}));
FRAME_BENCH(simple_flowers_200, "simpleEffects", (QVariantMap{{"drawObj", 4}, {"object_count", 200}}));
FRAME_BENCH(lines_default, "linesEffect", defaults);
FRAME_BENCH(lines_2000, "linesEffect", (QVariantMap{{"linesCount", 2000}}));
FRAME_BENCH(flare_default, "flareEffect", defaults);
FRAME_BENCH(patmorphing_default, "patMorphingEffect", defaults);
FRAME_BENCH(hilbert_level7_width15, "hilbertLinesEffect", (QVariantMap{{"level", 7}, {"lineWidth", 15.0f}}));
FRAME_BENCH(patchwork_default, "patchWorkEffect", defaults);
FRAME_BENCH(flare_60_spikes, "flareEffect", (QVariantMap{{"linesCount", 60}}));
FRAME_BENCH(plasma_default, "plasmaEffect", defaults);
FRAME_BENCH(patmorphing_60_width30, "patMorphingEffect", (QVariantMap{{"count", 60}, {"lineWidth", 30.0f}}));
BENCHMARK_CAPTURE(compose, lines_screenful, "linesEffect", defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compose, hilbert_screenful, "hilbertLinesEffect", defaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compose, patchwork_screenful, "patchWorkEffect", defaults)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
