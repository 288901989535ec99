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
    std::vector<DrawnSetting> settings() const override;
    void makeImageEffect() override;

    void setLinesLevel(int level) { m_level = level; }
    void setLineWidth(double width) { m_lineWidth = width; }
    int linesLevel() const { return m_level; }
    double lineWidth() const { return m_lineWidth; }

    void changeLinesLevel(QWidget *sender) { changeSetting(QStringLiteral("level"), sender); }
    void setchangeLinesLevel(int level, QWidget *sender) { setSetting(QStringLiteral("level"), level, sender); }
    void changeLineWidth(QWidget *sender) { changeSetting(QStringLiteral("lineWidth"), sender); }
    void setchangeLineWidth(double width, QWidget *sender) { setSetting(QStringLiteral("lineWidth"), width, sender); }

    // The tile for a rendering of (w, h): top row first, each pixel one block of the patchwork.
    static QImage drawPatchwork(int w, int h);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<patchWorkEffect>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    int m_level = 7;
    double m_lineWidth = 7.5;
};
