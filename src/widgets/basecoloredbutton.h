#pragma once

#include <QImage>
#include <QPushButton>

// A button drawn from images instead of a bezel: the normal image, the alternate image while
// selected (pressed, or on when it has no mixed state) and, when disabled with a title, the
// resource image named by that title. Without any image it draws as a standard push button.
class BaseColoredButton : public QPushButton
{
    Q_OBJECT

public:
    // Scale: the image is resized to the button before drawing. None: it keeps its own size.
    enum class ImageScaling { Scale, None };

    explicit BaseColoredButton(QWidget *parent = nullptr);
    explicit BaseColoredButton(const QString &title, QWidget *parent = nullptr);

    void setImage(const QImage &image);
    QImage image() const { return m_image; }
    void setAlternateImage(const QImage &image);
    QImage alternateImage() const { return m_alternateImage; }

    void setImageScaling(ImageScaling scaling);
    ImageScaling imageScaling() const { return m_scaling; }

    // Draw the image stretched over the bounds instead of at its own size.
    void setFitToFrame(bool fit);
    bool isFitToFrame() const { return m_fitToFrame; }

    bool isDragEnable() const { return m_dragEnable; }
    void setDragEnable(bool enable) { m_dragEnable = enable; }

    // A button that allows the mixed state only looks selected while it is held down.
    void setAllowsMixedState(bool allow);
    bool allowsMixedState() const { return m_allowsMixedState; }

    // Held down, or on without a mixed state.
    bool isSelected() const;

    // The image that drawing would use now; null when the standard drawing applies.
    QImage currentImage() const;

    // A resource image by name: ":/images/<name>" with the usual extensions, or a path.
    static QImage imageNamed(const QString &name);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    QImage m_alternateImage;
    ImageScaling m_scaling = ImageScaling::Scale;
    bool m_fitToFrame = false;
    bool m_dragEnable = false;
    bool m_allowsMixedState = false;
};
