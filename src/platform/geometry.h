#pragma once

#include <QRect>
#include <QRectF>
#include <QList>
#include <QSizeF>

#include <optional>

// Springs-and-struts autoresizing masks, as the window layouts are designed. Frames are in
// bottom-left coordinates (y grows upward), so "MinY" is the bottom margin and "MaxY" the top one.
enum AutoresizingMask : unsigned {
    NSViewNotSizable = 0,
    NSViewMinXMargin = 1,
    NSViewWidthSizable = 2,
    NSViewMaxXMargin = 4,
    NSViewMinYMargin = 8,
    NSViewHeightSizable = 16,
    NSViewMaxYMargin = 32,
};

// Conversions between the design's bottom-left frames and Qt's top-left geometry, and the
// springs-and-struts rule that moves and sizes a child when its parent changes size.
class Geometry
{
public:
    // A frame inside a parent of the given height, flipped between bottom-left and top-left
    // coordinates. Flipping is its own inverse; both names exist to say which way a call goes.
    static QRectF toTopLeft(const QRectF &bottomLeftFrame, double parentHeight);
    static QRectF toBottomLeft(const QRectF &topLeftRect, double parentHeight);
    // Integer widget geometry for a bottom-left frame: edges are rounded (not origin and size
    // separately) so that neighbouring frames that touch keep touching.
    static QRect widgetGeometry(const QRectF &bottomLeftFrame, double parentHeight);

    // The child's bottom-left frame after its parent went from oldParentSize to newParentSize.
    // On each axis the size change is shared among the flexible parts named by the mask (left
    // margin, width, right margin; bottom margin, height, top margin) in proportion to their
    // current sizes, or equally when those sizes are all zero. Without a flexible part the frame
    // keeps its place relative to the bottom-left corner.
    static QRectF resizedFrame(const QRectF &frame, const QSizeF &oldParentSize,
                               const QSizeF &newParentSize, unsigned mask);

    // A saved window frame made to fit the screens as they are now (`screens` are their available
    // areas): it goes to the screen it overlaps most, is shrunk to that screen's area and moved
    // inside it. No frame when it overlaps no screen, or when that screen is smaller than
    // `minimum`: the window then keeps the size and place it was made with.
    static std::optional<QRect> fittedFrame(const QRect &frame, const QList<QRect> &screens, const QSize &minimum);
};
