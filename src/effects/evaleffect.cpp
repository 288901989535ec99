#include "effects/evaleffect.h"

#include "effects/drawneffect.h"
#include "effects/texture2d.h"
#include "views/colorwell.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

// Texture coordinates at the corners (u, v) = (0, 0), (0, 1), (1, 0), (1, 1): (0, 0), (0, 0),
// (0, 1), (1, 1), so that s = u * v and t = u.
const GLdouble textureControls[16] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};
// Colours at the corners (u, v) = (0, 0) black, (0, 1) cyan with alpha 0, (1, 0) magenta,
// (1, 1) yellow. These are the corners of the eight values 0, 0, 0, 1, 1, 0, 1, 1 read as
// overlapping points (a step of two values in v, four in u), completed by blue 0 and alpha 1; each
// point is written out in full because OpenGL refuses a colour map whose points overlap.
const GLdouble colorControls[16] = {0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1};
// The picture shown without an image: 2 x 4 texels, rows (white, red), (red, white), ...
const GLfloat checker[2 * 4 * 4] = {1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1,
                                    1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1};

const std::array<double, 24> defaultPoints = {-0.5, -0.5, 0.5,  1, 0.0, 0.6,  0.5,  1, 0.5, -0.5, 0.5,  1,
                                              -0.5, 0.5,  -0.5, 1, 0.0, -0.6, -0.5, 1, 0.5, 0.5,  -0.5, 1};

QString key(const char *name, int i)
{
    return QString::fromLatin1(name) + QString::number(i);
}

} // namespace

void EvalEffect::awakeFromNib()
{
    setName(tr("Surface Rotate"));
    setTips(tr("3D Surface Rotate"));
    m_objectRotation = {90, -45, 0, 0};
    m_borderColor = {1, 1, 1, 1};
    m_borderSize = 4;
    m_polygonFilled = 1;
    m_point2 = defaultPoints;
    m_decal = decalMode;
    m_decalColor = {1, 0, 0, 0};
}

std::unique_ptr<BaseEffect> EvalEffect::mycopy() const
{
    auto copy = copyWithZone();
    auto *c = static_cast<EvalEffect *>(copy.get());
    c->setRotationE(m_objectRotation);
    c->setFilledMode(m_polygonFilled);
    c->setPoints2(m_point2);
    c->setDecalMode(m_decal);
    c->setDecalColor(m_decalColor);
    // Stored with the settings, so a copy keeps them too.
    c->m_borderColor = m_borderColor;
    c->m_borderSize = m_borderSize;
    return copy;
}

void EvalEffect::initEffect()
{
    evalInit();
    loadImage();
}

void EvalEffect::draw()
{
    initEffect();
    loadImage();
    evalDraw();
}

void EvalEffect::clearEffect()
{
    clearTopControlsView();
    clearFilter();
}

void EvalEffect::evalInit()
{
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    // Linear in u between the rows (P0, P1, P2) and (P3, P4, P5), quadratic in v along each row.
    glMap2d(GL_MAP2_VERTEX_3, 0, 1, 12, 2, 0, 1, 4, 3, m_point2.data());
    glMap2d(GL_MAP2_TEXTURE_COORD_2, 0, 1, 8, 2, 0, 1, 4, 2, textureControls);
    glMap2d(GL_MAP2_COLOR_4, 0, 1, 8, 2, 0, 1, 4, 2, colorControls);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, m_decal);
}

void EvalEffect::evalDraw()
{
    // The image's texture is made once per image and reused by every frame after.
    m_texture = imageTexture();
    if (m_texture) {
        m_texture->bind();
    } else {
        clearFilter();
        // The checker goes into the default texture, sampled without smoothing.
        glBindTexture(GL_TEXTURE_2D, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, 2, 4, 0, GL_RGBA, GL_FLOAT, checker);
    }

    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glRotatef(m_objectRotation[1] * 0.5f, 1, 0, 0);
    glRotatef(m_objectRotation[0] * 0.5f, 0, 1, 0);
    RenderEval();
    glPopMatrix();
    glFlush();
}

