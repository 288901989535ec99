#pragma once

#include "effects/drawneffect.h"

// A patchwork of coloured blocks: a small tile (at most 200 x 200) filled with random colours,
// smeared by many thousand short pixel copies so that colours clump, and stretched over the image so
// that every tile pixel becomes a block.
class patchWorkEffect : public DrawnEffect
{
    Q_OBJECT
public:
    static constexpr int maxTile = 200;

    void awakeFromNib() override;
    std::unique_ptr<BaseEffect> mycopy() const override;
    void setUpControlsView() override;
    void makeImageEffect() override;
    void read(const QVariantMap &settings) override;
    QVariantMap save() const override;

    void setLinesLevel(int level) { m_level = level; }
    void setLineWidth(double width) { m_lineWidth = width; }
    int linesLevel() const { return m_level; }
    double lineWidth() const { return m_lineWidth; }

    void changeLinesLevel(QWidget *sender);
    void setchangeLinesLevel(int level, QWidget *sender);
    void changeLineWidth(QWidget *sender);
    void setchangeLineWidth(double width, QWidget *sender);

    // The tile for a rendering of (w, h): top row first, each pixel one block of the patchwork.
    static QImage drawPatchwork(int w, int h);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<patchWorkEffect>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    int m_level = 7;
    double m_lineWidth = 7.5;
};
