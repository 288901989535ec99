#include "effecttestsupport.h"

#include "effects/hilbertlineseffect.h"
#include "effects/simpleeffects.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

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
    void drawLines(const QLineF *lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            this->lines.push_back(lines[i]);
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    std::vector<QLineF> lines;
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

// Each routine reports what it drew: the count it returns must match the shapes that reached the
// paint device (flowers are six discs, a light ray ten, a spinning square a fill and four edges).
TEST(SimpleShapes, EachRoutineReportsTheShapesItDrew)
{
    using Routine = int (simpleEffects::*)(QPainter &, const QRectF &);
    struct Case
    {
        const char *name;
        Routine routine;
        int objects;       // the effect's object count
        int expected;      // what the routine should report
        int shapesEach;    // shapes each reported object consists of
    };
    const Case cases[] = {
        {"rectangles", &simpleEffects::rectangles, 10, 10, 1},
        {"circles", &simpleEffects::circles, 7, 7, 1},
        {"flowers", &simpleEffects::flowers, 10, 40, 6},
        {"balls", &simpleEffects::balls, 10, 80, 1},
        {"lights", &simpleEffects::lights, 200, 100, 10},
        {"lights of one", &simpleEffects::lights, 1, 0, 10},
        {"spinning squares", &simpleEffects::spinningSquares, 6, 6, 5},
        {"no flowers", &simpleEffects::flowers, 0, 0, 6},
        {"no squares", &simpleEffects::spinningSquares, 0, 0, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::srand(11);
        srandom(11);
        auto effect = simpleWith(c.objects);
        RecordingDevice device;
        QPainter painter(&device);
        const int reported = (effect.get()->*c.routine)(painter, QRectF(0, 0, 300, 200));
        painter.end();
        EXPECT_EQ(reported, c.expected);
        EXPECT_EQ(int(device.engine.shapes.size()), reported * c.shapesEach);
    }
    // A rendering narrower than a pixel has no room for balls.
    auto effect = simpleWith(10);
    RecordingDevice device;
    QPainter painter(&device);
    EXPECT_EQ(effect->balls(painter, QRectF(0, 0, 0.5, 10)), 0);
    painter.end();
    EXPECT_TRUE(device.engine.shapes.empty());
}

// A Hilbert curve of level n walks a 2^n x 2^n grid with steps of one cell, visiting every cell
// exactly once. A wrong turn anywhere makes the walk leave the grid or come back to a cell.
TEST(HilbertShapes, TheCurveVisitsEveryCellOfItsGridOnce)
{
    for (int level : {1, 2, 3, 5}) {
        SCOPED_TRACE(level);
        std::srand(1);
        auto effect = std::make_unique<hilbertLinesEffect>();
        effect->awakeFromNib();
        effect->setLinesLevel(level);
        RecordingDevice device;
        QPainter painter(&device);
        const int segments = effect->drawHilbertRect(painter, QRectF(0, 0, 300, 200));
        painter.end();
        const std::vector<QLineF> &lines = device.engine.lines;
        const int side = 1 << level;
        ASSERT_EQ(segments, side * side - 1);
        ASSERT_EQ(int(lines.size()), segments);
        const double step = effect->stepLength();
        ASSERT_GT(step, 0);
        const QPointF origin = effect->penStart();
        EXPECT_EQ(lines.front().p1(), origin);
        std::set<std::pair<int, int>> visited{{0, 0}};
        for (size_t i = 0; i < lines.size(); ++i) {
            const QLineF &line = lines[i];
            if (i > 0) {
                EXPECT_EQ(line.p1(), lines[i - 1].p2()) << "segment " << i << " does not continue the walk";
            }
            // One step along one axis.
            EXPECT_DOUBLE_EQ(std::abs(line.dx()) + std::abs(line.dy()), step) << "segment " << i;
            EXPECT_TRUE(line.dx() == 0 || line.dy() == 0) << "segment " << i;
            const int cx = int(std::lround((line.x2() - origin.x()) / step));
            const int cy = int(std::lround((line.y2() - origin.y()) / step));
            EXPECT_TRUE(cx >= 0 && cx < side && cy >= 0 && cy < side) << "segment " << i << " leaves the grid";
            EXPECT_TRUE(visited.insert({cx, cy}).second) << "segment " << i << " comes back to a cell";
        }
        EXPECT_EQ(int(visited.size()), side * side);
    }
}
