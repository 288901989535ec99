#pragma once

#include "imaging/filterdescription.h"
#include "views/effectstackbox.h"

#include <QRectF>
#include <QString>

class ParameterView;
class QLabel;

// The box of the current filter's controls. It stacks one ParameterView per input from the top
// down, keeping a running top position, and places colour rows two to a line. A measuring pass
// (the try... operations) walks the same steps without making rows; the building pass (add...)
// makes them. Positions are in bottom-left coordinates, as the rows' frames are.
class FilterView : public EffectStackBox
{
    Q_OBJECT
public:
    // Row kinds, as lastControlType records them (their heights and builders: rowkinds.h).
    using ControlType = imaging::ControlKind;
    using enum imaging::controls::ControlKind;

    // `frame` gives the box's size (its position is the caller's business).
    explicit FilterView(const QRectF &frame, QWidget *parent = nullptr);

    void setTag(int tag) { m_tag = tag; }
    int tag() const { return m_tag; }

    void tryFilterHeader(const std::shared_ptr<imaging::Filter> &filter);
    // Measures a row of `kind` (nothing for None); the try... operations below name their kind.
    void tryRow(ControlType kind);
    void trySliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void tryOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    void trimBox();

    void addFilterHeader(const std::shared_ptr<imaging::Filter> &filter, int tag, bool enabled);
    // Makes the row of `kind` for input `key` below the previous one; nullptr for None.
    ParameterView *addRow(ControlType kind, const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addSliderForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addCheckBoxForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addColorWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addImageWellForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addTransformForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addVectorForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);
    ParameterView *addOffsetForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key);

    int controlTopPosition() const { return m_controlTopPosition; }
    int lastControlType() const { return m_lastControlType; }
    // The height the box needs so that its lowest row stays inside it (at least the height it was
    // made with).
    int neededHeight() const;
    // The rows, in the order they were added.
    QList<ParameterView *> rows() const;

private:
    // The frame of a colour row after the pairing rule, and the row's autoresizing mask.
    QRectF placeColorRow(unsigned &mask);
    void lowerBy(int step, int kind);

    int m_tag = 0;
    int controlLeftPosition = 2;
    int m_controlTopPosition = 0;
    int colorWellOffset = 0;
    int m_lastControlType = None;
    int m_lowestPosition = 0;
    int m_designHeight = 0;
    QLabel *filterNameField = nullptr; // declared for a title line; no operation makes it
};
