#include "views/vectorfieldsrow.h"

#include "platform/geometry.h"
#include "views/parameterview.h"

#include <QLineEdit>

#include <cmath>

VectorFieldsRow::VectorFieldsRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter,
                                 const QString &key, CanvasController *master, int fields)
    : ParameterRow(view, filter, key, master)
{
    const double W = rowWidth();
    m_caption = makeCaption(QRectF(0, 0, 75, 16), captionText(false), true);
    const imaging::Vector v = inputValue().value<imaging::Vector>();
    // The fields share the width right of the caption: four fit the row whatever their number.
    const float q = float(std::trunc(W - 5) - 95) / 4;
    for (int i = 0; i < fields && i < 4; ++i) {
        QLineEdit *field = makeReadout(QRectF(std::floor(80 + i * (q + 5)), 0, std::floor(q), 16),
                                       NSViewWidthSizable | NSViewMinYMargin);
        char buffer[32];
        format_floating_point_number(1, 3, buffer, float(v.value(std::size_t(i))));
        showReadout(field, QString::fromLatin1(buffer));
        connect(field, &QLineEdit::editingFinished, this, [this, i] { readoutChanged(i); });
        connect(field, &QLineEdit::textEdited, this, [this, i] { readoutDidChange(i); });
        m_fields[i] = field;
    }
}

void VectorFieldsRow::readoutChanged(int index)
{
    commitComponent(index, false);
}

void VectorFieldsRow::readoutDidChange(int index)
{
    commitComponent(index, true);
}

void VectorFieldsRow::commitComponent(int index, bool whileTyping)
{
    if (!field(index))
        return;
    double typed = 0;
    // While typing, a half-written number ("-", "1e") is not committed as 0: the handle would jump.
    if (!parseTyped(m_fields[index]->text(), typed) && whileTyping)
        return;
    const double value = ParameterView::valueFromReadout(ParameterView::Scalar, typed);
    if (!std::isfinite(value))
        return;
    const imaging::Vector current = inputValue().value<imaging::Vector>();
    imaging::Vector v{current.X(), current.Y(), current.Z(), current.W()};
    v.setValue(std::size_t(index), value);
    commit(QVariant::fromValue(v));
    redraw();
}
