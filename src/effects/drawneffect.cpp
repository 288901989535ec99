#include "effects/drawneffect.h"

#include "effects/panelrows.h"
#include "effects/poolthreadpainting.h"

#include "imaging/sourcenode.h"
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
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace {

// Where the random numbers of the rendering being drawn on this thread go: recorded for a new
// arrangement, read back for the same one drawn again.
struct RandomTape
{
    std::vector<long> *record = nullptr;
    const std::vector<long> *replay = nullptr;
    std::size_t next = 0;
};
thread_local RandomTape *t_tape = nullptr;

template <class Draw>
long tapeDraw(Draw draw)
{
    RandomTape *tape = t_tape;
    if (tape && tape->replay && tape->next < tape->replay->size())
        return (*tape->replay)[tape->next++];
    // Past the end of a record (a routine whose number of draws depends on the size), or drawing
    // a new arrangement: fresh numbers.
    const long value = draw();
    if (tape && tape->record)
        tape->record->push_back(value);
    return value;
}

} // namespace

int DrawnEffect::drawRand()
{
    return int(tapeDraw([] { return long(std::rand()); }));
}

long DrawnEffect::drawRandom()
{
    return tapeDraw([] { return random(); });
}

void DrawnEffect::drawOnPoolThread(const std::function<void()> &paint)
{
    RandomTape *const tape = t_tape;
    runOnPoolThread([&] {
        RandomTape *const outer = std::exchange(t_tape, tape);
        paint();
        t_tape = outer;
    });
}

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
    // While the anchor or a control moves, and for every change on a large picture, the rendering
    // is drawn at the size the canvas shows the picture (the drawing is scaled, so it looks like
    // the full rendering seen at that zoom): a drag on a large photograph stays smooth, and its
    // release does not hold the window up drawing millions of pixels nobody sees. Apply, Save and
    // Copy get the full size from getDrawImage; a closer zoom draws again (setDisplayScale).
    const bool large = double(size.width()) * size.height() > largePicturePixels;
    const bool dragging = !m_fullSizeWanted && (m_mouseMoved || m_controlDragged);
    double s = !m_fullSizeWanted && (dragging || large) ? std::clamp(m_displayScale, 0.01, 1.0) : 1.0;
    if (dragging)
        s = std::max(0.01, s * std::clamp(dragDetail(), 0.01, 1.0));
    m_reducedForDrag = s < 1.0;
    m_renderedScale = s;
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
    const QImage image = drawRendering(pixelSize, drawingSize, m_sameArrangement);
    if (image.isNull())
        return;
    m_effectImage = image;
    m_effectImageSize = logicalSize;
}

QImage DrawnEffect::drawRendering(const QSize &pixelSize, const QSizeF &drawingSize, bool sameArrangement)
{
    if (pixelSize.isEmpty()) {
        qWarning("%s: nothing to render for a %dx%d image", metaObject()->className(), pixelSize.width(),
                 pixelSize.height());
        return {};
    }
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        qWarning("%s: cannot allocate a %dx%d rendering", metaObject()->className(), pixelSize.width(),
                 pixelSize.height());
        return {};
    }
    image.fill(Qt::transparent);
    std::vector<long> drawn;
    RandomTape tape;
    if (sameArrangement)
        tape.replay = &m_arrangement;
    else
        tape.record = &drawn;
    RandomTape *const outer = std::exchange(t_tape, &tape);
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
    t_tape = outer;
    if (!sameArrangement)
        m_arrangement = std::move(drawn);
    return image;
}

void DrawnEffect::beginContinuousChange()
{
    if (CanvasController *c = mainController())
        m_displayScale = c->customCanvasZoom();
    m_controlDragged = true;
}

void DrawnEffect::setDisplayScale(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return;
    m_displayScale = scale;
    // The canvas shows the rendering closer than it was drawn for (a zoom in, a larger window):
    // draw it again at the new size, after the paint that noticed it.
    if (!m_reducedForDrag || m_mouseMoved || m_controlDragged || m_finerPending
        || std::min(scale, 1.0) <= m_renderedScale * 1.01)
        return;
    m_finerPending = true;
    QTimer::singleShot(0, this, [this] { drawFiner(); });
}

void DrawnEffect::drawFiner()
{
    // While the full size is being composed elsewhere, nothing the drawing writes may change: wait.
    if (m_composing) {
        QTimer::singleShot(50, this, [this] { drawFiner(); });
        return;
    }
    m_finerPending = false;
    if (m_reducedForDrag && !m_mouseMoved && !m_controlDragged && std::min(m_displayScale, 1.0) > m_renderedScale * 1.01) {
        // The arrangement shown, drawn finer.
        m_sameArrangement = true;
        makeImageEffect();
        m_sameArrangement = false;
        postUpdate();
    }
}

