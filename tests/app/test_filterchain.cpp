// The standard mode's filter chain: choosing a filter, automatic defaults, the control box, the
// composed picture, undo of control changes, the list's selection handling and Apply.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "imaging/node.h"
#include "imaging/pixelrect.h"
#include "imaging/qimageadapter.h"
#include "imaging/sourcenode.h"
#include "platform/undomanager.h"
#include "views/filterview.h"
#include "views/floatslider.h"
#include "views/myimageview.h"
#include "views/parameterview.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace {

class FilterChainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        window->resize(1280, 820);
        // Laid out and "visible" without reaching the screen: the offscreen platform cannot
        // present the window's OpenGL canvas.
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        QCoreApplication::processEvents();
    }

    static QImage picture(int w, int h, QColor colour)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        return image;
    }

    FilterView *box() const { return c->placeCntrlView->findChild<FilterView *>(); }
    ParameterView *row(const QString &key) const
    {
        for (ParameterView *r : box()->rows())
            if (r->key() == key)
                return r;
        return nullptr;
    }
    // The colour of the composed picture at an image point, rendered at full resolution.
    QColor resultAt(int x, int y)
    {
        const QImage q = imaging::renderToQImage(c->coreImageResult(false), imaging::Rect(x, y, 1, 1));
        return q.isNull() ? QColor() : q.pixelColor(0, 0);
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(FilterChainTest, AutomaticDefaultsFillSpecialInputs)
{
    c->addFilter("CIGlassDistortion", 111);
    ASSERT_TRUE(c->getCurrentFilter());
    EXPECT_EQ(c->getCurrentFilter()->value("inputTexture").value<imaging::Image>(), c->defaultTexture());
    EXPECT_FALSE(c->defaultTexture().isNull());

    c->addFilter("CIPageCurlTransition", 111);
    EXPECT_FLOAT_EQ(c->getCurrentFilter()->value("inputAngle").toFloat(), -0.7853982f);
    EXPECT_EQ(c->getCurrentFilter()->value("inputShadingImage").value<imaging::Image>(), c->defaultAlphaEMap());

    c->addFilter("CIShadedMaterial", 111);
    EXPECT_EQ(c->getCurrentFilter()->value("inputShadingImage").value<imaging::Image>(), c->defaultShadingEMap());
    c->addFilter("CIColorMap", 111);
    EXPECT_EQ(c->getCurrentFilter()->value("inputGradientImage").value<imaging::Image>(), c->defaultRamp());
    c->addFilter("CIDisintegrateWithMaskTransition", 111);
    EXPECT_EQ(c->getCurrentFilter()->value("inputMaskImage").value<imaging::Image>(), c->defaultMask());
    for (const imaging::Image &i : {c->defaultShadingEMap(), c->defaultAlphaEMap(), c->defaultRamp(), c->defaultMask()})
        EXPECT_FALSE(i.isNull());

    c->addFilter("CICircularWrap", 111);
    const imaging::Rect b = c->ciView->bounds();
    const imaging::Vector centre = c->getCurrentFilter()->value("inputCenter").value<imaging::Vector>();
    EXPECT_FLOAT_EQ(float(centre.X()), float(b.x() + b.width() * 0.5));
    EXPECT_FLOAT_EQ(float(centre.Y()), float(b.y() + b.height() * 0.5));

    for (const char *name : {"CIGaussianGradient", "CILinearGradient", "CIRadialGradient", "CIStripesGenerator",
                             "CICheckerboardGenerator"}) {
        c->addFilter(name, 111);
        EXPECT_EQ(c->getCurrentFilter()->value("inputColor0").value<imaging::Color>(), imaging::Color(1, 1, 1, 0.5)) << name;
        EXPECT_EQ(c->getCurrentFilter()->value("inputColor1").value<imaging::Color>(), imaging::Color(0, 0, 0, 0.5)) << name;
    }
    c->addFilter("CIConstantColorGenerator", 111);
    EXPECT_EQ(c->getCurrentFilter()->value("inputColor").value<imaging::Color>(), imaging::Color(1, 0.5, 0, 0.5));
}

TEST_F(FilterChainTest, UnknownFilterGivesAnEmptyBoxAndThePlainImage)
{
    c->addFilter("NoSuchFilter", 111);
    EXPECT_FALSE(c->getCurrentFilter());
    ASSERT_TRUE(box());
    EXPECT_TRUE(box()->rows().isEmpty());
    EXPECT_EQ(c->coreImageResult(false), c->backImage());
}

TEST_F(FilterChainTest, AMissingImageInputGivesNoResult)
{
    c->addFilter("CIGlassDistortion", 111);
    EXPECT_FALSE(c->coreImageResult(false).isNull());
    c->getCurrentFilter()->setValue(QVariant(), "inputTexture");
    EXPECT_TRUE(c->hasMissingImage());
    EXPECT_TRUE(c->coreImageResult(false).isNull());
}

TEST_F(FilterChainTest, GeneratorsAreCutToThePictureAndLaidOverIt)
{
    c->setBackgroundImage(imaging::imageFromQImage(picture(300, 200, Qt::red)));
    c->addFilter("CICheckerboardGenerator", 111);
    const imaging::Image result = c->coreImageResult(false);
    ASSERT_FALSE(result.isNull());
    EXPECT_EQ(result.extent(), imaging::Rect(0, 0, 300, 200));
    // Half-transparent white or black over red: never pure red, always opaque.
    const QColor p = resultAt(10, 10);
    EXPECT_EQ(p.alpha(), 255);
    EXPECT_NE(p, QColor(Qt::red));
    EXPECT_GT(p.red(), 100);

    // A blur grows its extent a little and is not cropped: the canvas shows all of it.
    c->addFilter("CIGaussianBlur", 111);
    const imaging::Rect blurred = c->coreImageResult(false).extent();
    EXPECT_EQ(blurred, c->getCurrentFilter()->outputImage().extent());
    EXPECT_GT(blurred.width(), 300);
}

TEST_F(FilterChainTest, OutputMoreThanOnePointThreeTimesLargerBothWaysIsCutToThePicture)
{
    c->setBackgroundImage(imaging::imageFromQImage(picture(300, 200, Qt::red)));
    c->addFilter("CIAffineTransform", 111);
    ASSERT_TRUE(c->getCurrentFilter());
    auto extentScaledBy = [this](double sx, double sy) {
        c->getCurrentFilter()->setValue(QVariant::fromValue(imaging::AffineTransform::scale(sx, sy)), "inputTransform");
        return c->coreImageResult(false).extent();
    };
    EXPECT_EQ(extentScaledBy(1.29, 1.29), imaging::Rect(0, 0, 300 * 1.29, 200 * 1.29));
    EXPECT_EQ(extentScaledBy(1.31, 1.31), imaging::Rect(0, 0, 300, 200));
    // Growing one way only is no reason to cut.
    EXPECT_EQ(extentScaledBy(2.0, 1.0), imaging::Rect(0, 0, 600, 200));
    EXPECT_EQ(extentScaledBy(1.0, 2.0), imaging::Rect(0, 0, 300, 400));
}

TEST_F(FilterChainTest, AnExtentInputFollowsTheCanvasOnEveryRender)
{
    c->addFilter("CIRoundedRectangleGenerator", 111);
    ASSERT_TRUE(c->getCurrentFilter());
    c->getCurrentFilter()->setValue(QVariant::fromValue(imaging::Vector{0, 0, 5, 5}), "inputExtent");
    c->coreImageResult(false);
    const imaging::Rect canvas = c->ciView->bounds();
    ASSERT_FALSE(canvas.isEmpty());
    EXPECT_EQ(c->getCurrentFilter()->value("inputExtent").value<imaging::Vector>(),
              (imaging::Vector{0, 0, canvas.width(), canvas.height()}));
}

TEST_F(FilterChainTest, BlendFiltersTakeTheImageInTheirBackgroundInput)
{
    c->addFilter("CIMultiplyBlendMode", 111);
    ASSERT_TRUE(c->getCurrentFilter());
    // The foreground keeps an image well; the background input has none.
    EXPECT_TRUE(row("inputImage"));
    EXPECT_FALSE(row("inputBackgroundImage"));
    const imaging::Image replacement = imaging::imageFromQImage(picture(50, 50, Qt::blue));
    c->setBackgroundImage(replacement);
    c->coreImageResult(false);
    EXPECT_EQ(c->getCurrentFilter()->value("inputBackgroundImage").value<imaging::Image>(), c->backImage());
    EXPECT_NE(c->getCurrentFilter()->value("inputImage").value<imaging::Image>(), c->backImage());
}

TEST_F(FilterChainTest, ControlsFollowTheInputKinds)
{
    c->addFilter("CITwirlDistortion", 111);
    ASSERT_TRUE(box());
    // Radius and angle get sliders; the centre is a handle on the canvas; the image carries the picture.
    EXPECT_TRUE(row("inputRadius"));
    EXPECT_TRUE(row("inputAngle"));
    EXPECT_FALSE(row("inputCenter"));
    EXPECT_FALSE(row("inputImage"));
    EXPECT_TRUE(c->isControlsPresent());
    c->addFilter("CIGaussianBlur", 111);
    EXPECT_FALSE(c->isControlsPresent());
    // Rebuilding replaces the box.
    c->clearControls();
    c->updateFilterControls(111);
    EXPECT_EQ(c->placeCntrlView->findChildren<FilterView *>().size(), 1);
}

TEST_F(FilterChainTest, EachCatalogueInputKindGetsItsRow)
{
    // Each filter replaces the previous box.
    auto choose = [this](const char *name) {
        c->clearControls();
        c->addFilter(name, 111);
    };
    // Five plain vectors: four fields each.
    choose("CIColorMatrix");
    ASSERT_TRUE(box());
    EXPECT_EQ(box()->rows().size(), 5);
    for (ParameterView *r : box()->rows()) {
        EXPECT_TRUE(r->readoutField(3)) << r->key().toStdString();
        EXPECT_FALSE(r->slider());
    }
    // Offsets: two fields.
    choose("CITemperatureAndTint");
    ASSERT_TRUE(row("inputNeutral"));
    EXPECT_TRUE(row("inputNeutral")->readoutField(1));
    EXPECT_FALSE(row("inputNeutral")->readoutField(2));
    // Corners are handles; the flag is a check box.
    choose("CIPerspectiveCorrection");
    EXPECT_EQ(box()->rows().size(), 1);
    ASSERT_TRUE(row("inputCrop"));
    ASSERT_TRUE(row("inputCrop")->checkBox());
    EXPECT_TRUE(row("inputCrop")->checkBox()->isChecked());
    // The texture gets an image well, the image carrying the picture none; a transform gets its four lines.
    choose("CIGlassDistortion");
    ASSERT_TRUE(row("inputTexture"));
    EXPECT_TRUE(row("inputTexture")->imageView());
    EXPECT_FALSE(row("inputImage"));
    choose("CIAffineTransform");
    ASSERT_TRUE(row("inputTransform"));
    EXPECT_EQ(row("inputTransform")->transformReadout(1)->text(), "0.0");
    choose("CIFalseColor");
    ASSERT_TRUE(row("inputColor1"));
    EXPECT_TRUE(row("inputColor1")->colorWell());
}

TEST_F(FilterChainTest, SliderChangeIsNamedUndoableAndRebuildsTheRow)
{
    c->addFilter("CIGaussianBlur", 111);
    ParameterView *radius = row("inputRadius");
    ASSERT_TRUE(radius);
    const double before = c->getCurrentFilter()->value("inputRadius").toDouble();
    radius->slider()->setValue(FloatSlider::steps / 2);
    const double after = c->getCurrentFilter()->value("inputRadius").toDouble();
    EXPECT_NE(after, before);
    um->closeImplicitGroup();
    EXPECT_EQ(um->undoMenuItemTitle(), "Undo Change to Gaussian Blur Radius");

    c->undo();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), before);
    QCoreApplication::processEvents(); // the controls are rebuilt on the next pass
    ASSERT_TRUE(row("inputRadius"));
    EXPECT_NEAR(row("inputRadius")->slider()->doubleValue(), before, 1e-6);
    c->redo();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), after);
}

