#include <QImageReader>
#include <gtest/gtest.h>

#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "testimages.h"

using namespace imaging;

namespace {

// The categories the standard mode's list shows, as row name and source categories.
const std::vector<std::pair<QString, QStringList>> rows = {
    {"Geometry", {"CICategoryGeometryAdjustment"}}, {"Distortion", {"CICategoryDistortionEffect"}},
    {"Halftone", {"CICategoryHalftoneEffect"}},     {"Focus", {"CICategorySharpen", "CICategoryBlur"}},
    {"Stylize", {"CICategoryStylize"}},             {"Gradient", {"CICategoryGradient"}},
    {"Color", {"CICategoryColorEffect", "CICategoryColorAdjustment"}},
    {"Tile", {"CICategoryTileEffect"}},            {"Generator", {"CICategoryGenerator"}}};

// Renders a filter at its defaults over a photograph the way the standard mode composes it:
// every image input gets the photo, generators are laid over it and cropped to it.
QImage renderAtDefaults(const QString &name, const Image &photo)
{
    auto f = Filter::filterWithName(name);
    if (!f) return QImage();
    f->setDefaults();
    const QVariantMap attrs = f->attributes();
    bool hasInputImage = false;
    for (const QString &key : f->inputKeys()) {
        const QVariantMap a = attrs.value(key).toMap();
        if (a.value("CIAttributeClass").toString() == "CIImage") f->setValue(QVariant::fromValue(photo), key);
        if (key == "inputImage") hasInputImage = true;
        if (key == "inputExtent" && a.value("CIAttributeClass").toString() == "CIVector")
            f->setValue(QVariant::fromValue(Vector{0, 0, photo.extent().width(), photo.extent().height()}), key);
    }
    Image out = f->outputImage();
    if (out.isNull()) return QImage();
    const Rect e = photo.extent();
    if (out.extent().width() > 1.3 * e.width() && out.extent().height() > 1.3 * e.height()) out = out.cropped(e);
    if (!hasInputImage) {
        auto over = Filter::filterWithName("CISourceOverCompositing");
        over->setValue(QVariant::fromValue(out), "inputImage");
        over->setValue(QVariant::fromValue(photo), "inputBackgroundImage");
        out = over->outputImage();
    }
    return renderToQImage(out, e, 0.5);
}

} // namespace

TEST(Catalogue, EveryRowHoldsSeveralFiltersAndTheDesignsNamesExist)
{
    QSet<QString> listed;
    for (const auto &[row, cats] : rows) {
        QStringList names;
        for (const QString &c : cats) names += Filter::filterNamesInCategory(c);
        EXPECT_GE(names.size(), 4) << row.toStdString();
        for (const QString &n : names) listed.insert(n);
    }
    EXPECT_GE(listed.size(), 80);
    for (const char *name : {"CICrop", "CISourceOverCompositing", "CIConstantColorGenerator", "CIAffineTransform", "CIColorInvert",
                             "CIGaussianBlur", "CIColorDodgeBlendMode", "CIGlassDistortion", "CIShadedMaterial", "CIColorMap",
                             "CICircularWrap", "CIGaussianGradient", "CILinearGradient", "CIRadialGradient", "CIStripesGenerator",
                             "CICheckerboardGenerator", "CITwirlDistortion", "CIPageCurlTransition", "CIRippleTransition",
                             "CIDisintegrateWithMaskTransition"})
        EXPECT_TRUE(Filter::filterWithName(name)) << name;
}

TEST(Catalogue, EveryControlAndHandleKindOccurs)
{
    QSet<QString> kinds;
    for (const QString &name : FilterRegistry::filterNames()) {
        auto f = Filter::filterWithName(name);
        const QVariantMap attrs = f->attributes();
        for (const QString &key : f->inputKeys()) {
            const QVariantMap a = attrs.value(key).toMap();
            const QString cls = a.value("CIAttributeClass").toString();
            kinds.insert(cls + "/" + a.value("CIAttributeType").toString());
            if (cls == "NSAffineTransform") kinds.insert(QString("transform-as-") + a.value("CIAttributeDefault").typeName());
            // Every default is accepted by the filter's own checks and every slider range is sane.
            if (a.contains("CIAttributeSliderMin")) {
                EXPECT_LE(a.value("CIAttributeSliderMin").toDouble(), a.value("CIAttributeSliderMax").toDouble()) << name.toStdString();
            }
        }
    }
    for (const char *k : {"NSNumber/CIAttributeTypeScalar", "NSNumber/CIAttributeTypeAngle", "NSNumber/CIAttributeTypeTime",
                          "NSNumber/CIAttributeTypeDistance", "NSNumber/CIAttributeTypeBoolean", "CIColor/", "CIImage/",
                          "CIVector/", "CIVector/CIAttributeTypeOffset", "CIVector/CIAttributeTypePosition",
                          "CIVector/CIAttributeTypePosition3", "CIVector/CIAttributeTypeRectangle",
                          "transform-as-imaging::AffineTransform", "transform-as-imaging::Vector"})
        EXPECT_TRUE(kinds.contains(k)) << k;
}

TEST(Catalogue, EveryFilterRendersAtItsDefaultsOnAPhotograph)
{
    const QImage photo = QImageReader(testimages::photoPath()).read();
    ASSERT_FALSE(photo.isNull());
    const Image img = imageFromQImage(photo);
    for (const QString &name : FilterRegistry::filterNames()) {
        if (name.startsWith('X')) continue; // filters registered by other tests
        SCOPED_TRACE(name.toStdString());
        const QImage out = renderAtDefaults(name, img);
        ASSERT_FALSE(out.isNull());
        // The picture "out" of itself is empty by its formula: the source times the
        // background's transparency, and the photograph is opaque.
        if (name == QLatin1String("CISourceOutCompositing")) continue;
        // Not empty: some pixel is visible.
        bool visible = false;
        for (int y = 0; y < out.height() && !visible; y += 3)
            for (int x = 0; x < out.width() && !visible; x += 3) visible = qAlpha(out.pixel(x, y)) > 0;
        EXPECT_TRUE(visible);
    }
}

TEST(DefaultImages, TextureAndMaskRepeatWithoutSeams)
{
    // The glass distortion repeats its texture over pictures larger than it: the step across the
    // join (last column to first, top row to bottom) must look like any step between neighbours.
    for (const char *path : {":/images/smoothtexture.tiff", ":/images/mask.tiff"}) {
        SCOPED_TRACE(path);
        const QImage img = QImage(path).convertToFormat(QImage::Format_Grayscale8);
        ASSERT_FALSE(img.isNull());
        const int w = img.width(), h = img.height();
        auto g = [&](int x, int y) { return static_cast<int>(img.constScanLine((y + h) % h)[(x + w) % w]); };
        struct Steps
        {
            double sum = 0;
            int worst = 0, count = 0;
            void add(int d)
            {
                sum += std::abs(d);
                worst = std::max(worst, std::abs(d));
                ++count;
            }
            double mean() const { return sum / count; }
        } inside, across;
        int lo = 255, hi = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                lo = std::min(lo, g(x, y));
                hi = std::max(hi, g(x, y));
                Steps &right = x == w - 1 ? across : inside, &down = y == h - 1 ? across : inside;
                right.add(g(x + 1, y) - g(x, y));
                down.add(g(x, y + 1) - g(x, y));
            }
        EXPECT_GT(hi - lo, 100); // a texture, not a flat field
        EXPECT_LE(across.mean(), 1.5 * inside.mean() + 0.5);
        EXPECT_LE(across.worst, inside.worst + 2);
    }
}
