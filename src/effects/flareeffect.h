#pragma once

#include "effects/drawneffect.h"

#include <vector>

// A grey star-burst: a bright centre at the anchor with randomly placed, randomly long spikes that
// fade away from the centre and from each spike's line. Computed per pixel at a reduced size
// (shorter side at most 150) and stretched; dragging on the canvas moves the centre.
class flareEffect : public DrawnEffect
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
    float imageZoom() const { return m_imageZoom; }
    // The spike angles of the last rendering.
    const std::vector<double> &spikeAngles() const { return m_angles; }

    void changeLinesCount(QWidget *sender) { changeSetting(QStringLiteral("linesCount"), sender); }
    void setchangeLinesCount(int count, QWidget *sender) { setSetting(QStringLiteral("linesCount"), count, sender); }

    // Computes the flare into `image` (an opaque grey level per pixel; image row 0 is the top).
    void drawFlare(QImage &image);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<flareEffect>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    int m_linesCount = 30;
    double m_lineWidth = 1.0;
    float m_imageZoom = 1.0f;
    std::vector<double> m_angles;
};
