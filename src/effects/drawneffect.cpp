#include "effects/drawneffect.h"

#include "effects/panelrows.h"

#include "imaging/values.h"
#include "platform/autoresizing.h"
#include "platform/geometry.h"
#include "platform/notificationcenter.h"
#include "views/canvascontroller.h"
#include "views/colorwell.h"
#include "views/floatslider.h"
#include "views/myborderview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <utility>

QSize DrawnEffect::renderSize() const
{
    if (!m_image.isNull())
        return m_image.size();
    return QSize(defaultWidth, defaultHeight);
}

void DrawnEffect::loadImage()
{
    if (!m_image.isNull())
        return;
    if (!mainController()) {
        clearFilter();
        return;
    }
    m_image = currentImage();
}

void DrawnEffect::clearFilter()
{
    m_image = QImage();
}

void DrawnEffect::reloadImage()
{
    clearFilter();
    loadImage();
    makeImageEffect();
}

void DrawnEffect::initEffect()
{
    loadImage();
    makeImageEffect();
}

void DrawnEffect::clearEffect()
{
    wasInit = false;
    clearFilter();
    clearTopControlsView();
}

void DrawnEffect::makeImageEffect()
{
    const QSize size = renderSize();
    // While the anchor or a control moves, the rendering is drawn at the size the canvas shows the
    // picture (the drawing is scaled, so it looks like the full rendering seen at that zoom): a
    // drag on a large photograph stays smooth.
    const double s = m_mouseMoved || m_controlDragged ? std::clamp(m_displayScale, 0.01, 1.0) : 1.0;
    m_reducedForDrag = s < 1.0;
    if (!m_reducedForDrag) {
        renderEffect(size, QSizeF(size));
        return;
    }
    const QSize pixels(std::max(1, int(std::ceil(size.width() * s))), std::max(1, int(std::ceil(size.height() * s))));
    renderEffect(pixels, QSizeF(size), QSizeF(size));
}

void DrawnEffect::renderEffect(const QSize &pixelSize, const QSizeF &logicalSize, const QSizeF &drawingSize)
{
    m_effectImage = QImage();
    m_effectImageSize = QSizeF();
    if (pixelSize.isEmpty()) {
        qWarning("%s: nothing to render for a %dx%d image", metaObject()->className(), pixelSize.width(),
                 pixelSize.height());
        return;
    }
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        qWarning("%s: cannot allocate a %dx%d rendering", metaObject()->className(), pixelSize.width(),
                 pixelSize.height());
        return;
    }
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // Drawing routines work with y up, like the image coordinates of the mouse and the anchor.
        painter.translate(0, pixelSize.height());
        painter.scale(1, -1);
        painter.setRenderHint(QPainter::Antialiasing);
        if (drawingSize.isEmpty()) {
            drawMyself(painter, QRectF(0, 0, pixelSize.width(), pixelSize.height()));
        } else {
            painter.scale(pixelSize.width() / drawingSize.width(), pixelSize.height() / drawingSize.height());
            drawMyself(painter, QRectF(QPointF(0, 0), drawingSize));
        }
    }
    m_effectImage = image;
    m_effectImageSize = logicalSize;
}

void DrawnEffect::beginContinuousChange()
{
    if (CanvasController *c = mainController())
        m_displayScale = c->customCanvasZoom();
    m_controlDragged = true;
}

void DrawnEffect::endContinuousChange()
{
    m_controlDragged = false;
    // The end of the gesture shows the full rendering, the one Apply will write.
    if (m_reducedForDrag && !m_mouseMoved) {
        makeImageEffect();
        postUpdate();
    }
}

void DrawnEffect::regenerate()
{
    makeImageEffect();
    postUpdate();
}

void DrawnEffect::postUpdate()
{
    NotificationCenter::defaultCenter().post(QStringLiteral("UpdateCustomView"));
}

void DrawnEffect::parameterChanged(bool rerender)
{
    if (rerender)
        makeImageEffect();
    postUpdate();
}

QImage DrawnEffect::getDrawImage()
{
    if (!wasInit) {
        initEffect();
        wasInit = true;
    }
    // Apply, Save and Copy get the full-size rendering, even in the middle of a drag.
    if (m_reducedForDrag) {
        const bool moving = std::exchange(m_mouseMoved, false);
        const bool dragging = std::exchange(m_controlDragged, false);
        makeImageEffect();
        m_mouseMoved = moving;
        m_controlDragged = dragging;
    }
    if (m_effectImage.isNull())
        return m_image;
    const QSize size(int(m_effectImageSize.width()), int(m_effectImageSize.height()));
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull()) {
        qWarning("%s: cannot allocate a %dx%d picture", metaObject()->className(), size.width(), size.height());
        return m_image;
    }
    result.fill(Qt::transparent);
    QPainter painter(&result);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    drawComposition(painter, whole, whole);
    return result;
}