TEST_F(FilterChainTest, ActionNamesAndWords)
{
    EXPECT_EQ(Controller::unInterCap1("ShadingImage"), "Shading Image");
    EXPECT_EQ(Controller::unInterCap1("Radius"), "Radius");
    EXPECT_EQ(Controller::unInterCap1("Color0"), "Color 0");
    auto twirl = imaging::Filter::filterWithName("CITwirlDistortion");
    ASSERT_TRUE(twirl);
    EXPECT_EQ(Controller::actionNameForFilter(*twirl, "inputAngle"), "Change to Twirl Distortion Angle");
}

TEST_F(FilterChainTest, ManyRowsMakeTheControlsAreaScroll)
{
    auto *area = qobject_cast<QScrollArea *>(c->placeCntrlView->parentWidget()->parentWidget());
    ASSERT_TRUE(area);
    area->setFixedHeight(50);
    QCoreApplication::processEvents();
    const int visibleHeight = c->placeCntrlView->height();
    c->addFilter("CIColorControls", 111);
    ASSERT_TRUE(box());
    EXPECT_GT(box()->neededHeight(), visibleHeight);
    EXPECT_EQ(c->placeCntrlView->minimumHeight(), box()->neededHeight());
    EXPECT_GE(c->placeCntrlView->height(), box()->neededHeight());
    // Every row lies inside the grown area.
    for (ParameterView *r : box()->rows())
        EXPECT_LE(r->mapTo(c->placeCntrlView, QPoint(0, r->height())).y(), c->placeCntrlView->height());
    c->clearControls();
    EXPECT_EQ(c->placeCntrlView->minimumHeight(), 0);
}

