#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class ColorWell;
class FloatSlider;
class QCheckBox;
class QComboBox;
class QObject;
class QSlider;
class QWidget;

// The rows of an effect's control panel: a right-aligned label and a control per row. Frames are
// given in the panel's bottom-left coordinates for a panel of the design height, and the controls
// stay at the top left when the panel grows. Each control reports to `action` with itself as the
// sender; the connections end with `receiver` (the effect).
class PanelRows
{
public:
    struct Layout
    {
        double height;     // the design height the rows' y values are measured in
        double minWidth;   // the width the frames are designed for, when the panel is narrower
        double labelX;     // labels: x and width (16 high)
        double labelWidth;
        double controlX;   // where the controls start
    };

    PanelRows(QWidget *panel, QObject *receiver, const Layout &layout);

    QWidget *panel() const { return m_panel; }
    void place(QWidget *control, const QRectF &frame, unsigned mask) const;
    void label(const QString &text, double y) const;
    ColorWell *colorWell(const QRectF &frame, const QColor &value, std::function<void(QWidget *)> action) const;
    QCheckBox *checkBox(const QString &label, double y, bool value, std::function<void(QWidget *)> action) const;
    // A slider of the given width at the row's control x; one that is not continuous reports once,
    // on release.
    QSlider *slider(const QString &label, double y, double width, int min, int max, int value, bool continuous,
                    std::function<void(QWidget *)> action) const;
    FloatSlider *floatSlider(const QString &label, double y, double width, double min, double max, double value,
                             bool continuous, std::function<void(QWidget *)> action) const;
    QComboBox *popUp(const QString &label, double labelY, const QRectF &frame, const QStringList &items, int index,
                     std::function<void(QWidget *)> action) const;

private:
    QWidget *m_panel;
    QObject *m_receiver;
    Layout m_layout;
};