bool DrawnEffect::drawComposition(QPainter &painter, const QRectF &target, const QRectF &source)
{
    if (!wasInit) {
        initEffect();
        wasInit = true;
    }
    if (m_effectImage.isNull())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.width() < source.width());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_useBackImage && !m_image.isNull())
        painter.drawImage(target, m_image, source);
    // The colour covers the whole picture with its own alpha, so a translucent colour tints it.
    painter.fillRect(target, m_bgColor);
    // The rendering may be smaller than the picture (stretched when composed).
    const double sx = m_effectImage.width() / m_effectImageSize.width();
    const double sy = m_effectImage.height() / m_effectImageSize.height();
    const QRectF effectSource(source.x() * sx, source.y() * sy, source.width() * sx, source.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_smoothStretch);
    painter.setOpacity(std::clamp(m_opacity, 0.0f, 100.0f) / 100.0);
    painter.drawImage(target, m_effectImage, effectSource);
    painter.restore();
    return true;
}

void DrawnEffect::copyCommonInto(DrawnEffect &copy) const
{
    copy.setUseBackImage(m_useBackImage);
    copy.setBgColor(m_bgColor);
    copy.seOpacity(m_opacity);
}

namespace {

// Colours travel in the settings as the engine's colour value, which the archive can store.
QVariant colorSetting(const QColor &c)
{
    return QVariant::fromValue(imaging::Color(c.redF(), c.greenF(), c.blueF(), c.alphaF()));
}

} // namespace

QVariantMap DrawnEffect::save() const
{
    QVariantMap settings = BaseEffect::save();
    settings.insert(QStringLiteral("useBackImage"), m_useBackImage);
    settings.insert(QStringLiteral("bgColor"), colorSetting(m_bgColor));
    settings.insert(QStringLiteral("opacity"), m_opacity);
    return settings;
}

void DrawnEffect::read(const QVariantMap &settings)
{
    BaseEffect::read(settings);
    const auto it = settings.constFind(QStringLiteral("useBackImage"));
    if (it != settings.constEnd())
        setUseBackImage(it->toBool());
    const QVariant c = settings.value(QStringLiteral("bgColor"));
    if (c.canConvert<imaging::Color>() && c.userType() == qMetaTypeId<imaging::Color>()) {
        const auto ic = c.value<imaging::Color>();
        setBgColor(QColor::fromRgbF(float(ic.red), float(ic.green), float(ic.blue), float(ic.alpha)));
    } else if (c.userType() == QMetaType::QColor) {
        setBgColor(c.value<QColor>());
    }
    bool ok = false;
    const float o = settings.value(QStringLiteral("opacity")).toFloat(&ok);
    if (ok)
        seOpacity(o);
}

// Control values.

int DrawnEffect::intValue(QWidget *control)
{
    if (auto *f = qobject_cast<FloatSlider *>(control))
        return int(f->doubleValue());
    if (auto *s = qobject_cast<QSlider *>(control))
        return s->value();
    if (auto *c = qobject_cast<QComboBox *>(control))
        return c->currentIndex();
    if (auto *b = qobject_cast<QCheckBox *>(control))
        return b->isChecked() ? 1 : 0;
    return 0;
}

double DrawnEffect::floatValue(QWidget *control)
{
    if (auto *f = qobject_cast<FloatSlider *>(control))
        return f->doubleValue();
    return intValue(control);
}

bool DrawnEffect::state(QWidget *control)
{
    return intValue(control) == 1;
}

QColor DrawnEffect::color(QWidget *control)
{
    if (auto *w = qobject_cast<ColorWell *>(control))
        return w->color();
    return {};
}

void DrawnEffect::setControlValue(QWidget *control, const QVariant &value)
{
    if (!control)
        return;
    const QSignalBlocker blocker(control);
    if (auto *f = qobject_cast<FloatSlider *>(control))
        f->setDoubleValue(value.toDouble());
    else if (auto *s = qobject_cast<QSlider *>(control))
        s->setValue(int(std::lround(value.toDouble())));
    else if (auto *c = qobject_cast<QComboBox *>(control))
        c->setCurrentIndex(value.toInt());
    else if (auto *b = qobject_cast<QCheckBox *>(control))
        b->setChecked(value.toBool());
    else if (auto *w = qobject_cast<ColorWell *>(control))
        w->setColor(value.value<QColor>());
}

// The common action pairs.

void DrawnEffect::changeBgColor(QWidget *sender)
{
    controlAction(this, m_bgColor, color(sender), &DrawnEffect::setchangeBgColor, sender, false);
}

void DrawnEffect::setchangeBgColor(QColor value, QWidget *sender)
{
    setAction(this, m_bgColor, value, &DrawnEffect::setchangeBgColor, sender, false);
}

void DrawnEffect::useBgImage(QWidget *sender)
{
    controlAction(this, m_useBackImage, state(sender), &DrawnEffect::setuseBgImage, sender, false);
}