void DrawnEffect::prepareFullSize()
{
    if (!m_reducedForDrag)
        return;
    m_fullSizeWanted = true;
    m_sameArrangement = true;
    makeImageEffect();
    m_sameArrangement = false;
    m_fullSizeWanted = false;
}

void DrawnEffect::endContinuousChange()
{
    m_controlDragged = false;
    // The end of the gesture shows the full rendering, the one Apply will write (a large picture
    // keeps the one drawn at the canvas's size, unless the gesture drew it coarser).
    if (m_reducedForDrag && !m_mouseMoved && (!isLarge() || dragDetail() < 1.0)) {
        // The last step's arrangement, at full size.
        m_sameArrangement = true;
        makeImageEffect();
        m_sameArrangement = false;
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
    if (m_effectImage.isNull())
        return m_image;
    const QSize size(int(m_effectImageSize.width()), int(m_effectImageSize.height()));
    m_composing = true;
    // Apply, Save and Copy get the full-size rendering, even in the middle of a drag.
    const QImage effect = m_reducedForDrag ? drawRendering(size, QSizeF(), true) : m_effectImage;
    QImage result;
    if (!effect.isNull())
        result = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (!result.isNull()) {
        result.fill(Qt::transparent);
        QPainter painter(&result);
        const QRectF whole(QPointF(0, 0), QSizeF(size));
        compose(painter, whole, whole, effect);
    }
    m_composing = false;
    if (result.isNull()) {
        qWarning("%s: cannot allocate a %dx%d picture", metaObject()->className(), size.width(), size.height());
        return m_image;
    }
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
    compose(painter, target, source, m_effectImage);
    return true;
}

void DrawnEffect::compose(QPainter &painter, const QRectF &target, const QRectF &source, const QImage &effect) const
{
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.width() < source.width());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_useBackImage && !m_image.isNull()) {
        const auto [picture, from] = backgroundFor(source, painter.deviceTransform().mapRect(target).width());
        painter.drawImage(target, picture, from);
    }
    // The colour covers the whole picture with its own alpha, so a translucent colour tints it.
    painter.fillRect(target, m_bgColor);
    // The rendering may be smaller than the picture (stretched when composed).
    const double sx = effect.width() / m_effectImageSize.width();
    const double sy = effect.height() / m_effectImageSize.height();
    const QRectF effectSource(source.x() * sx, source.y() * sy, source.width() * sx, source.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_smoothStretch);
    painter.setOpacity(std::clamp(m_opacity, 0.0f, 100.0f) / 100.0);
    painter.drawImage(target, effect, effectSource);
    painter.restore();
}

std::pair<QImage, QRectF> DrawnEffect::backgroundFor(const QRectF &source, double deviceWidth) const
{
    // A smooth draw straight from a large picture samples a few pixels of each block it shrinks
    // (fine texture aliases) and reads across the whole bitmap at every repaint; the halved copies
    // average every pixel once.
    QImage level = m_image;
    QRectF rect = source;
    if (!(deviceWidth > 0))
        return {level, rect};
    const std::lock_guard lock(m_backLevelsMutex);
    if (m_backLevelsKey != m_image.cacheKey()) {
        m_backLevels.clear();
        m_backLevelsKey = m_image.cacheKey();
    }
    for (std::size_t n = 0; rect.width() >= 2 * deviceWidth; ++n) {
        if (n == m_backLevels.size()) {
            QImage base = level;
            if (base.format() != QImage::Format_ARGB32_Premultiplied && base.format() != QImage::Format_RGB32)
                base = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const QImage half = base.isNull() ? QImage() : imaging::halvedBitmap(base);
            if (half.isNull())
                break;
            m_backLevels.push_back(half);
        }
        // Halves are anchored at the bottom: with an odd height their top row covers one row.
        const double shift = 2.0 * m_backLevels[n].height() - level.height();
        rect = QRectF(rect.x() / 2, (rect.y() + shift) / 2, rect.width() / 2, rect.height() / 2);
        level = m_backLevels[n];
    }
    return {level, rect};
}