void EvalEffect::RenderEval()
{
    glEnable(GL_TEXTURE_2D);
    // The sheet's colours tint the picture in modulate mode. In decal mode they would only bring
    // their alpha into the frame, so the picture is drawn opaque and unchanged instead.
    if (m_decal == modulateMode)
        glEnable(GL_MAP2_COLOR_4);
    else
        glColor4f(1, 1, 1, 1);
    glEnable(GL_MAP2_TEXTURE_COORD_2);
    glEnable(GL_MAP2_VERTEX_3);
    glPolygonMode(GL_FRONT_AND_BACK, m_polygonFilled ? GL_FILL : GL_LINE);
    glShadeModel(GL_SMOOTH);
    DrawMapEval2(stepU, stepV);
    glDisable(GL_MAP2_VERTEX_3);
    glDisable(GL_MAP2_TEXTURE_COORD_2);
    glDisable(GL_MAP2_COLOR_4);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void EvalEffect::DrawMapEval2(float du, float dv)
{
    // The colour map gives every evaluated vertex its own colour; this one only stands until then.
    if (m_decal == modulateMode)
        glColor3f(m_decalColor[0], m_decalColor[1], m_decalColor[2]);
    if (!(du > 0) || !(dv > 0))
        return;
    // The steps are summed in single precision: each strip has the stations 0 to 0.95 and then
    // closes at u = 1; the last band's closing pair lies just above v = 1.
    float v = 0;
    do {
        glBegin(GL_QUAD_STRIP);
        for (float u = 0; u <= 1.0f; u += du) {
            glEvalCoord2d(u, v);
            glEvalCoord2d(u, std::min(v + dv, 1.0f));
        }
        glEvalCoord2d(1.0, v);
        glEvalCoord2d(1.0, double(v + dv));
        glEnd();
        v += dv;
    } while (v < 1.0f);
}

// Controls.

void EvalEffect::setUpControlsView()
{
    if (!beginControls())
        return;
    const PanelRows r = rows();
    r.floatSlider(tr("First Curve:"), 193, 170, -1.2, 1.0, m_point2[5], true, [this](QWidget *s) { changepoint5(s); });
    r.floatSlider(tr("Second Curve:"), 173, 170, -1.0, 1.2, m_point2[17], true, [this](QWidget *s) { changepoint17(s); });
    r.checkBox(tr("Filled Poly:"), 153, m_polygonFilled != 0, [this](QWidget *s) { changepoligonFilled(s); });
    r.checkBox(tr("Colored Light:"), 133, m_decal != decalMode, [this](QWidget *s) { changeDecal(s); });
    // The colour well sits 10 points right of the check box and 3 lower.
    r.colorWell(QRectF(controlX + 16 + 10, 133 - 3, 44, 23), QColor::fromRgbF(m_decalColor[0], m_decalColor[1], m_decalColor[2], 1),
                [this](QWidget *s) { changeDecalColor(s); });
}

void EvalEffect::changePoint(int idx, QWidget *sender)
{
    const double old = m_point2[size_t(idx)];
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, idx, control] { setPoints(old, idx, control.data()); });
    m_point2[size_t(idx)] = DrawnEffect::floatValue(sender);
    postUpdate();
}

void EvalEffect::changepoint5(QWidget *sender)
{
    changePoint(5, sender);
}

void EvalEffect::changepoint17(QWidget *sender)
{
    changePoint(17, sender);
}

void EvalEffect::setPoints(double value, int idx, QWidget *sender)
{
    if (idx < 0 || idx >= int(m_point2.size()))
        return;
    const double old = m_point2[size_t(idx)];
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, idx, control] { setPoints(old, idx, control.data()); });
    m_point2[size_t(idx)] = value;
    DrawnEffect::setControlValue(sender, value);
    postUpdate();
}

