#pragma once

#include "effects/drawneffect.h"

// A Hilbert space-filling curve over the image, drawn as thick segments whose colour changes
// randomly as the recursion descends.
class hilbertLinesEffect : public DrawnEffect
{
    Q_OBJECT
public:
    void awakeFromNib() override;
    std::vector<DrawnSetting> settings() const override;

    void setLinesLevel(int level) { m_level = level; }
    void setLineWidth(double width) { m_lineWidth = width; }
    int linesLevel() const { return m_level; }
    double lineWidth() const { return m_lineWidth; }

    void changeLinesLevel(QWidget *sender) { changeSetting(QStringLiteral("level"), sender); }
    void setchangeLinesLevel(int level, QWidget *sender) { setSetting(QStringLiteral("level"), level, sender); }
    void changeLineWidth(QWidget *sender) { changeSetting(QStringLiteral("lineWidth"), sender); }
    void setchangeLineWidth(double width, QWidget *sender) { setSetting(QStringLiteral("lineWidth"), width, sender); }

    // Draws the curve over `rect`; returns the number of segments drawn.
    int drawHilbertRect(QPainter &painter, const QRectF &rect);
    // The step length and the pen's start of the last drawing.
    int stepLength() const { return dist; }
    QPointF penStart() const { return m_penStart; }

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<hilbertLinesEffect>(); }
    // The curve is drawn on a pool thread (see poolthreadpainting.h): a fill per segment.
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    void hilbertU(int n);
    void hilbertD(int n);
    void hilbertC(int n);
    void hilbertA(int n);
    void goToX(float px, float py) { x = px; y = py; }
    void lineRel(float dx, float dy);
    void newColor();

    int m_level = 7;
    double m_lineWidth = 7.5;
    int dist = 0;
    float x = 0, y = 0;
    // Working state of one drawing.
    QPainter *m_painter = nullptr;
    int m_segments = 0;
    QPointF m_penStart;
};
