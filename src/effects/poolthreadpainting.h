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
