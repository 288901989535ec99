#pragma once

#include "views/parameterrow.h"

class QCheckBox;

// A boolean input: one check box captioned with the input's name.
class FlagRow : public ParameterRow
{
public:
    FlagRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
            CanvasController *master);

    void checkBoxChanged();
    QCheckBox *checkBox() const { return m_checkBox; }

private:
    QCheckBox *m_checkBox = nullptr;
};
