#include "effects/panelrows.h"

#include "effects/baseeffect.h"

#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "views/colorwell.h"
#include "views/floatslider.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>

#include <algorithm>

namespace {
constexpr unsigned keepTopLeft = NSViewMaxXMargin | NSViewMinYMargin;

// A continuous slider tells the effect when a drag begins and ends, so that the steps between
// may render at the display size and the release at full size.
void reportDrags(QAbstractSlider *slider, QObject *receiver, bool continuous)
{
    auto *effect = qobject_cast<BaseEffect *>(receiver);
    if (!continuous || !effect)
        return;
    QObject::connect(slider, &QAbstractSlider::sliderPressed, effect, &BaseEffect::beginContinuousChange);
    QObject::connect(slider, &QAbstractSlider::sliderReleased, effect, &BaseEffect::endContinuousChange);
}
} // namespace

PanelRows::PanelRows(QWidget *panel, QObject *receiver, const Layout &layout)
    : m_panel(panel)
    , m_receiver(receiver)
    , m_layout(layout)
{
}

void PanelRows::place(QWidget *control, const QRectF &frame, unsigned mask) const
{
    const QSizeF design(std::max<double>(m_panel->width(), m_layout.minWidth),
                        std::max<double>(m_panel->height(), m_layout.height));
    // Frames are designed against the panel's top: shift them by the extra height.
    Autoresizing::attach(control, frame.translated(0, design.height() - m_layout.height), mask, design);
    control->show();
}

void PanelRows::label(const QString &text, double y) const
{
    auto *label = new QLabel(text, m_panel);
    QFont font = label->font();
    // Size 10 on the 72-dpi grid the panel is laid out on.
    font.setPixelSize(11);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(label, QRectF(m_layout.labelX, y, m_layout.labelWidth, 16), keepTopLeft);
}

ColorWell *PanelRows::colorWell(const QRectF &frame, const QColor &value, std::function<void(QWidget *)> action) const
{
    auto *well = new ColorWell(m_panel);
    well->setColor(value);
    place(well, frame, keepTopLeft);
    QObject::connect(well, &ColorWell::colorChanged, m_receiver, [well, action] { action(well); });
    // A colour tried in the open dialog is shown at once but recorded for undo only when chosen;
    // when the dialog closes the well holds the old colour again, which goes back the same way.
    // Colours tried one after another are a continuous change. It ends once the dialog has closed
    // and the well has put back the old colour and reported the chosen one (queued after both).
    if (auto *effect = qobject_cast<BaseEffect *>(m_receiver)) {
        auto preview = [effect, well, action] { effect->withoutUndo([&] { action(well); }); };
        QObject::connect(well, &ColorWell::colorPreviewed, effect, [effect, well] {
            effect->beginContinuousChange();
            if (QColorDialog *dialog = well->dialog())
                QObject::connect(dialog, &QDialog::finished, effect, &BaseEffect::endContinuousChange,
                                 Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
        });
        QObject::connect(well, &ColorWell::colorPreviewed, m_receiver, preview);
        QObject::connect(well, &ColorWell::previewEnded, m_receiver, preview);
    }
    return well;
}

QCheckBox *PanelRows::checkBox(const QString &text, double y, bool value, std::function<void(QWidget *)> action) const
{
    label(text, y);
    auto *box = new QCheckBox(m_panel);
    box->setChecked(value);
    place(box, QRectF(m_layout.controlX, y, 16, 16), keepTopLeft);
    QObject::connect(box, &QCheckBox::clicked, m_receiver, [box, action] { action(box); });
    return box;
}

QSlider *PanelRows::slider(const QString &text, double y, double width, int min, int max, int value, bool continuous,
                           std::function<void(QWidget *)> action) const
{
    label(text, y);
    auto *slider = new QSlider(Qt::Horizontal, m_panel);
    slider->setRange(min, max);
    slider->setValue(value);
    slider->setTracking(continuous);
    place(slider, QRectF(m_layout.controlX, y, width, 16), keepTopLeft);
    QObject::connect(slider, &QSlider::valueChanged, m_receiver, [slider, action] { action(slider); });
    reportDrags(slider, m_receiver, continuous);
    return slider;
}

FloatSlider *PanelRows::floatSlider(const QString &text, double y, double width, double min, double max, double value,
                                    bool continuous, std::function<void(QWidget *)> action) const
{
    label(text, y);
    auto *slider = new FloatSlider(m_panel);
    slider->setMinValue(min);
    slider->setMaxValue(max);
    slider->setDoubleValue(value);
    slider->setTracking(continuous);
    place(slider, QRectF(m_layout.controlX, y, width, 16), keepTopLeft);
    QObject::connect(slider, &QSlider::valueChanged, m_receiver, [slider, action] { action(slider); });
    reportDrags(slider, m_receiver, continuous);
    return slider;
}

QComboBox *PanelRows::popUp(const QString &text, double labelY, const QRectF &frame, const QStringList &items, int index,
                            std::function<void(QWidget *)> action) const
{
    label(text, labelY);
    auto *popUp = new QComboBox(m_panel);
    popUp->addItems(items);
    popUp->setCurrentIndex(index);
    place(popUp, frame, keepTopLeft);
    QObject::connect(popUp, &QComboBox::activated, m_receiver, [popUp, action] { action(popUp); });
    return popUp;
}