TEST_F(FilterChainTest, ListSelectionBuildsTheFilterAndCategoryRowsToggle)
{
    QStandardItemModel model;
    auto *focus = new QStandardItem("Focus");
    auto *blur = new QStandardItem("Gaussian Blur");
    blur->setData("CIGaussianBlur", Qt::UserRole);
    focus->appendRow(blur);
    model.appendRow(focus);
    c->listView->setModel(&model);
    c->connectStandardMode();

    c->listView->setCurrentIndex(blur->index());
    ASSERT_TRUE(c->getCurrentFilter());
    EXPECT_EQ(c->getCurrentFilter()->name(), "CIGaussianBlur");
    EXPECT_TRUE(row("inputRadius"));
    EXPECT_TRUE(c->wasChanged());
    EXPECT_TRUE(c->listView->selectionModel()->isSelected(blur->index()));

    const bool expanded = c->listView->isExpanded(focus->index());
    c->listView->setCurrentIndex(focus->index());
    EXPECT_NE(c->listView->isExpanded(focus->index()), expanded);
    EXPECT_FALSE(c->getCurrentFilter());
    EXPECT_FALSE(c->listView->selectionModel()->hasSelection());
    c->listView->setModel(nullptr);
}

TEST_F(FilterChainTest, ApplyBakesTheFilterInAndClearsIt)
{
    c->setBackgroundImage(imaging::imageFromQImage(picture(120, 80, Qt::red)));
    c->addFilter("CIColorInvert", 111);
    c->applyBtnAction();
    EXPECT_FALSE(c->getCurrentFilter());
    const QImage baked = imaging::qimageFromImage(c->backImage());
    ASSERT_FALSE(baked.isNull());
    EXPECT_EQ(baked.size(), QSize(120, 80));
    EXPECT_EQ(baked.pixelColor(5, 5), QColor(0, 255, 255));
    um->closeImplicitGroup();
    c->undo();
    EXPECT_EQ(imaging::qimageFromImage(c->backImage()).pixelColor(5, 5), QColor(Qt::red));
}

