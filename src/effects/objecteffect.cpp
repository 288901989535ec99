#include "effects/objecteffect.h"

#include "effects/drawneffect.h"
#include "effects/texture2d.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// The solids, centred on the origin; a strip is a triangle strip, texture coordinates run from 0
// to 1 (t = 0 is the bottom row of the picture).

// Stack i spans the polar angles a = i pi / M to b = a + pi / M; slice j the azimuth c = j 2 pi / N.
void drawSphere(int stacks, int slices, double r)
{
    for (int i = 0; i < stacks; ++i) {
        const double a = i * pi / stacks, b = a + pi / stacks;
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            const double c = j * 2 * pi / slices;
            const double s = double(j) / slices;
            glNormal3d(std::sin(a) * std::cos(c), std::sin(a) * std::sin(c), std::cos(a));
            glTexCoord2d(s, double(i) / stacks);
            glVertex3d(r * std::sin(a) * std::cos(c), r * std::sin(a) * std::sin(c), r * std::cos(a));
            glNormal3d(std::sin(b) * std::cos(c), std::sin(b) * std::sin(c), std::cos(b));
            glTexCoord2d(s, double(i + 1) / stacks);
            glVertex3d(r * std::sin(b) * std::cos(c), r * std::sin(b) * std::sin(c), r * std::cos(b));
        }
        glEnd();
    }
}

// Axis along z from +h/2 down to -h/2; no end caps.
void drawCylinder(int stacks, int slices, double h, double r)
{
    for (int i = 0; i < stacks; ++i) {
        const double z0 = h / 2 - i * h / stacks, z1 = z0 - h / stacks;
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            const double c = j * 2 * pi / slices;
            const double s = double(j) / slices;
            glNormal3d(std::cos(c), std::sin(c), 0);
            glTexCoord2d(s, double(i) / stacks);
            glVertex3d(r * std::cos(c), r * std::sin(c), z0);
            glTexCoord2d(s, double(i + 1) / stacks);
            glVertex3d(r * std::cos(c), r * std::sin(c), z1);
        }
        glEnd();
    }
}

// Ring in the x-y plane: segment i spans the angles a to b around z, station j the angle c around
// the tube.
void drawTorus(int major, int minor, double R, double rho)
{
    for (int i = 0; i < major; ++i) {
        const double a = i * 2 * pi / major, b = a + 2 * pi / major;
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= minor; ++j) {
            const double c = j * 2 * pi / minor;
            const double d = R + rho * std::cos(c);
            const double t = double(j) / minor;
            glNormal3d(std::cos(a) * std::cos(c), std::sin(a) * std::cos(c), std::sin(c));
            glTexCoord2d(double(i) / major, t);
            glVertex3d(d * std::cos(a), d * std::sin(a), rho * std::sin(c));
            glNormal3d(std::cos(b) * std::cos(c), std::sin(b) * std::cos(c), std::sin(c));
            glTexCoord2d(double(i + 1) / major, t);
            glVertex3d(d * std::cos(b), d * std::sin(b), rho * std::sin(c));
        }
        glEnd();
    }
}

void cubeFace()
{
    glBegin(GL_QUADS);
    glNormal3d(0, 0, 1);
    glTexCoord2d(0, 0);
    glVertex3d(-0.5, -0.5, 0.5);
    glTexCoord2d(1, 0);
    glVertex3d(0.5, -0.5, 0.5);
    glTexCoord2d(1, 1);
    glVertex3d(0.5, 0.5, 0.5);
    glTexCoord2d(0, 1);
    glVertex3d(-0.5, 0.5, 0.5);
    glEnd();
}

// Edge 1: the face at z = +0.5 turned onto the six sides.
void drawCube()
{
    glPushMatrix();
    cubeFace();
    for (int i = 0; i < 3; ++i) {
        glRotated(90, 1, 0, 0);
        cubeFace();
    }
    glRotated(90, 0, 1, 0);
    cubeFace();
    glRotated(180, 0, 1, 0);
    cubeFace();
    glPopMatrix();
}

// Apex (0, 0.6, 0), base at y = -0.6 with x and z at +-0.6.
void drawPyramid()
{
    const double sides[4][4] = {{-0.6, 0.6, 0.6, 0.6}, {0.6, 0.6, 0.6, -0.6}, {0.6, -0.6, -0.6, -0.6}, {-0.6, -0.6, -0.6, 0.6}};
    glBegin(GL_TRIANGLES);
    for (const auto &side : sides) {
        glTexCoord2d(0.5, 1);
        glVertex3d(0, 0.6, 0);
        glTexCoord2d(0, 0);
        glVertex3d(side[0], -0.6, side[1]);
        glTexCoord2d(1, 0);
        glVertex3d(side[2], -0.6, side[3]);
    }
    glEnd();
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex3d(-0.6, -0.6, -0.6);
    glTexCoord2d(1, 0);
    glVertex3d(0.6, -0.6, -0.6);
    glTexCoord2d(1, 1);
    glVertex3d(0.6, -0.6, 0.6);
    glTexCoord2d(0, 1);
    glVertex3d(-0.6, -0.6, 0.6);
    glEnd();
}

