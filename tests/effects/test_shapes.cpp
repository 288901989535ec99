#include "effecttestsupport.h"

#include "effects/simpleeffects.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A paint device that records what is filled and what is stroked instead of drawing it.
class RecordingEngine : public QPaintEngine
{
public:
    struct Shape
    {
        bool filled = false;
        bool stroked = false;
        QPainterPath path;
    };
    std::vector<Shape> shapes;

    // Every feature, so that the painter hands over shapes instead of emulating them with pixmaps.
    RecordingEngine() : QPaintEngine(AllFeatures) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyBrush)
            m_brush = state.brush();
    }
    void drawPath(const QPainterPath &path) override { record(path); }
    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            QPainterPath p;
            p.addRect(rects[i]);
            record(p);
        }
    }
    void drawEllipse(const QRectF &r) override
    {
        QPainterPath p;
        p.addEllipse(r);
        record(p);
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    Type type() const override { return User; }

private:
    void record(const QPainterPath &path)
    {
        shapes.push_back({m_brush.style() != Qt::NoBrush, m_pen.style() != Qt::NoPen, path});
    }
    QPen m_pen;
    QBrush m_brush;
};

class RecordingDevice : public QPaintDevice
{
public:
    RecordingEngine engine;
    QPaintEngine *paintEngine() const override { return const_cast<RecordingEngine *>(&engine); }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return 300;
        case PdmHeight: return 200;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 72;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        default: return 0;
        }
    }
};

std::unique_ptr<simpleEffects> simpleWith(int count)
{
    auto effect = std::make_unique<simpleEffects>();
    effect->awakeFromNib();
    effect->seObjectCount(count);
    return effect;
}

int countFilled(const RecordingEngine &e)
{
    int n = 0;
    for (const auto &s : e.shapes)
        n += s.filled && !s.stroked;
    return n;
}

int countStroked(const RecordingEngine &e)
{
    int n = 0;
    for (const auto &s : e.shapes)
        n += s.stroked && !s.filled;
    return n;
}

} // namespace

// The four alternating kinds draw filled shapes at even indices and outlines at odd ones.
TEST(SimpleShapes, FilledAndOutlinedAlternate)
{
    using Routine = int (simpleEffects::*)(QPainter &, const QRectF &);
    for (Routine routine : {&simpleEffects::rectangles, &simpleEffects::circles, &simpleEffects::bezierPaths,
                            &simpleEffects::triangles}) {
        std::srand(3);
        auto effect = simpleWith(10);
        RecordingDevice device;
        QPainter painter(&device);
        (effect.get()->*routine)(painter, QRectF(0, 0, 300, 200));
        painter.end();
        ASSERT_EQ(device.engine.shapes.size(), 10u);
        EXPECT_EQ(countFilled(device.engine), 5);
        EXPECT_EQ(countStroked(device.engine), 5);
        EXPECT_TRUE(device.engine.shapes[0].filled);
        EXPECT_TRUE(device.engine.shapes[1].stroked);
    }
}

TEST(SimpleShapes, StrokedTrianglesStayOpen)
{
    std::srand(5);
    auto effect = simpleWith(4);
    RecordingDevice device;
    QPainter painter(&device);
    effect->triangles(painter, QRectF(0, 0, 300, 200));
    painter.end();
    ASSERT_EQ(device.engine.shapes.size(), 4u);
    // Filled: move, two lines, and the closing line back; stroked: move and two lines only.
    EXPECT_EQ(device.engine.shapes[0].path.elementCount(), 4);
    EXPECT_EQ(device.engine.shapes[1].path.elementCount(), 3);
}

TEST(SimpleShapes, FlowersAreFivePetalsAndACentreOfOneSize)
{
    std::srand(9);
    auto effect = simpleWith(30);
    RecordingDevice device;
    QPainter painter(&device);
    EXPECT_EQ(effect->flowers(painter, QRectF(0, 0, 300, 200)), 120);
    painter.end();
    ASSERT_EQ(device.engine.shapes.size(), 120u * 6);
    for (const auto &s : device.engine.shapes) {
        EXPECT_NEAR(s.path.boundingRect().width(), 3.0, 1e-4);
        EXPECT_TRUE(s.filled);
    }
}

TEST(SimpleShapes, LightsRetraceTheirDirectionsAfterThirtyRays)
{
    std::srand(1);
    auto effect = simpleWith(200);
    RecordingDevice device;
    QPainter painter(&device);
    EXPECT_EQ(effect->lights(painter, QRectF(0, 0, 300, 200)), 100);
    painter.end();
    ASSERT_EQ(device.engine.shapes.size(), 1000u);
    // Disc j of ray k + 30 lies where disc j of ray k lies.
    const QRectF a = device.engine.shapes[3 * 10 + 4].path.boundingRect();
    const QRectF b = device.engine.shapes[33 * 10 + 4].path.boundingRect();
    EXPECT_NEAR(a.x(), b.x(), 1e-3);
    EXPECT_NEAR(a.y(), b.y(), 1e-3);
    EXPECT_NEAR(a.width(), 20, 1e-4);
}
