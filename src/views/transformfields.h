#pragma once

#include "imaging/values.h"

// The four parts of a 2D transform as the transform row shows them: a scale, an angle, a stretch
// and a skew. Composing them (standard_fields_to_transform) and taking a transform apart again
// (decomposeTransform) are inverse to each other for every transform with a nonzero scale.
struct TransformFields
{
    float scale = 1, angle = 0, stretch = 1, skew = 0;
};

imaging::AffineTransform standard_fields_to_transform(float scale, float angle, float stretch, float skew,
                                                       float tX, float tY);
// The same transform in the six-value vector form (m11 m12 m21 m22 tX tY).
imaging::Vector standard_fields_to_transform_vector(float scale, float angle, float stretch, float skew,
                                                     float tX, float tY);
// Splits a transform into scale, angle (0 <= a < 2 pi), stretch and skew, such that
// standard_fields_to_transform gives it back. Every field is finite: a transform that has no
// such decomposition (zero scale) shows as the identity's fields.
TransformFields decomposeTransform(double m11, double m12, double m21, double m22);
