#pragma once

#include "effects/drawneffect.h"

// A fan of straight lines in random colours from one anchor point, which the user drags on the
// canvas, to random points of the image. Drawn at a reduced size (shorter side at most 200 pixels)
// and stretched, so that a drag can redraw on every mouse move.
class linesEffect : public DrawnEffect
{
    Q_OBJECT
public:
    void awakeFromNib() override;
    bool isMousing() const override { return true; }
    std::vector<DrawnSetting> settings() const override;
    void makeImageEffect() override;

    void mouseDown(QPointF) override { anchorDown(); }
    void mouseDragged(QPointF point) override { anchorDragged(point); }
    void mouseUp(QPointF point) override { anchorUp(point); }

    void setLinesCount(int count) { m_linesCount = count; }
    void setLineWidth(double width) { m_lineWidth = width; }
    void setMZoom(float zoom) { m_imageZoom = zoom; }
    int linesCount() const { return m_linesCount; }
    double lineWidth() const { return m_lineWidth; }
    float imageZoom() const { return m_imageZoom; }

    void changeLinesCount(QWidget *sender) { changeSetting(QStringLiteral("linesCount"), sender); }
    void setchangeLinesCount(int count, QWidget *sender) { setSetting(QStringLiteral("linesCount"), count, sender); }
    void changeLineWidth(QWidget *sender) { changeSetting(QStringLiteral("lineWidth"), sender); }
    void setchangeLineWidth(double width, QWidget *sender) { setSetting(QStringLiteral("lineWidth"), width, sender); }

    // Draws the fan into `rect` of a rendering at m_imageZoom; returns the number of lines drawn.
    int devideLines(QPainter &painter, const QRectF &rect);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<linesEffect>(); }
    // The fan is drawn on a pool thread (see poolthreadpainting.h): a fill per line.
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    int m_linesCount = 500;
    double m_lineWidth = 1.0;
    float m_imageZoom = 1.0f;
};
