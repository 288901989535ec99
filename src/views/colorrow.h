#pragma once

#include "views/parameterrow.h"

class ColorWell;

// A colour input: caption and colour well. Colours tried in the open colour dialog show on the
// canvas at once; only the chosen one is recorded as an undo step.
class ColorRow : public ParameterRow
{
public:
    ColorRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
             CanvasController *master);

    void colorWellChanged();
    ColorWell *colorWell() const { return m_well; }

private:
    void preview(const QColor &color);
    void endPreview();

    ColorWell *m_well = nullptr;
    QVariant m_valueBeforePreview; // the input's value while the colour dialog previews others
};
