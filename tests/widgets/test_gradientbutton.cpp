#include "widgets/gradientbutton.h"

#include <QApplication>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Switches the application palette to a dark or light window colour for one test.
class AppearanceScope
{
public:
    explicit AppearanceScope(bool dark) : m_saved(QApplication::palette())
    {
        QPalette pal = m_saved;
        pal.setColor(QPalette::Window, dark ? QColor(40, 40, 40) : QColor(236, 236, 236));
        QApplication::setPalette(pal);
    }
    ~AppearanceScope() { QApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

QColor rgb255(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}

// Colours compared at 8 bits per channel, with one step of rounding allowed.
void expectNear(const QColor &actual, const QColor &expected, const char *what)
{
    EXPECT_LE(std::abs(actual.red() - expected.red()), 1) << what;
    EXPECT_LE(std::abs(actual.green() - expected.green()), 1) << what;
    EXPECT_LE(std::abs(actual.blue() - expected.blue()), 1) << what;
    EXPECT_EQ(actual.alpha(), 255) << what;
}

void expectFace(const GradientButton &button, const QColor &base)
{
    const QImage &face = button.faceImage();
    ASSERT_EQ(face.size(), button.size());
    expectNear(face.pixelColor(face.width() / 2, 0), base, "top");
    expectNear(face.pixelColor(face.width() / 2, face.height() - 1),
               GradientButton::darkerColorForColor(base), "bottom");
}

} // namespace

TEST(GradientButton, DarkerColorLowersEachChannelAndClampsAtZero)
{
    const QColor c = GradientButton::darkerColorForColor(QColor::fromRgbF(0.5f, 0.1f, 1.0f, 0.25f));
    EXPECT_NEAR(c.redF(), 0.3, 1e-4);
    EXPECT_NEAR(c.greenF(), 0.0, 1e-4);
    EXPECT_NEAR(c.blueF(), 0.8, 1e-4);
    EXPECT_NEAR(c.alphaF(), 0.25, 1e-4);
}

TEST(GradientButton, FaceColoursInDarkAppearance)
{
    AppearanceScope dark(true);
    GradientButton button("Standard");
    button.resize(120, 30);
    button.setState(true);
    expectFace(button, rgb255(0.5843137254901961, 0.5176470588235295, 0.8784313725490196));
    button.setState(false);
    expectFace(button, rgb255(0.35294117647058826, 0.35294117647058826, 0.35294117647058826));
}

TEST(GradientButton, FaceColoursInLightAppearance)
{
    AppearanceScope light(false);
    GradientButton button("Standard");
    button.resize(120, 30);
    button.setState(true);
    expectFace(button, rgb255(0.8156862745098039, 0.7843137254901961, 1.0));
    button.setState(false);
    expectFace(button, rgb255(0.8627450980392157, 0.8627450980392157, 0.8627450980392157));
}

TEST(GradientButton, SettingTheSameStateAfterAnAppearanceChangeRegeneratesTheFace)
{
    GradientButton button("3D");
    button.resize(100, 24);
    {
        AppearanceScope light(false);
        button.setState(true);
        expectFace(button, rgb255(0.8156862745098039, 0.7843137254901961, 1.0));
        AppearanceScope dark(true);
        button.setState(true);
        expectFace(button, rgb255(0.5843137254901961, 0.5176470588235295, 0.8784313725490196));
    }
}

TEST(GradientButton, ClickAndResizeKeepTheFaceInStep)
{
    AppearanceScope dark(true);
    GradientButton button("Custom");
    button.resize(90, 26);
    button.setState(false);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.state());
    expectFace(button, rgb255(0.5843137254901961, 0.5176470588235295, 0.8784313725490196));
    button.resize(150, 40);
    EXPECT_EQ(button.faceImage().size(), QSize(150, 40));
}
