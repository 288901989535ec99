// The engine at the edges of what it accepts: every input at its declared limits or far beyond
// any picture, and working memory that runs out.
#include <QtGlobal>
#include <gtest/gtest.h>

#include "imaging/bufferpool.h"
#include "imaging/filter.h"
#include "imaging/qimageadapter.h"
#include "imaging/renderer.h"
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

} // namespace

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
