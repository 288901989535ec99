#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <variant>

class DrawnEffect;

// One parameter of a drawn effect, described once: the member that holds it, the key it is stored
// under, its default, and the control row that changes it. A drawn effect lists these in the order
// of its control rows, and DrawnEffect uses the list for the defaults (awakeFromNib), the copy
// (mycopy), the stored settings (read, save), the panel and the undoable actions.
//
// Fields are in the order a table entry names them (designated initialisers).
struct DrawnSetting
{
    enum class Control { None, Slider, FloatSlider, ColorWell, CheckBox, PopUp, GenerateButton };
    // The member as a pointer into the effect (made by DrawnEffect::member); empty for a row that
    // holds no value (the "Generate" button).
    using Member = std::variant<std::monostate, int DrawnEffect::*, float DrawnEffect::*, double DrawnEffect::*,
                                bool DrawnEffect::*, QColor DrawnEffect::*, QPointF DrawnEffect::*>;

    // The stored key, which also names the setting for the actions.
    QString key{};
    Member member{};
    // Given to the member by awakeFromNib; a null value leaves the member's initial value.
    QVariant defaultValue{};
    // Saved and read back under `key`: integers as integers, reals in single precision, colours as
    // the engine's colour value.
    bool stored = true;
    // Given to the copy by mycopy.
    bool copied = true;
    // A change draws a new rendering; otherwise it only composes the rendering again.
    bool rerender = true;
    Control control = Control::None;
    QString label{};
    // The row's y in the panel's bottom-left design coordinates.
    double y = 0;
    // A slider's range.
    double min = 0, max = 0;
    // A slider that reports while it moves; otherwise once, on release.
    bool continuous = false;
    // A pop-up's items, in index order.
    QStringList items{};
};
