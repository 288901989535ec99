// The 3D effects drawn off screen with the canvas's drawing code (Mesa's software renderer under
// the test script's virtual display): the shapes of the solids, the surface's checker, the image
// texture's life, and the effects' settings and drag undo.
#include "../effects/effecttestsupport.h"

#include "effects/evaleffect.h"
#include "effects/objecteffect.h"
#include "effects/texture2d.h"
#include "views/glframe.h"

#include <QOpenGLContext>
#include <QSlider>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

bool opaque(const QImage &frame, int x, int y)
{
    return qAlpha(frame.pixel(x, y)) > 128;
}

class RenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString why;
        ASSERT_TRUE(frame.create(&why)) << "no OpenGL for the 3D tests: " << why.toStdString();
    }

    QImage render(BaseEffect &effect, QSize size = QSize(400, 400))
    {
        return frame.render(size, [&effect] { effect.draw(); });
    }
    QImage renderSolid(int solid, float first = 0, float second = 0)
    {
        ObjectEffect effect;
        effect.awakeFromNib();
        effect.setObjectMode(solid);
        effect.setRotationO({first, second, 0, 0});
        const QImage picture = render(effect);
        frame.makeCurrent();
        return picture;
    }

    // An opaque picture: the top half red, the bottom half blue.
    StillImageHost host{halves()};
    OffscreenGLFrame frame;

    static QImage halves()
    {
        QImage image = solidImage(64, 48, Qt::red);
        for (int y = 24; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                image.setPixel(x, y, qRgb(0, 0, 255));
        return image;
    }
};

TEST_F(RenderTest, SphereIsACircleOfRadiusFourFifthsOfTheFrameWhateverItsTurn)
{
    for (const auto &angles : {std::pair{0.f, 0.f}, std::pair{70.f, -130.f}}) {
        const QImage f = renderSolid(ObjectEffect::Sphere, angles.first, angles.second);
        // Radius 0.8 in a 400 x 400 frame: 160 pixels around the centre.
        int left = -1, right = -1, top = -1, bottom = -1;
        for (int i = 0; i < 400; ++i) {
            if (opaque(f, i, 200)) { right = i; if (left < 0) left = i; }
            if (opaque(f, 200, i)) { bottom = i; if (top < 0) top = i; }
        }
        EXPECT_NEAR(left, 40, 2);
        EXPECT_NEAR(right, 359, 2);
        EXPECT_NEAR(top, 40, 2);
        EXPECT_NEAR(bottom, 359, 2);
        // Filled, and nothing outside the circle (a diagonal point just beyond the radius).
        EXPECT_TRUE(opaque(f, 200, 200));
        EXPECT_TRUE(opaque(f, 200 + 110, 200 + 110));
        EXPECT_FALSE(opaque(f, 200 + 116, 200 + 116));
        EXPECT_FALSE(opaque(f, 2, 2));
    }
}

TEST_F(RenderTest, CylinderIsOpenAtBothEndsAndDiskHasAHole)
{
    // Seen along its axis, the wall has no width and there is no cap to show.
    const QImage endOn = renderSolid(ObjectEffect::Cylinder);
    EXPECT_FALSE(opaque(endOn, 200, 200));
    // Seen from the side it is a wall 0.8 wide and 1.0 high.
    const QImage side = renderSolid(ObjectEffect::Cylinder, 0, -180);
    EXPECT_TRUE(opaque(side, 200, 200));
    EXPECT_TRUE(opaque(side, 200 + 70, 200 + 90));
    EXPECT_FALSE(opaque(side, 200 + 90, 200));
    // Tilted by 60 degrees either way, the far end's opening (its ellipse centred 0.43 of the half
    // frame below or above the centre) shows nothing behind it; a cap would fill it.
    const QImage tiltedUp = renderSolid(ObjectEffect::Cylinder, 0, -120);
    const QImage tiltedDown = renderSolid(ObjectEffect::Cylinder, 0, 120);
    EXPECT_FALSE(opaque(tiltedUp, 200, 200 + 107));
    EXPECT_FALSE(opaque(tiltedDown, 200, 200 - 107));
    EXPECT_TRUE(opaque(tiltedUp, 200, 200));
    EXPECT_TRUE(opaque(tiltedDown, 200, 200));

    // The disk: inner radius 0.2, outer 1.0 (its rim clipped by the frame).
    const QImage disk = renderSolid(ObjectEffect::Disk);
    EXPECT_FALSE(opaque(disk, 200, 200));
    EXPECT_FALSE(opaque(disk, 200 + 36, 200));
    EXPECT_TRUE(opaque(disk, 200 + 44, 200));
    EXPECT_TRUE(opaque(disk, 200, 200 - 150));
    EXPECT_FALSE(opaque(disk, 3, 3));
}

