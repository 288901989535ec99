// Engine benchmarks on a generated 24-megapixel picture: full-resolution renders of the
// operations the comparison script times against other tools, and preview renders at fit zoom.
#include <cmath>
#include <cstdlib>
#include <random>

#include <QImage>
#include <QImageReader>
#include <benchmark/benchmark.h>

#include "imaging/filter.h"
#include "imaging/qimageadapter.h"

using namespace imaging;

namespace {

// The picture in $LUMETTA_BENCH_IMAGE (the comparison script passes its photograph), else a
// smooth colour field with grain, like an upscaled photograph.
const Image &photo()
{
    static const Image img = [] {
        if (const char *path = std::getenv("LUMETTA_BENCH_IMAGE")) {
            const QImage file = QImageReader(QString::fromLocal8Bit(path)).read();
            if (!file.isNull()) return imageFromQImage(file);
        }
        QImage q(6000, 4000, QImage::Format_RGB32);
        std::mt19937 rng(7);
        std::normal_distribution<float> grain(0.f, 6.f);
        for (int y = 0; y < q.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(q.scanLine(y));
            for (int x = 0; x < q.width(); ++x) {
                auto c = [&](double v) { return std::clamp(static_cast<int>(v + grain(rng)), 0, 255); };
                line[x] = qRgb(c(128 + 100 * std::sin(x * 0.0011) * std::cos(y * 0.0017)), c(128 + 90 * std::sin((x + y) * 0.0009)),
                               c(128 + 80 * std::cos(x * 0.0023 - y * 0.0007)));
            }
        }
        return imageFromQImage(q);
    }();
    return img;
}

Image filtered(const char *name, std::initializer_list<std::pair<const char *, QVariant>> values = {})
{
    auto f = Filter::filterWithName(name);
    f->setValue(QVariant::fromValue(photo()), "inputImage");
    for (const auto &[k, v] : values) f->setValue(v, k);
    return f->outputImage();
}

void render(benchmark::State &state, const Image &img, double scale)
{
    const Rect region = photo().extent();
    for (auto _ : state) {
        QImage out = renderToQImage(img, region, scale);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(region.width() * region.height()));
}

void BM_Source(benchmark::State &state) { render(state, photo(), 1.0); }
void BM_Invert(benchmark::State &state) { render(state, filtered("CIColorInvert"), 1.0); }
// Other point filters at full resolution, with settings that change every pixel: a colour matrix
// that mixes the channels, one stop of exposure, and saturation with contrast.
void BM_ColorMatrix(benchmark::State &state)
{
    render(state,
           filtered("CIColorMatrix", {{"inputRVector", QVariant::fromValue(Vector{0.6, 0.3, 0.1, 0})},
                                      {"inputGVector", QVariant::fromValue(Vector{0.2, 0.7, 0.1, 0})},
                                      {"inputBVector", QVariant::fromValue(Vector{0.1, 0.2, 0.7, 0})},
                                      {"inputBiasVector", QVariant::fromValue(Vector{0.05, 0, -0.05, 0})}}),
           1.0);
}
void BM_Exposure(benchmark::State &state) { render(state, filtered("CIExposureAdjust", {{"inputEV", 1.0}}), 1.0); }
void BM_ColorControls(benchmark::State &state)
{
    render(state, filtered("CIColorControls", {{"inputSaturation", 1.4}, {"inputContrast", 1.2}}), 1.0);
}
void BM_GaussianBlur(benchmark::State &state)
{
    render(state, filtered("CIGaussianBlur", {{"inputRadius", double(state.range(0))}}).cropped(photo().extent()), 1.0);
}
void BM_PreviewBlur(benchmark::State &state) { render(state, filtered("CIGaussianBlur").cropped(photo().extent()), 0.27); }
void BM_PreviewTwirl(benchmark::State &state) { render(state, filtered("CITwirlDistortion"), 0.27); }
void BM_PreviewCrystallize(benchmark::State &state) { render(state, filtered("CICrystallize"), 0.27); }
void BM_PreviewPointillize(benchmark::State &state) { render(state, filtered("CIPointillize"), 0.27); }
// Outlines of a fixed number of pixels: rendered three times finer at this scale and averaged down.
void BM_PreviewComic(benchmark::State &state) { render(state, filtered("CIComicEffect"), 0.27); }
// A slope over three pixels: rendered at half size and averaged down, with a lit ball for shading.
void BM_PreviewShadedMaterial(benchmark::State &state)
{
    QImage ball(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double dx = (x - 127.5) / 128, dy = (y - 127.5) / 128, z = std::sqrt(std::max(0.0, 1 - dx * dx - dy * dy));
            const int v = std::clamp(static_cast<int>(255 * (0.2 + 0.8 * z * (0.6 - 0.3 * dx - 0.3 * dy))), 0, 255);
            ball.setPixel(x, y, qRgb(v, v, v));
        }
    render(state, filtered("CIShadedMaterial", {{"inputShadingImage", QVariant::fromValue(imageFromQImage(ball))}}), 0.27);
}
// A screen finer than the preview's pixels is rendered finer and averaged down (at most 4 x 4).
void BM_PreviewDotScreen(benchmark::State &state) { render(state, filtered("CIDotScreen"), 0.1); }
// Inputs at their declared maximum: a reach far beyond the tiles must cost no more than the
// picture holds.
void BM_PreviewDisplacementMaxScale(benchmark::State &state)
{
    auto f = Filter::filterWithName("CIDisplacementDistortion");
    f->setValue(QVariant::fromValue(photo()), "inputImage");
    f->setValue(QVariant::fromValue(photo()), "inputDisplacementImage");
    f->setValue(10000.0, "inputScale");
    render(state, f->outputImage(), 0.27);
}
void BM_BloomMaxRadius(benchmark::State &state)
{
    render(state, filtered("CIBloom", {{"inputRadius", 1000.0}}), 0.27);
}
// Patterns at fit zoom whose cost is their per-pixel formula: generators (cut to the picture, as
// the canvas lays them over it) and tilings of the picture.
void BM_PreviewPattern(benchmark::State &state, const char *name)
{
    auto f = Filter::filterWithName(name);
    if (f->description().input(QStringLiteral("inputImage"))) f->setValue(QVariant::fromValue(photo()), "inputImage");
    render(state, f->outputImage().cropped(photo().extent()), 0.27);
}

} // namespace

BENCHMARK(BM_Source)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Invert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColorMatrix)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Exposure)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ColorControls)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GaussianBlur)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewBlur)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewTwirl)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewCrystallize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewPointillize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewComic)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewShadedMaterial)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewDotScreen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PreviewDisplacementMaxScale)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BloomMaxRadius)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewPattern, Checkerboard, "CICheckerboardGenerator")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewPattern, Random, "CIRandomGenerator")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewPattern, Sunbeams, "CISunbeamsGenerator")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewPattern, Kaleidoscope, "CIKaleidoscope")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PreviewPattern, OpTile, "CIOpTile")->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
