#include "effects/threedeffect.h"

#include "effects/texture2d.h"
#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"
#include "views/colorwell.h"
#include "views/floatslider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

void ThreeDEffect::mouseDown(QPointF point)
{
    // One undo step for the whole drag, holding the angles at the press.
    std::array<float, 4> &angles = rotationAngles();
    const float first = angles[0], second = angles[1];
    recordUndo([this, first, second] { setPositionUNDO(first, second); });
    m_lastPoint = point;
    gTrackball = true;
}

void ThreeDEffect::mouseDragged(QPointF point)
{
    if (!gTrackball)
        return;
    std::array<float, 4> &angles = rotationAngles();
    angles[0] += float(point.x() - m_lastPoint.x());
    angles[1] -= float(point.y() - m_lastPoint.y());
    m_lastPoint = point;
}

void ThreeDEffect::mouseUp(QPointF)
{
    gTrackball = false;
}

void ThreeDEffect::setPositionUNDO(float first, float second)
{
    std::array<float, 4> &angles = rotationAngles();
    const float oldFirst = angles[0], oldSecond = angles[1];
    recordUndo([this, oldFirst, oldSecond] { setPositionUNDO(oldFirst, oldSecond); });
    angles[0] = first;
    angles[1] = second;
    postUpdate();
}

void ThreeDEffect::clearFilter()
{
    m_texture.reset();
}

void ThreeDEffect::postUpdate()
{
    NotificationCenter::defaultCenter().post(QStringLiteral("UpdateOpenGLView"));
}

std::shared_ptr<Texture2D> ThreeDEffect::imageTexture() const
{
    CanvasController *controller = mainController();
    return controller ? Texture2D::textureForImage(controller->backImage()) : nullptr;
}

// Panel rows.

bool ThreeDEffect::beginControls()
{
    clearTopControlsView();
    if (!topControlsView)
        return false;
    topControlsView->setMinimumHeight(int(panelHeight));
    return true;
}

void ThreeDEffect::placeControl(QWidget *control, const QRectF &frame)
{
    // Frames are designed against the top of a panel of the design height; a taller panel keeps
    // them at its top.
    const QSizeF design(std::max(topControlsView->width(), 280), std::max<double>(topControlsView->height(), panelHeight));
    Autoresizing::attach(control, frame.translated(0, design.height() - panelHeight), NSViewMaxXMargin | NSViewMinYMargin,
                         design);
    control->show();
}

void ThreeDEffect::addLabel(const QString &text, double y)
{
    auto *label = new QLabel(text, topControlsView);
    QFont font = label->font();
    // Size 10 on the 72-dpi grid the panel is laid out on.
    font.setPixelSize(11);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeControl(label, QRectF(labelX, y, 80, 16));
}

FloatSlider *ThreeDEffect::addFloatSlider(const QString &label, double y, double min, double max, double value,
                                          std::function<void(QWidget *)> action)
{
    if (!topControlsView)
        return nullptr;
    addLabel(label, y);
    auto *slider = new FloatSlider(topControlsView);
    slider->setMinValue(min);
    slider->setMaxValue(max);
    slider->setDoubleValue(value);
    placeControl(slider, QRectF(controlX, y, 170, 16));
    connect(slider, &QSlider::valueChanged, this, [slider, action] { action(slider); });
    return slider;
}

QCheckBox *ThreeDEffect::addCheckBox(const QString &label, double y, bool value, std::function<void(QWidget *)> action)
{
    if (!topControlsView)
        return nullptr;
    addLabel(label, y);
    auto *box = new QCheckBox(topControlsView);
    box->setChecked(value);
    placeControl(box, QRectF(controlX, y, 16, 16));
    connect(box, &QCheckBox::clicked, this, [box, action] { action(box); });
    return box;
}

ColorWell *ThreeDEffect::addColorWell(const QRectF &frame, const QColor &value, std::function<void(QWidget *)> action)
{
    if (!topControlsView)
        return nullptr;
    auto *well = new ColorWell(topControlsView);
    well->setColor(value);
    placeControl(well, frame);
    connect(well, &ColorWell::colorChanged, this, [well, action] { action(well); });
    return well;
}

QComboBox *ThreeDEffect::addPopUp(const QString &label, double y, const QStringList &items, int index,
                                  std::function<void(QWidget *)> action)
{
    if (!topControlsView)
        return nullptr;
    addLabel(label, y);
    auto *popUp = new QComboBox(topControlsView);
    popUp->addItems(items);
    popUp->setCurrentIndex(index);
    placeControl(popUp, QRectF(controlX, y - 4, 120, 24));
    connect(popUp, &QComboBox::activated, this, [popUp, action] { action(popUp); });
    return popUp;
}
