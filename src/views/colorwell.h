#pragma once

#include <QColor>
#include <QPushButton>

class QColorDialog;

// A colour well: a button filled with its colour. A click opens a colour dialog (with the alpha
// channel) beside the window, not modal, so the picture stays in view. While the user tries
// colours in it the well emits colorPreviewed, which its owner shows without recording an undo
// step. When the dialog closes the well emits previewEnded (the owner puts back exactly the value
// it had before the first preview; the well shows its old colour again), and after OK then
// colorChanged with the chosen colour: one undoable change.
class ColorWell : public QPushButton
{
    Q_OBJECT
public:
    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // The open dialog, while there is one.
    QColorDialog *dialog() const { return m_dialog; }

signals:
    void colorPreviewed(const QColor &color);
    void previewEnded();
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void chooseColor();
    void dialogFinished(int result);

    QColor m_color = Qt::black;
    QColor m_original;
    QColorDialog *m_dialog = nullptr;
};
