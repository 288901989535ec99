#pragma once

#include <QColor>
#include <QWidget>

// A view that strokes a rounded border (corner radius 4) around its bounds.
class MyBorderView : public QWidget
{
    Q_OBJECT
public:
    explicit MyBorderView(QWidget *parent = nullptr);

    void setBorderColor(const QColor &color);
    void setLineWidth(float width);
    QColor borderColor() const { return bgColor; }
    float lineWidth() const { return m_lineWidth; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // Strokes the border; subclasses call it when they decide to draw.
    void drawBorder();

private:
    QColor bgColor = Qt::gray;
    float m_lineWidth = 1.0f;
};