namespace {

// Colours travel in the settings as the engine's colour value, which the archive can store.
QVariant colorSetting(const QColor &c)
{
    return QVariant::fromValue(imaging::Color(c.redF(), c.greenF(), c.blueF(), c.alphaF()));
}

// A stored colour: the engine's colour value, or a QColor; nothing for any other value.
std::optional<QColor> storedColor(const QVariant &c)
{
    if (c.userType() == qMetaTypeId<imaging::Color>()) {
        const auto ic = c.value<imaging::Color>();
        return QColor::fromRgbF(float(ic.red), float(ic.green), float(ic.blue), float(ic.alpha));
    }
    if (c.userType() == QMetaType::QColor)
        return c.value<QColor>();
    return std::nullopt;
}

template <class T>
using FieldOf = T DrawnEffect::*;

QVariant valueOf(const DrawnEffect &effect, const DrawnSetting::Member &member)
{
    return std::visit(
        [&](auto field) -> QVariant {
            if constexpr (std::is_same_v<decltype(field), std::monostate>)
                return {};
            else
                return QVariant::fromValue(effect.*field);
        },
        member);
}

void assign(DrawnEffect &effect, const DrawnSetting::Member &member, const QVariant &value)
{
    std::visit(
        [&](auto field) {
            if constexpr (!std::is_same_v<decltype(field), std::monostate>) {
                using T = std::remove_reference_t<decltype(effect.*field)>;
                effect.*field = value.value<T>();
            }
        },
        member);
}

const DrawnSetting *find(const std::vector<DrawnSetting> &list, const QString &key)
{
    const auto it = std::find_if(list.begin(), list.end(), [&](const DrawnSetting &s) { return s.key == key; });
    return it == list.end() ? nullptr : &*it;
}

} // namespace

void DrawnEffect::setDefaults()
{
    for (const DrawnSetting &s : settings())
        if (!s.defaultValue.isNull())
            assign(*this, s.member, s.defaultValue);
}

std::vector<DrawnSetting> DrawnEffect::commonSettings(const QColor &bgColor, float opacity, const QString &opacityLabel,
                                                      double colorY, double imageY, double opacityY)
{
    using C = DrawnSetting::Control;
    return {
        {.key = QStringLiteral("bgColor"), .member = member(&DrawnEffect::m_bgColor), .defaultValue = bgColor,
         .rerender = false, .control = C::ColorWell, .label = tr("Background Color:"), .y = colorY},
        {.key = QStringLiteral("useBackImage"), .member = member(&DrawnEffect::m_useBackImage), .defaultValue = true,
         .rerender = false, .control = C::CheckBox, .label = tr("Background Image:"), .y = imageY},
        {.key = QStringLiteral("opacity"), .member = member(&DrawnEffect::m_opacity), .defaultValue = opacity,
         .rerender = false, .control = C::Slider, .label = opacityLabel, .y = opacityY, .min = 0, .max = 100,
         .continuous = true},
    };
}

DrawnSetting DrawnEffect::generateButton(double y)
{
    return {.control = DrawnSetting::Control::GenerateButton, .y = y};
}

std::unique_ptr<BaseEffect> DrawnEffect::mycopy() const
{
    auto copy = copyWithZone();
    auto &target = static_cast<DrawnEffect &>(*copy);
    for (const DrawnSetting &s : settings()) {
        if (!s.copied)
            continue;
        std::visit(
            [&](auto field) {
                if constexpr (!std::is_same_v<decltype(field), std::monostate>)
                    target.*field = this->*field;
            },
            s.member);
    }
    return copy;
}

QVariantMap DrawnEffect::save() const
{
    QVariantMap stored = BaseEffect::save();
    for (const DrawnSetting &s : settings()) {
        if (!s.stored)
            continue;
        std::visit(
            [&](auto field) {
                using F = decltype(field);
                if constexpr (std::is_same_v<F, FieldOf<QColor>>)
                    stored.insert(s.key, colorSetting(this->*field));
                else if constexpr (std::is_same_v<F, FieldOf<double>> || std::is_same_v<F, FieldOf<float>>)
                    stored.insert(s.key, float(this->*field));
                else if constexpr (std::is_same_v<F, FieldOf<int>> || std::is_same_v<F, FieldOf<bool>>)
                    stored.insert(s.key, this->*field);
            },
            s.member);
    }
    return stored;
}

