#include "views/rowkinds.h"

#include "platform/geometry.h"
#include "views/colorrow.h"
#include "views/flagrow.h"
#include "views/imagerow.h"
#include "views/numberrow.h"
#include "views/transformrow.h"
#include "views/vectorfieldsrow.h"

namespace {

template <typename Row>
ParameterRow *make(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                   CanvasController *master)
{
    return new Row(view, filter, key, master);
}

template <int Fields>
ParameterRow *makeFields(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                         CanvasController *master)
{
    return new VectorFieldsRow(view, filter, key, master, Fields);
}

using namespace imaging::controls;

// Colour rows are placed two to a line by the box; their height and step are those of one line.
const RowKind kinds[] = {
    {Number, 18, 18, true, 12, NSViewWidthSizable | NSViewMinYMargin, make<NumberRow>},
    {Flag, 16, 17, false, 10, NSViewMaxXMargin | NSViewMinYMargin, make<FlagRow>},
    {Colour, 26, 30, false, 0, 0, make<ColorRow>},
    {ImageWell, 44, 48, false, 10, NSViewWidthSizable | NSViewMaxXMargin | NSViewMinYMargin, make<ImageRow>},
    {Transform, 67, 68, false, 10, NSViewWidthSizable | NSViewMinYMargin, make<TransformRow>},
    {VectorRow, 16, 17, false, 10, NSViewWidthSizable | NSViewMinYMargin, makeFields<4>},
    {Offset, 16, 17, false, 10, NSViewWidthSizable | NSViewMinYMargin, makeFields<2>},
};

} // namespace

const RowKind *rowKind(imaging::ControlKind kind)
{
    for (const RowKind &k : kinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}
