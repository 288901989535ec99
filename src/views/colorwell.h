#pragma once

#include <QColor>
#include <QPushButton>

// A colour well: a button filled with its colour that opens the colour dialog (with the alpha
// channel) when clicked, and emits colorChanged when the user picks a different colour.
class ColorWell : public QPushButton
{
    Q_OBJECT
public:
    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

signals:
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void chooseColor();

    QColor m_color = Qt::black;
};
