#include "widgets/gradientbutton.h"

#include "platform/appearance.h"

#include <QLinearGradient>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

GradientButton::GradientButton(QWidget *parent)
    : GradientButton(QString(), parent)
{
}

GradientButton::GradientButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    setCheckable(true);
    // A click changes the state without going through setState; the face must follow it.
    connect(this, &QPushButton::toggled, this, [this] { regenerate(); });
    regenerate();
}

void GradientButton::setState(bool on)
{
    setChecked(on);
    // Regenerate even when nothing changed: the appearance may have changed since the last face.
    regenerate();
}

QColor GradientButton::baseColor(bool on)
{
    if (isDarkAppearance()) {
        return on ? QColor::fromRgbF(0.5843137254901961f, 0.5176470588235295f, 0.8784313725490196f, 1.0f)
                  : QColor::fromRgbF(0.35294117647058826f, 0.35294117647058826f, 0.35294117647058826f, 1.0f);
    }
    return on ? QColor::fromRgbF(0.8156862745098039f, 0.7843137254901961f, 1.0f, 1.0f)
              : QColor::fromRgbF(0.8627450980392157f, 0.8627450980392157f, 0.8627450980392157f, 1.0f);
}

QColor GradientButton::darkerColorForColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return QColor::fromRgbF(std::max(0.0f, rgb.redF() - 0.2f), std::max(0.0f, rgb.greenF() - 0.2f),
                            std::max(0.0f, rgb.blueF() - 0.2f), rgb.alphaF());
}

QImage GradientButton::gradientImage(bool on) const
{
    const QSize sz = size().isEmpty() ? QSize(1, 1) : size();
    QImage image(sz, QImage::Format_ARGB32_Premultiplied);
    const QColor base = baseColor(on);
    QLinearGradient gradient(0, 0, 0, sz.height());
    gradient.setColorAt(0.0, base);
    gradient.setColorAt(1.0, darkerColorForColor(base));
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(image.rect(), gradient);
    return image;
}

void GradientButton::regenerate()
{
    m_face = gradientImage(isChecked());
    update();
}

void GradientButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    if (event->size() != m_face.size())
        regenerate();
}

void GradientButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_face);
    if (isDown()) {
        // Pressed feedback without changing the face itself.
        painter.fillRect(rect(), QColor(0, 0, 0, 40));
    }
    if (hasFocus()) {
        QPen pen(palette().color(QPalette::Highlight));
        pen.setWidth(1);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::ButtonText));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
