#include "widgets/basecoloredbutton.h"

#include <QFile>
#include <QPainter>

BaseColoredButton::BaseColoredButton(QWidget *parent)
    : BaseColoredButton(QString(), parent)
{
}

BaseColoredButton::BaseColoredButton(const QString &title, QWidget *parent)
    : QPushButton(title, parent)
{
}

void BaseColoredButton::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void BaseColoredButton::setAlternateImage(const QImage &image)
{
    m_alternateImage = image;
    update();
}

void BaseColoredButton::setImageScaling(ImageScaling scaling)
{
    if (m_scaling == scaling)
        return;
    m_scaling = scaling;
    update();
}

void BaseColoredButton::setFitToFrame(bool fit)
{
    if (m_fitToFrame == fit)
        return;
    m_fitToFrame = fit;
    update();
}

void BaseColoredButton::setAllowsMixedState(bool allow)
{
    if (m_allowsMixedState == allow)
        return;
    m_allowsMixedState = allow;
    update();
}

bool BaseColoredButton::isSelected() const
{
    return isDown() || (isChecked() && !m_allowsMixedState);
}

QImage BaseColoredButton::imageNamed(const QString &name)
{
    if (name.isEmpty())
        return QImage();
    static const char *const kExtensions[] = {"", ".png", ".tif", ".tiff", ".jpg"};
    for (const char *ext : kExtensions) {
        const QString path = QStringLiteral(":/images/") + name + QLatin1String(ext);
        if (QFile::exists(path))
            return QImage(path);
    }
    return QFile::exists(name) ? QImage(name) : QImage();
}

QImage BaseColoredButton::currentImage() const
{
    if (!isEnabled() && !text().isEmpty())
        return imageNamed(text());
    return isSelected() ? m_alternateImage : m_image;
}

void BaseColoredButton::paintEvent(QPaintEvent *event)
{
    const QImage image = currentImage();
    if (image.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_fitToFrame || m_scaling == ImageScaling::Scale) {
        // A scaled image is resized to the button, so both cases cover the bounds.
        painter.drawImage(rect(), image);
    } else {
        painter.drawImage(QPoint(0, 0), image);
    }
    if (!isEnabled() && text().isEmpty()) {
        // The image itself does not look disabled, so a veil says the button is unavailable.
        painter.fillRect(rect(), QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.5f));
    }
}
