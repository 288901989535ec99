// What each kind of filter input gets: its control row, a handle on the canvas, and for a few image
// inputs the default picture their declaration names.
#include <gtest/gtest.h>

#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/standardcomposition.h"
#include "imaging/qimageadapter.h"
#include "testimages.h"

using namespace imaging;

namespace {

const InputDescription &inputOf(const QString &filter, const QString &key)
{
    static std::vector<std::shared_ptr<const FilterDescription>> keep;
    auto d = FilterRegistry::description(filter);
    EXPECT_TRUE(d) << filter.toStdString();
    keep.push_back(d);
    const InputDescription *in = d ? d->input(key) : nullptr;
    EXPECT_TRUE(in) << filter.toStdString() << " " << key.toStdString();
    static const InputDescription none;
    return in ? *in : none;
}

} // namespace

TEST(InputKinds, CatalogueInputsGetTheirRowOrHandle)
{
    struct Case
    {
        const char *filter, *key;
        ControlKind control;
        bool handle, image;
    };
    const Case cases[] = {
        {"CIGaussianBlur", "inputRadius", controls::Number, false, false},
        {"CIPerspectiveCorrection", "inputCrop", controls::Flag, false, false},
        {"CIPerspectiveCorrection", "inputTopLeft", controls::None, true, false},
        {"CIFalseColor", "inputColor0", controls::Colour, false, false},
        {"CIGlassDistortion", "inputTexture", controls::ImageWell, false, true},
        {"CIGlassDistortion", "inputImage", controls::ImageWell, false, true},
        {"CIAffineTransform", "inputTransform", controls::Transform, true, false},
        {"CIAffineClamp", "inputTransform", controls::Transform, true, false},
        {"CIColorMatrix", "inputRVector", controls::VectorRow, false, false},
        {"CITemperatureAndTint", "inputNeutral", controls::Offset, false, false},
        {"CICrop", "inputRectangle", controls::None, true, false},
        {"CIShadedMaterial", "inputScale", controls::Number, false, false},
    };
    for (const Case &c : cases) {
        const InputDescription &in = inputOf(c.filter, c.key);
        EXPECT_EQ(in.controlKind(), c.control) << c.filter << " " << c.key;
        EXPECT_EQ(in.hasCanvasHandle(), c.handle) << c.filter << " " << c.key;
        EXPECT_EQ(in.isImage(), c.image) << c.filter << " " << c.key;
    }
    // A 3D position is dragged on the canvas too.
    bool sawPosition3 = false;
    for (const QString &name : FilterRegistry::filterNamesInCategories({}))
        for (const InputDescription &in : FilterRegistry::description(name)->inputs)
            if (in.attributeType == kCIAttributeTypePosition3) {
                sawPosition3 = true;
                EXPECT_TRUE(in.hasCanvasHandle()) << name.toStdString();
                EXPECT_EQ(in.controlKind(), controls::None) << name.toStdString();
            }
    EXPECT_TRUE(sawPosition3);

    // An input of a class the engine does not know gets nothing.
    InputDescription odd;
    odd.attributeClass = QStringLiteral("NSString");
    EXPECT_EQ(odd.inputClass(), InputClass::Other);
    EXPECT_EQ(odd.controlKind(), controls::None);
    EXPECT_FALSE(odd.hasCanvasHandle());

    EXPECT_TRUE(FilterRegistry::description("CITwirlDistortion")->hasCanvasHandles());
    EXPECT_FALSE(FilterRegistry::description("CIGaussianBlur")->hasCanvasHandles());
}

TEST(InputKinds, DeclaredDefaultImagesGoToTheirInputsAndOthersKeepTheCurrentImage)
{
    // Each default picture a different size, so that the one an input got can be told apart.
    auto sized = [](int n) { return [n] { return imageFromQImage(testimages::pattern(n, n)); }; };
    standardcomposition::DefaultImages images;
    images.texture = sized(1);
    images.shadingMap = sized(2);
    images.alphaMap = sized(3);
    images.ramp = sized(4);
    images.mask = sized(5);
    const Image current = imageFromQImage(testimages::pattern(9, 9));

    const std::map<std::pair<QString, QString>, double> expected = {
        {{"CIGlassDistortion", "inputTexture"}, 1},     {{"CIShadedMaterial", "inputShadingImage"}, 2},
        {{"CIRippleTransition", "inputShadingImage"}, 3}, {{"CIPageCurlTransition", "inputShadingImage"}, 3},
        {{"CIColorMap", "inputGradientImage"}, 4},     {{"CIDisintegrateWithMaskTransition", "inputMaskImage"}, 5},
    };
    int defaulted = 0;
    for (const QString &name : FilterRegistry::filterNamesInCategories({})) {
        auto f = Filter::filterWithName(name);
        standardcomposition::prepare(*f, current, current.extent(), images);
        for (const InputDescription &in : f->description().inputs) {
            if (!in.isImage())
                continue;
            const auto it = expected.find({name, in.key});
            const double side = it == expected.end() ? 9 : it->second;
            defaulted += it != expected.end();
            EXPECT_EQ(f->value(in.key).value<Image>().extent().width(), side) << name.toStdString() << " " << in.key.toStdString();
        }
    }
    EXPECT_EQ(defaulted, int(expected.size()));

    // Without the pictures the inputs keep the current image.
    auto glass = Filter::filterWithName("CIGlassDistortion");
    standardcomposition::prepare(*glass, current, current.extent());
    EXPECT_EQ(glass->value("inputTexture").value<Image>().extent().width(), 9);
}
