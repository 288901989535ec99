#pragma once

#include "effects/drawneffect.h"

// A rosette of equal ellipse outlines turned about the anchor. The ellipses' height and offset are
// morphing values that glide towards new random targets with damped, springy motion on each
// "Generate", so that successive patterns grow out of each other.
class patMorphingEffect : public DrawnEffect
{
    Q_OBJECT
public:
    // One morphing value: a damped spring pulled towards its target.
    struct MorphValue
    {
        float value = 0, velocity = 0, acceleration = 0, force = 0, mass = 1.0f, damping = 0.75f,
              attraction = 0.5f;
        int targeting = 0;
        float target = 0;

        void reset(float start);
        void step();
    };
    // Held once for the class: every instance and copy shares them.
    static MorphValue s_height, s_offsetX, s_offsetY;

    void awakeFromNib() override;
    bool isMousing() const override { return true; }
    std::vector<DrawnSetting> settings() const override;
    // A copy; the shared morphing values start anew.
    std::unique_ptr<BaseEffect> mycopy() const override;
    void regenerate() override;

    void mouseDown(QPointF) override { anchorDown(); }
    void mouseDragged(QPointF point) override { anchorDragged(point); }
    void mouseUp(QPointF point) override { anchorUp(point); }

    // New random start values for the three morphing values.
    static void setupPatMorphing();
    // New targets and one step of each value.
    static void updateValues();

    void setPatColor(const QColor &color) { m_patColor = color; }
    void setPatCount(int count) { m_count = count; }
    void setLineWidth(double width) { m_lineWidth = width; }
    void setProportin(double proportion) { m_proportion = proportion; }
    QColor patColor() const { return m_patColor; }
    int patCount() const { return m_count; }
    double lineWidth() const { return m_lineWidth; }
    double proportion() const { return m_proportion; }

    void changePatCount(QWidget *sender) { changeSetting(QStringLiteral("count"), sender); }
    void setchangePatCount(int count, QWidget *sender) { setSetting(QStringLiteral("count"), count, sender); }
    void changePatColor(QWidget *sender) { changeSetting(QStringLiteral("patColor"), sender); }
    void setchangePatColor(QColor color, QWidget *sender) { setSetting(QStringLiteral("patColor"), color, sender); }
    void changeLineWidth(QWidget *sender) { changeSetting(QStringLiteral("lineWidth"), sender); }
    void setchangeLineWidth(double width, QWidget *sender) { setSetting(QStringLiteral("lineWidth"), width, sender); }
    void changeProportion(QWidget *sender) { changeSetting(QStringLiteral("proportion"), sender); }
    void setchangeProportion(double proportion, QWidget *sender)
    {
        setSetting(QStringLiteral("proportion"), proportion, sender);
    }

    // Strokes the rosette centred on the anchor; returns the number of ellipses drawn.
    int drawPatterns(QPainter &painter);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<patMorphingEffect>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;

private:
    QColor m_patColor = QColor::fromRgbF(0.2f, 1.0f, 0.2f, 1.0f);
    int m_count = 30;
    double m_lineWidth = 10.0;
    double m_proportion = 0.5;
};