TEST_F(RenderTest, CubeAndFlatImageShowThePictureUpright)
{
    // The face toward the viewer is 0.5 of the half frame each way: the picture's top (red) above.
    const QImage cube = renderSolid(ObjectEffect::Cube);
    EXPECT_EQ(QColor(cube.pixel(200, 200 - 60)), QColor(Qt::red));
    EXPECT_EQ(QColor(cube.pixel(200, 200 + 60)), QColor(Qt::blue));
    EXPECT_FALSE(opaque(cube, 200, 200 - 110));

    // Without an effect: the middle 90 % of the frame, stretched to its shape, upright.
    const QImage flat = frame.render(QSize(500, 300), [this] { Texture2D::drawImageFlat(host.backImage()); });
    EXPECT_EQ(QColor(flat.pixel(250, 30)), QColor(Qt::red));
    EXPECT_EQ(QColor(flat.pixel(250, 270)), QColor(Qt::blue));
    EXPECT_TRUE(opaque(flat, 27, 17));
    EXPECT_FALSE(opaque(flat, 22, 150));
    EXPECT_FALSE(opaque(flat, 250, 12));
}

TEST_F(RenderTest, WithoutAnImageTheSurfaceShowsTheCheckerAndTheSolidsNothing)
{
    host.setImage(QImage());
    EvalEffect surface;
    surface.awakeFromNib();
    const QImage sheet = render(surface);
    int red = 0, white = 0, other = 0;
    for (int y = 0; y < 400; y += 3)
        for (int x = 0; x < 400; x += 3) {
            const QRgb p = sheet.pixel(x, y);
            if (qAlpha(p) == 0)
                continue;
            if (p == qRgb(255, 0, 0)) ++red;
            else if (p == qRgb(255, 255, 255)) ++white;
            else ++other;
        }
    EXPECT_GT(red, 100);
    EXPECT_GT(white, 100);
    EXPECT_EQ(other, 0);

    for (int solid = ObjectEffect::Sphere; solid <= ObjectEffect::Disk; ++solid) {
        const QImage cleared = renderSolid(solid);
        int drawn = 0;
        for (int y = 0; y < cleared.height(); y += 2)
            for (int x = 0; x < cleared.width(); x += 2)
                drawn += qAlpha(cleared.pixel(x, y)) != 0;
        EXPECT_EQ(drawn, 0) << "solid " << solid;
    }
}

TEST_F(RenderTest, SurfaceDrawsTheImageFilledOrAsAWireGrid)
{
    EvalEffect surface;
    surface.awakeFromNib();
    const QImage filled = render(surface);
    surface.setFilledMode(0);
    const QImage grid = render(surface);
    auto count = [](const QImage &f) {
        int n = 0;
        for (int y = 0; y < f.height(); ++y)
            for (int x = 0; x < f.width(); ++x)
                n += qAlpha(f.pixel(x, y)) > 0;
        return n;
    };
    const int filledPixels = count(filled), gridPixels = count(grid);
    EXPECT_GT(filledPixels, 10000);
    // The lines cover a small part of what the filled sheet covers, inside its outline.
    EXPECT_GT(gridPixels, 1000);
    EXPECT_LT(gridPixels, filledPixels / 2);
}

