#pragma once

#include "effects/drawneffect.h"

#include <array>

// A colourful interference pattern: each colour channel is the sum of four sine waves (two along
// x, two along y) with random phases, mapped through a fixed brightness curve. Computed on a square
// of at most 600 pixels a side and stretched over the image.
class plasmaEffect : public DrawnEffect
{
    Q_OBJECT
public:
    static constexpr int maxSide = 600;
    static constexpr int waveSize = 2000;
    static constexpr int lumaSize = 1024;
    static constexpr int maxColumns = 1300;

    void awakeFromNib() override;
    std::vector<DrawnSetting> settings() const override;
    // A copy with its own new phases.
    std::unique_ptr<BaseEffect> mycopy() const override;
    void makeImageEffect() override;

    // Fills the tables and draws new phases.
    void setupPlazma();
    // The pattern for a rendering of (w, h): a square of min(w, h) pixels, at most 600.
    QImage drawPlazma(int w, int h);

    const std::array<int, 12> &phases() const { return pos; }
    int lumaAt(int v) const { return luma[size_t(v)]; }

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<plasmaEffect>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    std::array<int, waveSize> wave{};
    std::array<int, waveSize> wave2{};
    std::array<int, lumaSize> luma{};
    // Three channel groups of four: element 2m of a group is a phase into wave, 2m + 1 into wave2.
    std::array<int, 12> pos{};
};
