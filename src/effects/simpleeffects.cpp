#include "effects/simpleeffects.h"

#include "effects/poolthreadpainting.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

double u()
{
    return DrawnEffect::unitRandom();
}

// x is drawn first, then y.
QPointF randomPoint(const QRectF &r)
{
    const double x = r.left() + r.width() * u();
    const double y = r.top() + r.height() * u();
    return {x, y};
}

// Four draws: red, green, blue, alpha.
QColor randomColor()
{
    const double red = u();
    const double green = u();
    const double blue = u();
    const double alpha = u();
    return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha));
}

int randomStrokeWidth()
{
    return DrawnEffect::drawRand() % 10 + 2;
}

void fillWith(QPainter &p, const QPainterPath &path, const QColor &c)
{
    p.fillPath(path, c);
}

void strokeWith(QPainter &p, const QPainterPath &path, const QColor &c, double width)
{
    p.strokePath(path, QPen(c, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
}

} // namespace

void simpleEffects::awakeFromNib()
{
    setName(tr("Simple Objects"));
    setTips(tr("Simple Objects Generator"));
    setDefaults();
}

QStringList simpleEffects::objectTypeTitles()
{
    return {tr("Rects"), tr("Circles"), tr("Bezier Paths"), tr("Triangles"),
            tr("Flowers"), tr("Balls"), tr("Lights"), tr("Spin Squares")};
}

std::vector<DrawnSetting> simpleEffects::settings() const
{
    using C = DrawnSetting::Control;
    std::vector<DrawnSetting> list{
        {.key = QStringLiteral("drawObj"), .member = member(&simpleEffects::m_drawObj), .defaultValue = int(Rects),
         .control = C::PopUp, .label = tr("Object type:"), .y = 196, .items = objectTypeTitles()},
    };
    const auto common = commonSettings(QColor::fromRgbF(1, 1, 1, 0.5), 50, tr("Objects opacity:"), 167, 142, 120);
    list.insert(list.end(), common.begin(), common.end());
    list.insert(list.end(), {
        {.key = QStringLiteral("object_count"), .member = member(&simpleEffects::m_object_count), .defaultValue = 30,
         .control = C::Slider, .label = tr("Objects count:"), .y = 98, .min = 10, .max = 200},
        generateButton(55),
    });
    return list;
}

void simpleEffects::drawMyself(QPainter &painter, const QRectF &rect)
{
    switch (m_drawObj) {
    case Rects: rectangles(painter, rect); break;
    case Circles: circles(painter, rect); break;
    case BezierPaths: bezierPaths(painter, rect); break;
    case Triangles: triangles(painter, rect); break;
    // Hundreds to thousands of small discs: drawn on a pool thread (see poolthreadpainting.h).
    case Flowers: drawOnPoolThread([&] { flowers(painter, rect); }); break;
    case Balls: balls(painter, rect); break; // painted on pool threads by bands
    case Lights: drawOnPoolThread([&] { lights(painter, rect); }); break;
    case SpinSquares: spinningSquares(painter, rect); break;
    default: break; // an unknown type (from stored settings) draws nothing
    }
}

int simpleEffects::rectangles(QPainter &p, const QRectF &rect)
{
    const int n = m_object_count;
    int drawn = 0;
    for (int i = 0; i < n; ++i, ++drawn) {
        const QColor c = randomColor();
        if (i % 2 == 0) {
            const QPointF p1 = randomPoint(rect);
            const QPointF p2 = randomPoint(rect);
            p.fillRect(QRectF(p1, p2).normalized(), c);
        } else {
            const int width = randomStrokeWidth();
            const QPointF p1 = randomPoint(rect);
            const QPointF p2 = randomPoint(rect);
            QPainterPath path;
            path.addRect(QRectF(p1, p2).normalized());
            strokeWith(p, path, c, width);
        }
    }
    return drawn;
}

int simpleEffects::circles(QPainter &p, const QRectF &rect)
{
    const int n = m_object_count;
    int drawn = 0;
    for (int i = 0; i < n; ++i, ++drawn) {
        const QPointF p1 = randomPoint(rect);
        const QPointF p2 = randomPoint(rect);
        const QRectF box(p1, p2);
        // The radius is the box's smaller side, so circles reach beyond their box.
        const float radius = std::min(std::fabs(float(box.width())), std::fabs(float(box.height())));
        QPainterPath path;
        path.addEllipse(box.center(), radius, radius);
        const QColor c = randomColor();
        if (i % 2 == 0)
            fillWith(p, path, c);
        else
            strokeWith(p, path, c, randomStrokeWidth());
    }
    return drawn;
}

int simpleEffects::bezierPaths(QPainter &p, const QRectF &rect)
{
    const int n = m_object_count;
    int drawn = 0;
    for (int i = 0; i < n; ++i, ++drawn) {
        const int segments = drawRand() % 8;
        QPainterPath path;
        path.moveTo(randomPoint(rect));
        for (int j = 0; j <= segments; ++j) {
            const QPointF e = randomPoint(rect);
            if (j % 2 == 0) {
                path.lineTo(e);
            } else {
                const QPointF c1 = randomPoint(rect);
                const QPointF c2 = randomPoint(rect);
                path.cubicTo(c1, c2, e);
            }
        }
        const QColor c = randomColor();
        if (i % 2 == 0) {
            path.closeSubpath();
            fillWith(p, path, c);
        } else {
            strokeWith(p, path, c, randomStrokeWidth());
        }
    }
    return drawn;
}

int simpleEffects::triangles(QPainter &p, const QRectF &rect)
{
    const int n = m_object_count;
    int drawn = 0;
    for (int i = 0; i < n; ++i, ++drawn) {
        QPainterPath path;
        path.moveTo(randomPoint(rect));
        path.lineTo(randomPoint(rect));
        path.lineTo(randomPoint(rect));
        const QColor c = randomColor();
        if (i % 2 == 0) {
            path.closeSubpath();
            fillWith(p, path, c);
        } else {
            // Left open: a stroked triangle shows two of its sides.
            strokeWith(p, path, c, randomStrokeWidth());
        }
    }
    return drawn;
}

int simpleEffects::flowers(QPainter &p, const QRectF &rect)
{
    if (m_object_count <= 0)
        return 0;
    const float W = float(rect.width()), H = float(rect.height());
    const float r = (std::isnan(W) ? H : std::max(W, H)) / 100.0f;
    const int count = 4 * m_object_count;
    int drawn = 0;
    p.setPen(Qt::NoPen);
    for (int k = 0; k < count; ++k, ++drawn) {
        const float cx = float(u() * W);
        const float cy = float(u() * H);
        p.setBrush(randomColor());
        // Petal squares are placed by their lower-left corner, not centred on the petal's angle.
        for (const int degrees : {0, 75, 150, 225, 300}) {
            const double a = degrees * M_PI / 180.0;
            p.drawEllipse(QRectF(cx + std::cos(a) * r, cy + std::sin(a) * r, r, r));
        }
        p.setBrush(randomColor());
        p.drawEllipse(QRectF(cx, cy, r, r));
    }
    return drawn;
}

int simpleEffects::balls(QPainter &p, const QRectF &rect)
{
    const int Wi = int(rect.width());
    if (Wi < 1 || m_object_count <= 0)
        return 0;
    const int count = 8 * m_object_count;
    // The discs first, with their random numbers in order; then painted, shared between the
    // processors by bands of rows.
    struct Disc
    {
        QRectF box;
        QColor color;
    };
    std::vector<Disc> discs;
    discs.reserve(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        const QPointF pt = randomPoint(rect);
        const QColor color = randomColor();
        const long a = drawRandom() % Wi;
        const long b = drawRandom() % Wi;
        const float dx = float(a) - float(pt.x()), dy = float(b) - float(pt.y());
        const float s = std::sqrt(dx * dx + dy * dy) / 10.0f;
        discs.push_back({QRectF(pt.x(), pt.y(), s, s), color});
    }
    paintInBands(p, [&](QPainter &band, const QRectF &shown) {
        band.setPen(Qt::NoPen);
        // A disc's antialiased edge stays within a pixel of its box.
        const QRectF reach = shown.adjusted(-1, -1, 1, 1);
        for (const Disc &d : discs) {
            if (d.box.right() < reach.left() || d.box.left() > reach.right() || d.box.bottom() < reach.top() ||
                d.box.top() > reach.bottom())
                continue;
            band.setBrush(d.color);
            band.drawEllipse(d.box);
        }
    });
    return count;
}

int simpleEffects::lights(QPainter &p, const QRectF &rect)
{
    const int rays = m_object_count / 2;
    if (rays < 1)
        return 0;
    const float cx = float(rect.width() * 0.5), cy = float(rect.height() * 0.5);
    int drawn = 0;
    p.setPen(Qt::NoPen);
    for (int k = 0; k < rays; ++k, ++drawn) {
        // 12 degrees per ray: the directions repeat after 30 rays.
        const double angle = 2.0 * k * M_PI / 30.0;
        const float dx = float(std::cos(angle) * cx), dy = float(std::sin(angle) * cy);
        p.setBrush(randomColor());
        for (int j = 0; j < 10; ++j) {
            const double f = (j + 2) / 10.0;
            p.drawEllipse(QRectF(cx + f * dx, cy + f * dy, 20, 20));
        }
    }
    return drawn;
}

int simpleEffects::spinningSquares(QPainter &p, const QRectF &rect)
{
    const int n = m_object_count;
    if (n <= 0)
        return 0;
    const double W = rect.width(), H = rect.height();
    const QPointF centre(rect.x() + W / 2, rect.y() + H / 2);
    const float m = std::isnan(float(W)) ? float(H) : std::max(float(W), float(H));
    QRectF square(centre.x() - m, centre.y() - m, 2.0 * m, 2.0 * m);
    const float step = (m - 5.0f) / float(n);
    double angle = 0;
    // Solid squares: antialiasing would only soften edges that the next square covers anyway,
    // and doubles the cost of each full-size fill.
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    int drawn = 0;
    for (int k = 0; k < n; ++k, ++drawn) {
        // The rotations accumulate: square k is turned by 0 + 1 + ... + k degrees.
        QTransform t;
        t.translate(W / 2, H / 2);
        t.rotate(angle);
        t.translate(-W / 2, -H / 2);
        p.setWorldTransform(t, true);
        auto channel = [] { return (drawRandom() % 255) / 255.0; };
        const double r1 = channel(), g1 = channel(), b1 = channel();
        p.fillRect(square, QColor::fromRgbF(float(r1), float(g1), float(b1), 1.0f));
        const double r2 = channel(), g2 = channel(), b2 = channel();
        const QColor frame = QColor::fromRgbF(float(r2), float(g2), float(b2), 1.0f);
        // A one-pixel outline inside the square's edges.
        p.fillRect(QRectF(square.left(), square.top(), square.width(), 1), frame);
        p.fillRect(QRectF(square.left(), square.bottom() - 1, square.width(), 1), frame);
        p.fillRect(QRectF(square.left(), square.top(), 1, square.height()), frame);
        p.fillRect(QRectF(square.right() - 1, square.top(), 1, square.height()), frame);
        square.adjust(step, step, -step, -step);
        angle += 1;
    }
    p.restore();
    return drawn;
}