TEST_F(RenderTest, ImageTextureIsMadeOncePerImageAndFitsTheFrame)
{
    ASSERT_TRUE(frame.makeCurrent());
    glViewport(0, 0, 400, 400);
    const imaging::Image first = host.backImage();
    const auto a = Texture2D::textureForImage(first);
    ASSERT_TRUE(a);
    EXPECT_EQ(Texture2D::textureForImage(first), a) << "a redraw must not upload the picture again";
    host.setImage(solidImage(64, 48, Qt::green));
    const auto b = Texture2D::textureForImage(host.backImage());
    ASSERT_TRUE(b);
    EXPECT_NE(b, a);
    EXPECT_EQ(b->pixelsWide(), 64u);

    // A picture larger than a 400-pixel frame can show is reduced, keeping its proportions.
    EXPECT_EQ(Texture2D::sizeLimitForFrame(), 1024);
    host.setImage(solidImage(3000, 1500, Qt::green));
    const auto big = Texture2D::textureForImage(host.backImage());
    ASSERT_TRUE(big);
    EXPECT_EQ(big->pixelsWide(), 1024u);
    EXPECT_EQ(big->pixelsHigh(), 512u);
    // A larger frame asks for more detail of the same picture.
    glViewport(0, 0, 1000, 700);
    const auto sharper = Texture2D::textureForImage(host.backImage());
    EXPECT_EQ(sharper->pixelsWide(), 2048u);

    // The pixel formats: alpha only, 16 bits without alpha, everything else 8 bits with alpha.
    QImage mask(8, 8, QImage::Format_Alpha8);
    mask.fill(0);
    EXPECT_EQ(Texture2D::initWithImage(mask)->pixelFormat(), Texture2D::A8);
    QImage rgb16(8, 8, QImage::Format_RGB16);
    rgb16.fill(Qt::red);
    EXPECT_EQ(Texture2D::initWithImage(rgb16)->pixelFormat(), Texture2D::RGB565);
    EXPECT_EQ(Texture2D::initWithImage(solidImage(8, 8, Qt::red))->pixelFormat(), Texture2D::RGBA8888);
    EXPECT_EQ(Texture2D::initWithImage(QImage()), nullptr);
    const char data[4] = {};
    EXPECT_EQ(Texture2D::initWithData(data, 7, 1, 1, QSizeF(1, 1)), nullptr);
    EXPECT_EQ(Texture2D::initWithData(data, Texture2D::RGBA8888, 0, 1, QSizeF(0, 1)), nullptr);
    EXPECT_EQ(Texture2D::initWithData(data, Texture2D::RGBA8888, 1, 0, QSizeF(1, 0)), nullptr);
}