void DrawnEffect::setuseBgImage(bool on, QWidget *sender)
{
    setAction(this, m_useBackImage, on, &DrawnEffect::setuseBgImage, sender, false);
}

void DrawnEffect::changeOpacity(QWidget *sender)
{
    controlAction(this, m_opacity, float(intValue(sender)), &DrawnEffect::setchangeOpacity, sender, false);
}

void DrawnEffect::setchangeOpacity(float value, QWidget *sender)
{
    setAction(this, m_opacity, value, &DrawnEffect::setchangeOpacity, sender, false);
}

// Panel rows.

bool DrawnEffect::beginControls()
{
    clearTopControlsView();
    if (!topControlsView)
        return false;
    // Rows are laid out for a panel of the design height; a taller panel keeps them at the top.
    topControlsView->setMinimumHeight(int(panelHeight));
    auto *border = new MyBorderView(topControlsView);
    placeControl(border, QRectF(0, 0, std::max(topControlsView->width(), 260), panelHeight),
                 NSViewWidthSizable | NSViewHeightSizable);
    return true;
}

PanelRows DrawnEffect::rows()
{
    return PanelRows(topControlsView, this, {panelHeight, 260, 10, 120, 140});
}

void DrawnEffect::placeControl(QWidget *control, const QRectF &frame, unsigned mask)
{
    rows().place(control, frame, mask);
}

void DrawnEffect::addLabel(const QString &text, double y)
{
    rows().label(text, y);
}

ColorWell *DrawnEffect::addColorWell(const QString &label, double y, const QColor &value,
                                     std::function<void(QWidget *)> action)
{
    if (!topControlsView)
        return nullptr;
    addLabel(label, y);
    return rows().colorWell(QRectF(140, y - 3, 44, 23), value, std::move(action));
}

QCheckBox *DrawnEffect::addCheckBox(const QString &label, double y, bool value, std::function<void(QWidget *)> action)
{
    return topControlsView ? rows().checkBox(label, y, value, std::move(action)) : nullptr;
}

QSlider *DrawnEffect::addSlider(const QString &label, double y, int min, int max, int value, bool continuous,
                                std::function<void(QWidget *)> action)
{
    return topControlsView ? rows().slider(label, y, 120, min, max, value, continuous, std::move(action)) : nullptr;
}

FloatSlider *DrawnEffect::addFloatSlider(const QString &label, double y, double min, double max, double value,
                                         bool continuous, std::function<void(QWidget *)> action)
{
    return topControlsView ? rows().floatSlider(label, y, 120, min, max, value, continuous, std::move(action)) : nullptr;
}

QComboBox *DrawnEffect::addPopUp(const QString &label, double labelY, const QRectF &frame, const QStringList &items,
                                 int index, std::function<void(QWidget *)> action)
{
    return topControlsView ? rows().popUp(label, labelY, frame, items, index, std::move(action)) : nullptr;
}

void DrawnEffect::addGenerateButton(double y)
{
    if (!topControlsView)
        return;
    auto *button = new QPushButton(tr("Generate"), topControlsView);
    const double width = std::max(topControlsView->width(), 260);
    placeControl(button, QRectF((width - 96) * 0.5, y, 96, 24), NSViewMinXMargin | NSViewMaxXMargin | NSViewMinYMargin);
    connect(button, &QPushButton::clicked, this, [this] { regenerate(); });
}

void DrawnEffect::addCommonRows(double colorY, double imageY, double opacityY, const QString &opacityLabel)
{
    addColorWell(tr("Background Color:"), colorY, m_bgColor, [this](QWidget *s) { changeBgColor(s); });
    addCheckBox(tr("Background Image:"), imageY, m_useBackImage, [this](QWidget *s) { useBgImage(s); });
    addSlider(opacityLabel, opacityY, 0, 100, int(std::lround(m_opacity)), true,
              [this](QWidget *s) { changeOpacity(s); });
}

// Dragging the anchor.

void DrawnEffect::anchorDown()
{
    const QPointF old = m_startPT;
    registerUndo([this, old] { setPositionUNDO(old); });
    m_mouseMoved = true;
}

void DrawnEffect::anchorDragged(QPointF point)
{
    if (!m_mouseMoved)
        return;
    m_startPT = point;
    makeImageEffect();
    postUpdate();
}

void DrawnEffect::anchorUp(QPointF point)
{
    const bool moved = m_mouseMoved;
    // The release renders at full size again.
    m_mouseMoved = false;
    if (moved) {
        const QPointF old = m_startPT;
        registerUndo([this, old] { setPositionUNDO(old); });
        m_startPT = point;
        makeImageEffect();
        postUpdate();
    }
}

void DrawnEffect::setPositionUNDO(QPointF point)
{
    const QPointF old = m_startPT;
    registerUndo([this, old] { setPositionUNDO(old); });
    m_startPT = point;
    makeImageEffect();
    postUpdate();
}
