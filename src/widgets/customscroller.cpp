#include "widgets/customscroller.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

namespace {

// The pictures every bar draws with, read once from the resources. Vertical pictures are drawn
// top to bottom as they are; in the horizontal ones the "down" end is the left one.
struct ScrollerArt
{
    QImage knobTop, knobMid, knobBot;     // vertical knob
    QImage slotTop, slotMid, slotBot;     // vertical slot
    QImage up, down, upOn, downOn;        // vertical arrows, normal and pressed
    QImage left, right, leftOn, rightOn;  // horizontal arrows
    QImage knobLeft, knobMiddle, knobRight;
    QImage slotLeft, slotMiddle, slotRight;
};

QImage loadPart(const char *name)
{
    const QString path = QStringLiteral(":/images/%1.png").arg(QLatin1String(name));
    QImage image(path);
    if (image.isNull())
        qWarning("CustomScroller: missing image %s", qPrintable(path));
    return image;
}

const ScrollerArt &art()
{
    static const ScrollerArt parts{
        loadPart("knob_top"), loadPart("knob_mid"), loadPart("knob_bot"),
        loadPart("srcl_top"), loadPart("scrl_mid"), loadPart("scrl_bot"),
        loadPart("btn_up"), loadPart("btn_down"), loadPart("btn_up_on"), loadPart("btn_down_on"),
        loadPart("off_pointer_down"), loadPart("off_pointer_up"), loadPart("on_pointer_down"), loadPart("on_pointer_up"),
        loadPart("down_slider_part"), loadPart("middle_slider_part"), loadPart("up_slider_part"),
        loadPart("down_round_side"), loadPart("middle_round_side"), loadPart("up_round_side")};
    return parts;
}

// Length of a picture along the bar and its thickness across it.
int along(const QImage &image, bool vertical) { return vertical ? image.height() : image.width(); }
int across(const QImage &image, bool vertical) { return vertical ? image.width() : image.height(); }

// Draws start cap, stretched middle and end cap into `rect` along the bar. When the rectangle is
// shorter than both caps together, the caps share its length in proportion.
void drawThreePart(QPainter &painter, const QRect &rect, const QImage &start, const QImage &middle,
                   const QImage &end, bool vertical)
{
    if (rect.isEmpty())
        return;
    const int length = vertical ? rect.height() : rect.width();
    int a = along(start, vertical), b = along(end, vertical);
    if (a + b > length && a + b > 0) {
        a = length * a / (a + b);
        b = length - a;
    }
    auto piece = [&](int offset, int size) {
        return vertical ? QRect(rect.left(), rect.top() + offset, rect.width(), size)
                        : QRect(rect.left() + offset, rect.top(), size, rect.height());
    };
    painter.drawImage(piece(0, a), start);
    if (length - a - b > 0)
        painter.drawImage(piece(a, length - a - b), middle);
    painter.drawImage(piece(length - b, b), end);
}

} // namespace