TEST_F(RenderTest, TexturesDrawUprightAndGoWithoutLeakingWhenTheirContextIsNotCurrent)
{
    // drawInRect and drawAtPoint show the picture upright, with the class's parameters.
    Texture2D::saveTexParameters();
    Texture2D::setAliasTexParameters();
    EXPECT_EQ(Texture2D::texParameters()[0], GL_NEAREST);
    const QImage quad = frame.render(QSize(100, 100), [this] {
        const auto texture = Texture2D::initWithImage(halves());
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        texture->drawInRect(QRectF(-1, -1, 2, 2));
        glDisable(GL_TEXTURE_2D);
    });
    Texture2D::restoreTexParameters();
    EXPECT_EQ(Texture2D::texParameters()[0], GL_LINEAR);
    EXPECT_EQ(QColor(quad.pixel(50, 10)), QColor(Qt::red));
    EXPECT_EQ(QColor(quad.pixel(50, 90)), QColor(Qt::blue));

    // A texture freed while another context is current leaves its name to its own context, which
    // deletes it when next current.
    ASSERT_TRUE(frame.makeCurrent());
    auto texture = Texture2D::initWithImage(halves());
    const GLuint name = texture->name();
    ASSERT_TRUE(glIsTexture(name));
    OffscreenGLFrame other;
    ASSERT_TRUE(other.create());
    ASSERT_TRUE(other.makeCurrent());
    texture.reset();
    ASSERT_TRUE(frame.makeCurrent());
    EXPECT_TRUE(glIsTexture(name));
    Texture2D::deletePendingNames();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(RenderTest, ColoredLightTintsTheSheetAndTheDecalModeShowsThePictureUnchanged)
{
    host.setImage(solidImage(32, 32, Qt::white));
    EvalEffect surface;
    surface.awakeFromNib();
    const QImage decal = render(surface);
    surface.setDecalMode(EvalEffect::modulateMode);
    const QImage tinted = render(surface);
    int white = 0, colored = 0;
    for (int y = 0; y < 400; y += 4)
        for (int x = 0; x < 400; x += 4) {
            if (qAlpha(decal.pixel(x, y)) == 255)
                white += decal.pixel(x, y) == qRgb(255, 255, 255);
            const QRgb t = tinted.pixel(x, y);
            colored += qAlpha(t) > 0 && t != qRgb(255, 255, 255) && (qRed(t) != qGreen(t) || qGreen(t) != qBlue(t));
        }
    EXPECT_GT(white, 500);
    EXPECT_GT(colored, 500);
}

TEST(ThreeDEffects, SettingsRoundTripEveryKeyAndBrokenValuesAreIgnored)
{
    EvalEffect surface;
    surface.awakeFromNib();
    QVariantMap stored = surface.save();
    for (int i = 0; i < 24; ++i)
        stored[QStringLiteral("point2%1").arg(i)] = float(i) / 8 - 1;
    for (int i = 0; i < 4; ++i) {
        stored[QStringLiteral("objectRotation%1").arg(i)] = float(10 * i + 3);
        stored[QStringLiteral("borderColor%1").arg(i)] = float(i) / 4;
    }
    for (int i = 0; i < 3; ++i)
        stored[QStringLiteral("decalColor%1").arg(i)] = float(i) / 3;
    stored[QStringLiteral("borderSize")] = 9;
    stored[QStringLiteral("polygonFilled")] = 0;
    stored[QStringLiteral("decal")] = EvalEffect::modulateMode;
    EvalEffect restored;
    restored.read(stored);
    EXPECT_EQ(restored.save(), stored);
    EXPECT_EQ(restored.points()[17], 17.0 / 8 - 1);
    // A copy carries every value too.
    EXPECT_EQ(restored.mycopy()->save(), stored);

    ObjectEffect objects;
    QVariantMap solidSettings = objects.save();
    for (int i = 0; i < 4; ++i)
        solidSettings[QStringLiteral("objectRotationEFF%1").arg(i)] = float(i * 7 - 5);
    solidSettings[QStringLiteral("drawObj")] = int(ObjectEffect::Torus);
    ObjectEffect solidRestored;
    solidRestored.read(solidSettings);
    EXPECT_EQ(solidRestored.save(), solidSettings);
    EXPECT_EQ(solidRestored.mycopy()->save(), solidSettings);

    // Missing keys keep the values; broken ones (text, infinity, absurd whole numbers) too.
    solidRestored.read({{QStringLiteral("objectRotationEFF0"), QStringLiteral("north")},
                        {QStringLiteral("objectRotationEFF1"), qInf()},
                        {QStringLiteral("drawObj"), 1e30}});
    EXPECT_EQ(solidRestored.rotation()[0], -5.f);
    EXPECT_EQ(solidRestored.rotation()[1], 2.f);
    EXPECT_EQ(solidRestored.objectMode(), std::numeric_limits<int>::max());
}

TEST(ThreeDEffects, UndoAfterADragRestoresTheAnglesAtThePress)
{
    StillImageHost host;
    EvalEffect surface;
    ObjectEffect objects;
    for (ThreeDEffect *effect : {static_cast<ThreeDEffect *>(&surface), static_cast<ThreeDEffect *>(&objects)}) {
        effect->awakeFromNib();
        const auto before = effect->rotation();
        effect->mouseDown(QPointF(100, 100));
        effect->mouseDragged(QPointF(130, 90));
        effect->mouseDragged(QPointF(150, 120));
        effect->mouseUp(QPointF(150, 120));
        // Right by 50, up by 20: the first angle grows, the second falls.
        EXPECT_EQ(effect->rotation()[0], before[0] + 50);
        EXPECT_EQ(effect->rotation()[1], before[1] - 20);
        EXPECT_FALSE(effect->isDragging());
        // A drag after the release turns nothing.
        effect->mouseDragged(QPointF(400, 400));
        EXPECT_EQ(effect->rotation()[0], before[0] + 50);
        host.endEvent();
        host.undoManager()->undo();
        EXPECT_EQ(effect->rotation(), before);
        host.undoManager()->redo();
        EXPECT_EQ(effect->rotation()[0], before[0] + 50);
        host.undoManager()->removeAllActions();
    }
}

TEST(ThreeDEffects, ControlsChangeTheSurfaceUndoably)
{
    StillImageHost host;
    QWidget panel;
    panel.resize(280, 225);
    EvalEffect surface;
    surface.awakeFromNib();
    surface.setTopControlsView(&panel);
    surface.setUpControlsView();
    auto *firstCurve = panel.findChildren<QSlider *>().value(0);
    ASSERT_NE(firstCurve, nullptr);
    firstCurve->setValue(0); // the left end: -1.2
    EXPECT_NEAR(surface.points()[5], -1.2, 1e-9);
    host.endEvent();
    surface.changeM_Decal(EvalEffect::modulateMode, nullptr);
    host.endEvent();
    host.undoManager()->undo();
    EXPECT_EQ(surface.decal(), EvalEffect::decalMode);
    host.undoManager()->undo();
    EXPECT_NEAR(surface.points()[5], 0.6, 1e-9);
    // The colour's undo stores all three components, as the settings show.
    surface.setDecalColor(QColor(10, 20, 30), nullptr);
    host.endEvent();
    const QVariantMap colored = surface.save();
    EXPECT_FLOAT_EQ(colored.value(QStringLiteral("decalColor2")).toFloat(), 30 / 255.f);
    EXPECT_FLOAT_EQ(colored.value(QStringLiteral("decalColor1")).toFloat(), 20 / 255.f);
    host.undoManager()->undo();
    EXPECT_EQ(surface.save().value(QStringLiteral("decalColor0")).toFloat(), 1.f);
    surface.clearEffect();
    EXPECT_TRUE(panel.findChildren<QSlider *>().isEmpty());
}

} // namespace