// The cone and the disk come from GLU's quadrics.
void drawQuadric(bool disk)
{
    GLUquadric *quadric = gluNewQuadric();
    if (!quadric)
        return;
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricDrawStyle(quadric, GLU_FILL);
    if (disk)
        gluDisk(quadric, 0.2, 1.0, 100, 20);
    else
        gluCylinder(quadric, 0.6, 0.0, 1.0, 20, 20);
    gluDeleteQuadric(quadric);
}

QString rotationKey(int i)
{
    return QStringLiteral("objectRotationEFF") + QString::number(i);
}

} // namespace

QStringList ObjectEffect::objectNames()
{
    return {tr("Sphere"), tr("Cylinder"), tr("Torus"), tr("Cube"), tr("Cone"), tr("Pyramid"), tr("Disk")};
}

void ObjectEffect::awakeFromNib()
{
    setName(tr("3D Objects"));
    setTips(tr("3D Objects Texuture"));
}

std::unique_ptr<BaseEffect> ObjectEffect::mycopy() const
{
    auto copy = copyWithZone();
    auto *c = static_cast<ObjectEffect *>(copy.get());
    c->setRotationO(m_objectRotationEFF);
    c->setObjectMode(m_drawObj);
    return copy;
}

void ObjectEffect::initEffect()
{
    objectsInit();
    loadImage();
}

void ObjectEffect::objectsInit()
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
}

void ObjectEffect::draw()
{
    if (!wasInit) {
        initEffect();
        wasInit = true;
    }
    loadImage();
    glPushMatrix();
    objectsDraw();
    glPopMatrix();
    glFlush();
}

void ObjectEffect::loadImage()
{
    // The texture follows the current image; it is made once per image (see Texture2D) and only
    // fetched here on later frames.
    m_texture = imageTexture();
}

void ObjectEffect::reloadImage()
{
    clearFilter();
    loadImage();
}

void ObjectEffect::clearEffect()
{
    clearFilter();
    clearTopControlsView();
    wasInit = false;
}

void ObjectEffect::objectsDraw()
{
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    redraw();
    glPopMatrix();
    glFlush();
    glLoadIdentity();
}

void ObjectEffect::redraw()
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_texture)
        return;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDepthMask(GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    m_texture->bind();

    glPushMatrix();
    glRotatef(-0.5f * m_objectRotationEFF[1], 1, 0, 0);
    glRotatef(-0.5f * m_objectRotationEFF[0], 0, 1, 0);
    switch (m_drawObj) {
    case Sphere: drawSphere(64, 64, 0.8); break;
    case Cylinder: drawCylinder(32, 64, 1.0, 0.4); break;
    case Torus: drawTorus(64, 64, 0.6, 0.2); break;
    case Cube: drawCube(); break;
    case Cone: drawQuadric(false); break;
    case Pyramid: drawPyramid(); break;
    case Disk: drawQuadric(true); break;
    default: break;
    }
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
}

// Controls.

void ObjectEffect::setUpControlsView()
{
    if (!beginControls())
        return;
    rows().popUp(tr("Object type:"), 193, QRectF(controlX, 193 - 4, 120, 24), objectNames(), m_drawObj,
                 [this](QWidget *s) { changeObjectType(s); });
}

void ObjectEffect::changeObjectType(QWidget *sender)
{
    const int old = m_drawObj;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setObjectPopup(old, control.data()); });
    m_drawObj = DrawnEffect::intValue(sender);
    postUpdate();
}

void ObjectEffect::setObjectPopup(int index, QWidget *sender)
{
    const int old = m_drawObj;
    const QPointer<QWidget> control(sender);
    recordUndo([this, old, control] { setObjectPopup(old, control.data()); });
    DrawnEffect::setControlValue(sender, index);
    m_drawObj = index;
    postUpdate();
}

// Settings.

QVariantMap ObjectEffect::save() const
{
    QVariantMap settings = BaseEffect::save();
    for (int i = 0; i < 4; ++i)
        settings.insert(rotationKey(i), m_objectRotationEFF[size_t(i)]);
    settings.insert(QStringLiteral("drawObj"), m_drawObj);
    return settings;
}

void ObjectEffect::read(const QVariantMap &settings)
{
    BaseEffect::read(settings);
    for (int i = 0; i < 4; ++i)
        readNumber(settings, rotationKey(i), m_objectRotationEFF[size_t(i)]);
    readNumber(settings, QStringLiteral("drawObj"), m_drawObj);
}