// A red picture whose renders wait until `open` is set (at most five seconds), so that a test can
// tell whether the interface thread kept running while a full-size render was under way.
class WaitingRed : public imaging::Node
{
public:
    explicit WaitingRed(std::shared_ptr<std::atomic<bool>> open) : m_open(std::move(open)) {}
    imaging::Rect extent() const override { return imaging::Rect(0, 0, 120, 80); }
    void render(imaging::PixelBuffer &out) const override
    {
        for (int i = 0; i < 500 && !*m_open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        out.fill(1, 0, 0, 1);
        out.clearOutside(imaging::PixelRect::covering(extent()));
    }

private:
    std::shared_ptr<std::atomic<bool>> m_open;
};

TEST_F(FilterChainTest, ApplyRendersOffTheInterfaceThreadIntoABitmapAndUndoRestoresThePicture)
{
    auto open = std::make_shared<std::atomic<bool>>(false);
    const imaging::Image waiting(std::make_shared<WaitingRed>(open));
    c->setBackgroundImage(waiting);
    c->addFilter("CIColorInvert", 111);
    // The interface thread lets the render go on: it can only do so while Apply is running if the
    // render runs elsewhere and the window's event loop keeps turning.
    bool letGoDuringApply = false;
    QTimer::singleShot(50, [&] {
        letGoDuringApply = true;
        *open = true;
    });
    c->applyBtnAction();
    EXPECT_TRUE(letGoDuringApply);
    // Baked: the current image is a bitmap now, not the filter over the old picture.
    EXPECT_TRUE(dynamic_cast<const imaging::SourceNode *>(c->backImage().node().get()));
    EXPECT_EQ(imaging::qimageFromImage(c->backImage()).pixelColor(5, 5), QColor(0, 255, 255));
    um->closeImplicitGroup();
    c->undo();
    EXPECT_TRUE(c->backImage() == waiting);
}

TEST_F(FilterChainTest, ZoomFitUsesTheAreaLessOneScroller)
{
    auto *area = qobject_cast<QScrollArea *>(c->ciView->parentWidget()->parentWidget());
    ASSERT_TRUE(area);
    const int b = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // The window's layout decides the area's size; pin it for the check.
    area->setFixedSize(800 + b, 600 + b);
    QCoreApplication::processEvents();
    c->setBackgroundImage(imaging::imageFromQImage(picture(4000, 3000, Qt::gray)));
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 0.2f);
}

} // namespace
