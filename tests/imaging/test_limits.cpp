// The engine at the edges of what it accepts: every input at its declared limits or far beyond
// any picture, and working memory that runs out.
#include <chrono>

#include <QtGlobal>
#include <gtest/gtest.h>

#include "imaging/bufferpool.h"
#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"
#include "imaging/standardcomposition.h"
#include "testimages.h"

using namespace imaging;

namespace {

constexpr std::size_t mb = 1 << 20;

// Sets the pool's budget for the lifetime of the object.
struct Budget
{
    explicit Budget(std::size_t bytes) : saved(BufferPool::budget()) { BufferPool::setBudget(bytes); }
    ~Budget() { BufferPool::setBudget(saved); }
    std::size_t saved;
};

// Collects the warnings logged while it lives.
struct Warnings
{
    Warnings() { previous = qInstallMessageHandler(&Warnings::handle); }
    ~Warnings() { qInstallMessageHandler(previous); }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &text) { logged << text; }
    static inline QStringList logged;
    QtMessageHandler previous;
};

// The values the sweep tries for one input: a number's declared minimum and maximum; for a
// vector, every component (and the first alone) pushed a billion pixels either way.
QList<QVariant> extremes(const QVariantMap &attribute)
{
    QList<QVariant> values;
    const QString cls = attribute.value(kCIAttributeClass).toString();
    if (cls == QLatin1String("NSNumber") && attribute.contains(kCIAttributeMin))
        values = {attribute.value(kCIAttributeMin), attribute.value(kCIAttributeMax)};
    if (cls == QLatin1String("CIVector")) {
        const Vector d = attribute.value(kCIAttributeDefault).value<Vector>();
        for (double far : {1e9, -1e9}) {
            Vector all = d, first = d;
            for (std::size_t i = 0; i < all.count(); ++i) all.setValue(i, far);
            first.setValue(0, far);
            values << QVariant::fromValue(all) << QVariant::fromValue(first);
        }
    }
    return values;
}

} // namespace

TEST(Limits, EveryInputAtItsExtremesRendersInBoundedMemoryAndWork)
{
    // A small picture: what grows with an input's value must stay bounded by the picture, not by
    // the value. The standard mode's composition, at full resolution and for a half-scale preview.
    // The budget turns a runaway allocation into a failed render instead of exhausting the machine.
    const Budget budget(256 * mb);
    const Image current = imageFromQImage(testimages::pattern(48, 32));
    const Rect view = current.extent();
    int renders = 0;
    for (const QString &name : FilterRegistry::filterNames()) {
        auto filter = Filter::filterWithName(name);
        const QVariantMap attrs = filter->attributes();
        for (const QString &key : filter->inputKeys()) {
            for (const QVariant &value : extremes(attrs.value(key).toMap())) {
                SCOPED_TRACE(QStringLiteral("%1 %2=%3").arg(name, key, value.toString()).toStdString());
                standardcomposition::prepare(*filter, current, view);
                filter->setValue(value, key);
                const auto start = std::chrono::steady_clock::now();
                BufferPool::resetPeak();
                const std::size_t before = BufferPool::statistics().live;
                const Image result = standardcomposition::result(*filter, current, view);
                const QImage full = renderToQImage(result, view);
                const QImage preview = renderToQImage(result, view, 0.5);
                const BufferPool::Statistics used = BufferPool::statistics();
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                // A picture whenever there is a recipe: no render ran out of memory.
                EXPECT_EQ(full.isNull(), result.isNull());
                EXPECT_EQ(preview.isNull(), result.isNull());
                // Working memory and the pixels computed (the pool's total) stay within a small
                // multiple of what a few tiles need; today's worst case is a shrink to a
                // thousandth, which reads a 1000 x 1000 block for its one pixel.
                EXPECT_LT(used.peak - before, 64 * mb);
                EXPECT_LT(used.acquired, 256 * mb);
                // Not a speed target: a guard against a value that makes a render hang (the whole
                // sweep takes under a second).
                EXPECT_LT(seconds, 10.0);
                ++renders;
            }
        }
    }
    EXPECT_GT(renders, 300);
}

TEST(Limits, RunningOutOfMemoryFailsTheRenderWithAMessageAndLeavesNothingBroken)
{
    const std::size_t liveBefore = BufferPool::statistics().live;
    {
        const Image picture = imageFromQImage(testimages::pattern(300, 200));
        // The glass distortion reads its texture through a cache that is filled during the render.
        auto glass = Filter::filterWithName("CIGlassDistortion");
        glass->setValue(QVariant::fromValue(picture), "inputImage");
        glass->setValue(QVariant::fromValue(picture), "inputTexture");
        const Image result = glass->outputImage();
        ASSERT_FALSE(result.isNull());
        {
            const Budget tiny(64 * 1024);
            Warnings warnings;
            EXPECT_TRUE(renderToQImage(result, picture.extent()).isNull());
            EXPECT_TRUE(Renderer::render(result, PixelRect::covering(picture.extent())).isEmpty());
            EXPECT_FALSE(Renderer::renderTiles(result, PixelRect::covering(picture.extent()), [](PixelBuffer &) {}));
            ASSERT_FALSE(Warnings::logged.isEmpty());
            EXPECT_TRUE(Warnings::logged.last().contains("not enough memory")) << Warnings::logged.last().toStdString();
        }
        // With memory back, the same recipe renders, and as it would have without the failure.
        const QImage after = renderToQImage(result, picture.extent());
        ASSERT_FALSE(after.isNull());
        glass->setValue(QVariant::fromValue(imageFromQImage(testimages::pattern(300, 200))), "inputTexture");
        EXPECT_EQ(testimages::maxChannelDifference(after, renderToQImage(glass->outputImage(), picture.extent())), 0);
    }
    // Every block the failed and the good renders took was given back.
    EXPECT_EQ(BufferPool::statistics().live, liveBefore);
}

TEST(Limits, RectanglesNeedFourComponentsAndAreLimitedByTheirEdges)
{
    const QImage src = testimages::pattern(40, 30);
    auto crop = Filter::filterWithName("CICrop");
    crop->setValue(QVariant::fromValue(imageFromQImage(src)), "inputImage");
    // A rectangle far larger than any picture still contains this one: nothing is cut.
    crop->setValue(QVariant::fromValue(Vector{-1e9, -1e9, 1e10, 1e10}), "inputRectangle");
    EXPECT_EQ(crop->outputImage().extent(), Rect(0, 0, 40, 30));
    EXPECT_EQ(testimages::maxChannelDifference(qimageFromImage(crop->outputImage()), src), 0);
    // Far edges on one side only: the near edges stay exact.
    crop->setValue(QVariant::fromValue(Vector{10, -1e12, 1e12, 1e12 + 20}), "inputRectangle");
    EXPECT_EQ(crop->outputImage().extent(), Rect(10, 0, 30, 20));
    // Fewer or more than four components are not a rectangle: refused, the value stays.
    for (const Vector &wrong : {Vector{1, 2}, Vector{1, 2, 3}, Vector{0, 0, 5, 5, 9}}) {
        crop->setValue(QVariant::fromValue(wrong), "inputRectangle");
        EXPECT_EQ(crop->value("inputRectangle").value<Vector>().count(), 4u);
        EXPECT_EQ(crop->outputImage().extent(), Rect(10, 0, 30, 20));
    }
}