void EvalEffect::changepoligonFilled(QWidget *sender)
{
    const int old = m_polygonFilled;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setpolygonFilled(old, control.data()); });
    m_polygonFilled = DrawnEffect::state(sender) ? 1 : 0;
    postUpdate();
}

void EvalEffect::setpolygonFilled(int filled, QWidget *sender)
{
    const int old = m_polygonFilled;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setpolygonFilled(old, control.data()); });
    m_polygonFilled = filled;
    DrawnEffect::setControlValue(sender, filled != 0);
    postUpdate();
}

void EvalEffect::changeDecal(QWidget *sender)
{
    const float old = m_decal;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { changeM_Decal(old, control.data()); });
    m_decal = DrawnEffect::state(sender) ? modulateMode : decalMode;
    postUpdate();
}

void EvalEffect::changeM_Decal(float mode, QWidget *sender)
{
    const float old = m_decal;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { changeM_Decal(old, control.data()); });
    // Only the two modes exist: anything but modulate is decal, as the check box shows it.
    m_decal = mode == modulateMode ? modulateMode : decalMode;
    DrawnEffect::setControlValue(sender, m_decal == modulateMode);
    postUpdate();
}

void EvalEffect::changeDecalColor(QWidget *sender)
{
    const QColor old = QColor::fromRgbF(m_decalColor[0], m_decalColor[1], m_decalColor[2], 1);
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setDecalColor(old, control.data()); });
    const QColor c = DrawnEffect::color(sender);
    m_decalColor[0] = c.redF();
    m_decalColor[1] = c.greenF();
    m_decalColor[2] = c.blueF();
    postUpdate();
}

void EvalEffect::setDecalColor(QColor color, QWidget *sender)
{
    const QColor old = QColor::fromRgbF(m_decalColor[0], m_decalColor[1], m_decalColor[2], 1);
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setDecalColor(old, control.data()); });
    m_decalColor[0] = color.redF();
    m_decalColor[1] = color.greenF();
    m_decalColor[2] = color.blueF();
    color.setAlphaF(1);
    DrawnEffect::setControlValue(sender, color);
    postUpdate();
}

// Settings.

QVariantMap EvalEffect::save() const
{
    QVariantMap settings = BaseEffect::save();
    for (int i = 0; i < 4; ++i) {
        settings.insert(key("objectRotation", i), m_objectRotation[size_t(i)]);
        settings.insert(key("borderColor", i), m_borderColor[size_t(i)]);
    }
    settings.insert(QStringLiteral("borderSize"), m_borderSize);
    settings.insert(QStringLiteral("polygonFilled"), m_polygonFilled);
    for (int i = 0; i < 24; ++i)
        settings.insert(key("point2", i), float(m_point2[size_t(i)]));
    settings.insert(QStringLiteral("decal"), m_decal);
    for (int i = 0; i < 3; ++i)
        settings.insert(key("decalColor", i), m_decalColor[size_t(i)]);
    return settings;
}

void EvalEffect::read(const QVariantMap &settings)
{
    BaseEffect::read(settings);
    for (int i = 0; i < 4; ++i) {
        readNumber(settings, key("objectRotation", i), m_objectRotation[size_t(i)]);
        readNumber(settings, key("borderColor", i), m_borderColor[size_t(i)]);
    }
    readNumber(settings, QStringLiteral("borderSize"), m_borderSize);
    readNumber(settings, QStringLiteral("polygonFilled"), m_polygonFilled);
    for (int i = 0; i < 24; ++i) {
        // Each control point is stored as a single-precision number.
        float p = 0;
        if (readNumber(settings, key("point2", i), p))
            m_point2[size_t(i)] = p;
    }
    readNumber(settings, QStringLiteral("decal"), m_decal);
    for (int i = 0; i < 3; ++i)
        readNumber(settings, key("decalColor", i), m_decalColor[size_t(i)]);
}
