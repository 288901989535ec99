#pragma once

#include "effects/drawneffect.h"

// A pencil sketch of the image: a grey copy is inverted, blurred and colour-dodged back onto the
// grey copy, which leaves edges dark on a light ground. No parameters, no controls, no randomness;
// the result is shown alone, without background colour or opacity.
class sketchEffect : public DrawnEffect
{
    Q_OBJECT
public:
    void awakeFromNib() override;
    bool isMousing() const override { return false; }
    // Nothing is copied or stored beyond the base keys, and there are no rows.
    std::vector<DrawnSetting> settings() const override;
    void makeImageEffect() override;
    QImage getDrawImage() override;
    bool drawComposition(QPainter &painter, const QRectF &target, const QRectF &source) override;

    // The sketch of `image`; nothing in gives nothing out, and a failed step gives the input back.
    static QImage convertImage(const QImage &image);
    // The steps, each null on failure.
    static QImage grayspace(const QImage &image);
    static QImage invert(const QImage &image);
    static QImage gaussian(const QImage &image);
    static QImage colorDodge(const QImage &image, const QImage &bgImage);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<sketchEffect>(); }
    void drawMyself(QPainter &, const QRectF &) override {}
};
