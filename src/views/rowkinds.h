#pragma once

#include "imaging/filter.h"

#include <memory>

class CanvasController;
class ParameterRow;
class ParameterView;

// The row kinds of the filter box, in one table: how tall each row is, how far the box moves down
// after it, where it sits and how it follows the box's size, and which class builds its controls.
// Frames are in the box's bottom-left coordinates, as the rows' are.
struct RowKind
{
    imaging::ControlKind kind;
    int height;       // the row's own height
    int step;         // how far the box's top position moves down after the row
    bool atLeftEdge;  // the row starts at the box's edge instead of its left margin
    int widthInset;   // the row is this much narrower than the box
    unsigned mask;    // autoresizing mask of the row in the box
    ParameterRow *(*build)(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                           CanvasController *master);
};

// The kind's entry; nullptr for ControlKind None (inputs without a row).
const RowKind *rowKind(imaging::ControlKind kind);
