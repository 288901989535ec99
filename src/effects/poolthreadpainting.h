#pragma once

#include <functional>

// Runs `paint` to completion on a thread of the global thread pool and returns when it is done;
// runs it in place when the caller already is such a thread or no pool thread is free.
//
// The raster paint engine hands every batch of more than about a hundred spans to that pool in
// pieces and waits for them, unless it is already running on one of its threads. A drawing made
// of thousands of small antialiased shapes (lines, discs) produces such a batch for nearly every
// shape, and the hand-offs then cost more than the fills themselves. Run from a pool thread, the
// same drawing fills every span in place: the same rasterisation, the same blending, the same
// pixels. Drawings of a few large fills gain from the split and should not use this.
//
// `paint` may use a painter on a QImage made by the caller; the caller must not touch it meanwhile.
void runOnPoolThread(const std::function<void()> &paint);

class QPainter;
class QRectF;

// Runs `paint` once for each horizontal band of the image `painter` paints on, the bands side by
// side on threads of the global pool (as many as it has, with a band at least 64 rows high), each
// with a painter set up as `painter` is (transform, hints, pen, brush, opacity, composition) and
// bounded to its band, and the rectangle of the drawing's coordinates that the band shows. A
// drawing of many small shapes is then shared between the processors: each band fills only its
// own rows, and filled shapes get the pixels one painter drawing the whole gives them (outlines
// drawn with a pen may differ by a level or two: curves are flattened for the device's bounds,
// which are the band's). `paint` must draw the same shapes each time it is called (no random
// numbers drawn inside it), and may leave out those wholly outside the rectangle. Runs like
// runOnPoolThread with `painter` itself (and the whole image's rectangle) when the painter is not
// on an image, is clipped, or the image is too small to share.
void paintInBands(QPainter &painter, const std::function<void(QPainter &, const QRectF &)> &paint);
