#pragma once

#include <QImage>
#include <QScrollBar>

// The scroll bar of the control and favourites areas, drawn from the application's own images
// instead of the desktop's look: a grey bar with a recessed slot, a violet knob and both arrows
// together at the far end (bottom or right). Slot and knob are three-part images: two end caps at
// their natural size and a middle piece stretched between them.
//
// Geometry along the bar (the slot is the bar minus the two arrows):
//   knob length = max(minimum knob length, round(slot length * knobProportion))
//   knob start  = slot start + 5 + round((slot length - knob length) * floatValue)
//   drawn knob  = knob length - 6 long, inset across by (slot thickness - knob thickness) / 2
// The bar's mouse handling (dragging the knob, paging, the repeating arrows) is the standard
// scroll bar's, run on this geometry through a small style the bars share.
class CustomScroller : public QScrollBar
{
    Q_OBJECT
public:
    // The parts of a scroll bar, numbered as rectForPart takes them.
    enum Part { NoPart = 0, DecrementPage, Knob, IncrementPage, DecrementLine, IncrementLine, KnobSlot };

    explicit CustomScroller(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~CustomScroller() override;

    // The bar's thickness: the width of the slot's middle image.
    static int scrollerWidth();

    // The share of the document that is visible, in (0, 1]; 1 when there is nothing to scroll.
    double knobProportion() const;
    // How far the view is scrolled, 0 at the start and 1 at the end.
    double floatValue() const;
    bool isVertical() const { return orientation() == Qt::Vertical; }
    // Shortest knob along the bar: the three knob images end to end plus 10.
    float minKnobHeight() const { return m_minKnobHeight; }
    float minKnobWidth() const { return m_minKnobWidth; }

    // A part's rectangle in the bar's coordinates (knob: as drawn). The page parts and NoPart
    // give an empty rectangle; an arrow that does not fit gives an empty rectangle too.
    QRect rectForPart(Part part) const;

    // True while the increment (down / right) or decrement (up / left) arrow is held down.
    bool hiliteNext() const { return m_hiliteNext; }
    bool hilitePrev() const { return m_hilitePrev; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    friend class ScrollerStyle;
    // The geometry for a given state of the slider (the style asks while a drag is in progress).
    struct Layout
    {
        QRect slot, knob, knobBand, decrementArrow, incrementArrow, groove, decrementPage, incrementPage;
    };
    Layout layoutFor(int minimum, int maximum, int pageStep, int position) const;
    Layout currentLayout() const;

    void drawKnobSlot(QPainter &painter, const QRect &slot) const;
    void drawKnob(QPainter &painter, const QRect &knob) const;
    void drawArrow(QPainter &painter, const QRect &rect, bool increment, bool highlight) const;
    // Ends arrow tracking: both arrows lose their highlight.
    void trackScrollButtons();

    bool m_hiliteNext = false;
    bool m_hilitePrev = false;
    float m_minKnobHeight = 0;
    float m_minKnobWidth = 0;
};
