#pragma once

#include "views/parameterrow.h"

// A vector input shown as number fields: four for a plain vector, two for an offset. Every
// keystroke that leaves a readable number commits it, so a handle or the picture follows typing.
class VectorFieldsRow : public ParameterRow
{
public:
    VectorFieldsRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                    CanvasController *master, int fields);

    // Field `index` was finished (Return, focus left) or edited by one keystroke.
    void readoutChanged(int index);
    void readoutDidChange(int index);
    QLineEdit *field(int index) const { return index >= 0 && index < 4 ? m_fields[index] : nullptr; }

private:
    void commitComponent(int index, bool whileTyping);

    QLineEdit *m_fields[4] = {};
};