// Runs the standard scroll bar's mouse handling on the custom geometry: it answers the bar's
// thickness and the parts' rectangles (the standard hit test asks for them through this style).
// Every CustomScroller uses the one instance, which lives as long as the application.
class ScrollerStyle : public QProxyStyle
{
public:
    static ScrollerStyle *shared()
    {
        static QPointer<ScrollerStyle> style;
        if (!style) {
            style = new ScrollerStyle;
            style->setParent(qApp);
        }
        return style;
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (auto *bar = qobject_cast<const CustomScroller *>(widget)) {
            if (metric == PM_ScrollBarExtent)
                return CustomScroller::scrollerWidth();
            if (metric == PM_ScrollBarSliderMin)
                return int(bar->isVertical() ? bar->minKnobHeight() : bar->minKnobWidth());
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override
    {
        const auto *bar = qobject_cast<const CustomScroller *>(widget);
        const auto *slider = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control != CC_ScrollBar || !bar || !slider)
            return QProxyStyle::subControlRect(control, option, part, widget);
        const CustomScroller::Layout l =
            bar->layoutFor(slider->minimum, slider->maximum, slider->pageStep, slider->sliderPosition);
        switch (part) {
        case SC_ScrollBarAddLine: return l.incrementArrow;
        case SC_ScrollBarSubLine: return l.decrementArrow;
        case SC_ScrollBarAddPage: return l.incrementPage;
        case SC_ScrollBarSubPage: return l.decrementPage;
        // The knob takes the slot's whole thickness for the pointer, not only the drawn knob's.
        case SC_ScrollBarSlider: return l.knobBand;
        // The knob's travel: the dragging arithmetic maps it onto the value range.
        case SC_ScrollBarGroove: return l.groove;
        default: return QRect();
        }
    }
};

CustomScroller::CustomScroller(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    const ScrollerArt &a = art();
    m_minKnobHeight = float(a.knobBot.height() + a.knobMid.height() + a.knobTop.height() + 10);
    m_minKnobWidth = float(a.knobLeft.width() + a.knobMiddle.width() + a.knobRight.width() + 10);
    setStyle(ScrollerStyle::shared());
}

CustomScroller::~CustomScroller() = default;

int CustomScroller::scrollerWidth()
{
    const int width = art().slotMid.width();
    return width > 0 ? width : 15;
}

double CustomScroller::knobProportion() const
{
    const double total = double(maximum()) - minimum() + pageStep();
    return total > 0 ? std::clamp(pageStep() / total, 0.0, 1.0) : 1.0;
}

double CustomScroller::floatValue() const
{
    const double range = double(maximum()) - minimum();
    return range > 0 ? std::clamp((sliderPosition() - minimum()) / range, 0.0, 1.0) : 0.0;
}

CustomScroller::Layout CustomScroller::layoutFor(int minimum, int maximum, int pageStep, int position) const
{
    const bool vertical = isVertical();
    const ScrollerArt &a = art();
    const int length = vertical ? height() : width();
    const int thickness = vertical ? width() : height();
    auto place = [vertical](int offset, int size, int inset, int thick) {
        return vertical ? QRect(inset, offset, thick, size) : QRect(offset, inset, size, thick);
    };

    Layout l;
    // Both arrows together at the far end, increment arrow last.
    const QImage &inc = vertical ? a.down : a.right;
    const QImage &dec = vertical ? a.up : a.left;
    int slotLength = length;
    if (length >= along(inc, vertical) + along(dec, vertical) + 1) {
        const int incLength = along(inc, vertical), decLength = along(dec, vertical);
        l.incrementArrow = place(length - incLength, incLength, (thickness - across(inc, vertical)) / 2, across(inc, vertical));
        l.decrementArrow = place(length - incLength - decLength, decLength, (thickness - across(dec, vertical)) / 2,
                                 across(dec, vertical));
        slotLength = length - incLength - decLength;
    }
    l.slot = place(0, slotLength, 0, thickness);

    const double range = double(maximum) - minimum;
    const double proportion = range + pageStep > 0 ? std::clamp(pageStep / (range + pageStep), 0.0, 1.0) : 1.0;
    const double fraction = range > 0 ? std::clamp((position - minimum) / range, 0.0, 1.0) : 0.0;
    const int minLength = int(vertical ? m_minKnobHeight : m_minKnobWidth);
    if (slotLength >= minLength && slotLength > 6) {
        const int knobLength = std::min(slotLength, std::max(minLength, int(std::lround(slotLength * proportion))));
        const int start = 5 + int(std::lround((slotLength - knobLength) * fraction));
        const int inset = (across(vertical ? a.slotMid : a.slotMiddle, vertical)
                           - across(vertical ? a.knobMid : a.knobMiddle, vertical)) / 2;
        const int drawn = knobLength - 6;
        l.knob = place(start, drawn, inset, std::max(1, thickness - 2 * inset));
        l.knobBand = place(start, drawn, 0, thickness);
        l.groove = place(5, slotLength - 6, 0, thickness);
        l.decrementPage = place(0, start, 0, thickness);
        l.incrementPage = place(start + drawn, slotLength - start - drawn, 0, thickness);
    } else {
        // No room for a knob: the two halves of the slot page up and down.
        l.groove = l.slot;
        l.decrementPage = place(0, slotLength / 2, 0, thickness);
        l.incrementPage = place(slotLength / 2, slotLength - slotLength / 2, 0, thickness);
    }
    return l;
}

CustomScroller::Layout CustomScroller::currentLayout() const
{
    return layoutFor(minimum(), maximum(), pageStep(), sliderPosition());
}

QRect CustomScroller::rectForPart(Part part) const
{
    const Layout l = currentLayout();
    switch (part) {
    case Knob: return l.knob;
    case DecrementLine: return l.decrementArrow;
    case IncrementLine: return l.incrementArrow;
    case KnobSlot: return l.slot;
    default: return QRect();
    }
}

void CustomScroller::drawKnobSlot(QPainter &painter, const QRect &slot) const
{
    const ScrollerArt &a = art();
    if (isVertical())
        drawThreePart(painter, slot, a.slotTop, a.slotMid, a.slotBot, true);
    else
        drawThreePart(painter, slot, a.slotLeft, a.slotMiddle, a.slotRight, false);
}

void CustomScroller::drawKnob(QPainter &painter, const QRect &knob) const
{
    const ScrollerArt &a = art();
    if (isVertical())
        drawThreePart(painter, knob, a.knobTop, a.knobMid, a.knobBot, true);
    else
        drawThreePart(painter, knob, a.knobLeft, a.knobMiddle, a.knobRight, false);
}

void CustomScroller::drawArrow(QPainter &painter, const QRect &rect, bool increment, bool highlight) const
{
    if (rect.isEmpty())
        return;
    const ScrollerArt &a = art();
    const QImage &image = isVertical() ? (increment ? (highlight ? a.downOn : a.down) : (highlight ? a.upOn : a.up))
                                       : (increment ? (highlight ? a.rightOn : a.right) : (highlight ? a.leftOn : a.left));
    painter.drawImage(rect, image);
}

void CustomScroller::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.3f, 0.3f, 0.3f));
    // A bar with nothing to scroll shows its background only.
    if (knobProportion() >= 1.0)
        return;
    const Layout l = currentLayout();
    drawKnobSlot(painter, l.slot);
    drawKnob(painter, l.knob);
    drawArrow(painter, l.incrementArrow, true, m_hiliteNext);
    drawArrow(painter, l.decrementArrow, false, m_hilitePrev);
}

void CustomScroller::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && knobProportion() < 1.0) {
        const QPoint pos = event->position().toPoint();
        const Layout l = currentLayout();
        m_hiliteNext = l.incrementArrow.contains(pos);
        m_hilitePrev = l.decrementArrow.contains(pos);
        if (m_hiliteNext || m_hilitePrev)
            update();
    }
    QScrollBar::mousePressEvent(event);
}

void CustomScroller::mouseReleaseEvent(QMouseEvent *event)
{
    QScrollBar::mouseReleaseEvent(event);
    trackScrollButtons();
}

void CustomScroller::trackScrollButtons()
{
    if (!m_hiliteNext && !m_hilitePrev)
        return;
    m_hiliteNext = m_hilitePrev = false;
    update();
}