void DrawnEffect::read(const QVariantMap &stored)
{
    BaseEffect::read(stored);
    for (const DrawnSetting &s : settings()) {
        if (!s.stored)
            continue;
        // Missing keys keep the member's value; so do values of the wrong kind, rather than
        // turning into zeros.
        const QVariant value = stored.value(s.key);
        bool ok = false;
        std::visit(
            [&](auto field) {
                using F = decltype(field);
                if constexpr (std::is_same_v<F, FieldOf<QColor>>) {
                    if (const auto c = storedColor(value))
                        this->*field = *c;
                } else if constexpr (std::is_same_v<F, FieldOf<double>> || std::is_same_v<F, FieldOf<float>>) {
                    const float v = value.toFloat(&ok);
                    if (ok)
                        this->*field = v;
                } else if constexpr (std::is_same_v<F, FieldOf<int>>) {
                    const int v = value.toInt(&ok);
                    if (ok)
                        this->*field = v;
                } else if constexpr (std::is_same_v<F, FieldOf<bool>>) {
                    if (stored.contains(s.key))
                        this->*field = value.toBool();
                }
            },
            s.member);
    }
}

QVariant DrawnEffect::settingValue(const QString &key) const
{
    const auto list = settings();
    const DrawnSetting *s = find(list, key);
    return s ? valueOf(*this, s->member) : QVariant();
}

void DrawnEffect::changeSetting(const QString &key, QWidget *sender)
{
    const auto list = settings();
    const DrawnSetting *s = find(list, key);
    if (!s)
        return;
    // The control's value in the member's type: whole numbers from sliders and pop-ups, reals from
    // a real-valued slider.
    const QVariant value = std::visit(
        [&](auto field) -> QVariant {
            using F = decltype(field);
            if constexpr (std::is_same_v<F, FieldOf<QColor>>)
                return color(sender);
            else if constexpr (std::is_same_v<F, FieldOf<bool>>)
                return state(sender);
            else if constexpr (std::is_same_v<F, FieldOf<double>>)
                return floatValue(sender);
            else if constexpr (std::is_same_v<F, FieldOf<float>>)
                return float(intValue(sender));
            else
                return intValue(sender);
        },
        s->member);
    storeSetting(*s, value, sender, false);
}

void DrawnEffect::setSetting(const QString &key, const QVariant &value, QWidget *sender)
{
    const auto list = settings();
    if (const DrawnSetting *s = find(list, key))
        storeSetting(*s, value, sender, true);
}

void DrawnEffect::storeSetting(const DrawnSetting &s, const QVariant &value, QWidget *sender, bool moveControl)
{
    // Undo goes through the set action with the old value. The control may be gone by the time the
    // step is undone (another panel was built); the value is then still restored.
    const QVariant old = valueOf(*this, s.member);
    registerUndo([this, key = s.key, old, control = QPointer<QWidget>(sender)] { setSetting(key, old, control.data()); });
    assign(*this, s.member, value);
    if (moveControl)
        setControlValue(sender, valueOf(*this, s.member));
    parameterChanged(s.rerender);
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

void DrawnEffect::setUpControlsView()
{
    using C = DrawnSetting::Control;
    const auto list = settings();
    if (std::none_of(list.begin(), list.end(), [](const DrawnSetting &s) { return s.control != C::None; }))
        return;
    if (!beginControls())
        return;
    const PanelRows panel = rows();
    for (const DrawnSetting &s : list) {
        const QVariant value = valueOf(*this, s.member);
        auto action = [this, key = s.key](QWidget *sender) { changeSetting(key, sender); };
        switch (s.control) {
        case C::None: break;
        case C::Slider:
            panel.slider(s.label, s.y, 120, int(s.min), int(s.max), int(std::lround(value.toDouble())), s.continuous,
                         action);
            break;
        case C::FloatSlider:
            panel.floatSlider(s.label, s.y, 120, s.min, s.max, value.toDouble(), s.continuous, action);
            break;
        case C::ColorWell:
            panel.label(s.label, s.y);
            panel.colorWell(QRectF(140, s.y - 3, 44, 23), value.value<QColor>(), action);
            break;
        case C::CheckBox: panel.checkBox(s.label, s.y, value.toBool(), action); break;
        case C::PopUp: panel.popUp(s.label, s.y, QRectF(140, s.y - 3, 120, 22), s.items, value.toInt(), action); break;
        case C::GenerateButton: {
            auto *button = new QPushButton(tr("Generate"), topControlsView);
            const double width = std::max(topControlsView->width(), 260);
            placeControl(button, QRectF((width - 96) * 0.5, s.y, 96, 24),
                         NSViewMinXMargin | NSViewMaxXMargin | NSViewMinYMargin);
            connect(button, &QPushButton::clicked, this, [this] { regenerate(); });
            break;
        }
        }
    }
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
    // The release renders at full size again (a large picture at the canvas's size).
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
