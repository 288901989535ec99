#include "geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// One axis of the springs-and-struts rule. `low` is the margin before the child (left or bottom),
// `high` the one after it. Parts that are negative (a child sticking out of its parent) take no
// share: weighting by them would move the child the wrong way.
void resizeAxis(double &origin, double &size, double oldParent, double newParent, bool lowFlexible,
                bool sizeFlexible, bool highFlexible)
{
    const double delta = newParent - oldParent;
    if (delta == 0.0) return;
    const double low = std::max(origin, 0.0);
    const double mid = std::max(size, 0.0);
    const double high = std::max(oldParent - (origin + size), 0.0);

    const double weightLow = lowFlexible ? low : 0.0;
    const double weightMid = sizeFlexible ? mid : 0.0;
    const double weightHigh = highFlexible ? high : 0.0;
    const double total = weightLow + weightMid + weightHigh;
    const int flexibleCount = int(lowFlexible) + int(sizeFlexible) + int(highFlexible);
    if (flexibleCount == 0) return;

    double shareLow, shareMid;
    if (total > 0.0) {
        shareLow = delta * weightLow / total;
        shareMid = delta * weightMid / total;
    } else {
        shareLow = lowFlexible ? delta / flexibleCount : 0.0;
        shareMid = sizeFlexible ? delta / flexibleCount : 0.0;
    }
    origin += shareLow;
    size += shareMid;
}

} // namespace

QRectF Geometry::toTopLeft(const QRectF &frame, double parentHeight)
{
    return QRectF(frame.x(), parentHeight - frame.y() - frame.height(), frame.width(), frame.height());
}

QRectF Geometry::toBottomLeft(const QRectF &rect, double parentHeight)
{
    return toTopLeft(rect, parentHeight);
}

QRect Geometry::widgetGeometry(const QRectF &frame, double parentHeight)
{
    const QRectF r = toTopLeft(frame, parentHeight);
    const int left = int(std::lround(r.left()));
    const int top = int(std::lround(r.top()));
    const int right = int(std::lround(r.left() + r.width()));
    const int bottom = int(std::lround(r.top() + r.height()));
    return QRect(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
}

QRectF Geometry::resizedFrame(const QRectF &frame, const QSizeF &oldParentSize,
                              const QSizeF &newParentSize, unsigned mask)
{
    double x = frame.x(), y = frame.y(), width = frame.width(), height = frame.height();
    resizeAxis(x, width, oldParentSize.width(), newParentSize.width(), mask & NSViewMinXMargin,
               mask & NSViewWidthSizable, mask & NSViewMaxXMargin);
    resizeAxis(y, height, oldParentSize.height(), newParentSize.height(), mask & NSViewMinYMargin,
               mask & NSViewHeightSizable, mask & NSViewMaxYMargin);
    // A parent that shrinks far enough would make the size negative; a view cannot be smaller
    // than nothing.
    return QRectF(x, y, std::max(width, 0.0), std::max(height, 0.0));
}

std::optional<QRect> Geometry::fittedFrame(const QRect &frame, const QList<QRect> &screens, const QSize &minimum)
{
    if (frame.isEmpty())
        return std::nullopt;
    // Areas in 64 bits: a stored frame may be far larger than any screen.
    auto area = [](const QRect &r) { return r.isEmpty() ? qint64(0) : qint64(r.width()) * r.height(); };
    const QRect *best = nullptr;
    qint64 bestOverlap = 0;
    for (const QRect &screen : screens) {
        const qint64 overlap = area(screen.intersected(frame));
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = &screen;
        }
    }
    if (!best || best->width() < minimum.width() || best->height() < minimum.height())
        return std::nullopt;
    const QSize size = frame.size().boundedTo(best->size()).expandedTo(minimum);
    const int x = std::clamp(frame.x(), best->left(), best->left() + best->width() - size.width());
    const int y = std::clamp(frame.y(), best->top(), best->top() + best->height() - size.height());
    return QRect(QPoint(x, y), size);
}
