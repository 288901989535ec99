#pragma once

#include <QColor>
#include <QImage>
#include <QPushButton>

// A checkable button whose face is a vertical gradient in the application's accent colours: violet
// when on, grey when off, in shades that suit the current (dark or light) appearance. The face is
// an image made by setState; the owner re-sets the state when the appearance changes, which
// repaints the face in the new shades.
class GradientButton : public QPushButton
{
    Q_OBJECT

public:
    explicit GradientButton(QWidget *parent = nullptr);
    explicit GradientButton(const QString &text, QWidget *parent = nullptr);

    // Sets the checked state and always regenerates the face, even when the state is unchanged.
    void setState(bool on);
    bool state() const { return isChecked(); }

    // The face for the given state, the size of the button: the base colour at the top running to
    // a darker shade at the bottom.
    QImage gradientImage(bool on) const;
    static QColor darkerColorForColor(const QColor &color);
    // The face's top colour for the state in the current appearance.
    static QColor baseColor(bool on);

    // The face currently shown.
    const QImage &faceImage() const { return m_face; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void regenerate();

    QImage m_face;
};
