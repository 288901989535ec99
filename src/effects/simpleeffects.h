#pragma once

#include "effects/drawneffect.h"

// Simple random shapes over the image: rectangles, circles, Bezier paths, triangles, flowers,
// balls, rays of lights or spinning squares, in random colours.
class simpleEffects : public DrawnEffect
{
    Q_OBJECT
public:
    enum ObjectType { Rects, Circles, BezierPaths, Triangles, Flowers, Balls, Lights, SpinSquares };

    void awakeFromNib() override;
    std::vector<DrawnSetting> settings() const override;

    void setObjectMode(int type) { m_drawObj = type; }
    void seObjectCount(int count) { m_object_count = count; }
    int objectMode() const { return m_drawObj; }
    int objectCount() const { return m_object_count; }
    // The pop-up's items, in the order of ObjectType.
    static QStringList objectTypeTitles();

    void changeObjectType(QWidget *sender) { changeSetting(QStringLiteral("drawObj"), sender); }
    void setObjectType(int type, QWidget *sender) { setSetting(QStringLiteral("drawObj"), type, sender); }
    void changeObjectCount(QWidget *sender) { changeSetting(QStringLiteral("object_count"), sender); }
    void setChangObjCount(int count, QWidget *sender) { setSetting(QStringLiteral("object_count"), count, sender); }
    // This effect's names for the common set actions.
    void setBgColor(QColor color, QWidget *sender) { setchangeBgColor(color, sender); }
    using DrawnEffect::setBgColor;
    void setUseBgImage(bool on, QWidget *sender) { setuseBgImage(on, sender); }
    void setChangOpacity(float opacity, QWidget *sender) { setchangeOpacity(opacity, sender); }

    // The drawing routines; each returns the number of shapes it drew.
    int rectangles(QPainter &p, const QRectF &rect);
    int circles(QPainter &p, const QRectF &rect);
    int bezierPaths(QPainter &p, const QRectF &rect);
    int triangles(QPainter &p, const QRectF &rect);
    int flowers(QPainter &p, const QRectF &rect);
    int balls(QPainter &p, const QRectF &rect);
    int lights(QPainter &p, const QRectF &rect);
    int spinningSquares(QPainter &p, const QRectF &rect);

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<simpleEffects>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override;
    // Balls and flowers blend millions of pixels at the canvas's size (balls several times the
    // canvas's area): a drag draws them at half its resolution.
    double dragDetail() const override { return m_drawObj == Balls || m_drawObj == Flowers ? 0.5 : 1.0; }

private:
    int m_drawObj = Rects;
    int m_object_count = 30;
};
