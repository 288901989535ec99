#pragma once
// A controller stand-in that records what the rows and the canvas hand it, and a filter with one
// input of every kind, for the standard mode's view tests.
#include "imaging/filter.h"
#include "imaging/filterregistry.h"
#include "imaging/filtervalues.h"
#include "imaging/qimageadapter.h"
#include "views/canvascontroller.h"

#include <QImage>

#include <vector>

struct Commit
{
    QString key;
    QVariant value;
};

class RecordingController : public CanvasController
{
public:
    imaging::Image image;
    std::shared_ptr<imaging::Filter> filter;
    std::vector<Commit> commits;
    QStringList actionNames;
    int redraws = 0;
    bool controlsPresent = true;
    QStringList dropped; // paths handed over by file drops

    imaging::Image backImage() const override { return image; }
    imaging::Image coreImageResult(bool) override { return image; }
    void setZoom(float) override {}
    void updateZoommWithDelta(float) override {}
    QMenu *contextMenu() const override { return nullptr; }
    std::shared_ptr<imaging::Filter> getCurrentFilter() const override { return filter; }
    void setFilter(const std::shared_ptr<imaging::Filter> &f, const QVariant &v, const QString &key) override
    {
        f->setValue(v, key);
        commits.push_back({key, v});
    }
    void setActionNameForFilter(const std::shared_ptr<imaging::Filter> &, const QString &key) override
    {
        actionNames << key;
    }
    void updateView() override { ++redraws; }
    bool isControlsPresent() const override { return controlsPresent; }
    void openDroppedFile(const QString &p) override { dropped << p; }
};

inline imaging::Image plainImage(int w, int h, QColor colour = Qt::white)
{
    QImage q(w, h, QImage::Format_ARGB32_Premultiplied);
    q.fill(colour);
    return imaging::imageFromQImage(q);
}

// "TestAllKinds": one input of each control kind plus handle inputs, registered once.
inline std::shared_ptr<imaging::Filter> allKindsFilter()
{
    using namespace imaging;
    static const bool registered = [] {
        auto in = [](const char *key, const char *cls, const QString &type, QVariant def, const char *display = "") {
            InputDescription d;
            d.key = QString::fromLatin1(key);
            d.attributeClass = QString::fromLatin1(cls);
            d.attributeType = type;
            d.displayName = QString::fromLatin1(display);
            d.defaultValue = def;
            return d;
        };
        FilterDescription f;
        f.name = QStringLiteral("TestAllKinds");
        f.displayName = QStringLiteral("All Kinds");
        InputDescription time = in("inputTime", "NSNumber", kCIAttributeTypeTime, 0.5, "Time");
        time.min = 0; time.max = 1;
        InputDescription angle = in("inputAngle", "NSNumber", kCIAttributeTypeAngle, M_PI / 2, "Angle");
        angle.sliderMin = -M_PI; angle.sliderMax = M_PI;
        InputDescription radius = in("inputRadius", "NSNumber", kCIAttributeTypeDistance, 10.0, "Radius");
        radius.sliderMin = 0; radius.sliderMax = 100;
        f.inputs = {
            in("inputImage", "CIImage", {}, {}),
            time, angle, radius,
            in("inputFlag", "NSNumber", kCIAttributeTypeBoolean, true, "Flag"),
            in("inputColor0", "CIColor", {}, QVariant::fromValue(Color(1, 0, 0, 1)), "Color 0"),
            in("inputTransform", "NSAffineTransform", {}, QVariant::fromValue(AffineTransform())),
            in("inputOffset", "CIVector", kCIAttributeTypeOffset, QVariant::fromValue(Vector{3, 4}), "Offset"),
            in("inputVector", "CIVector", {}, QVariant::fromValue(Vector{1, 2, 3, 4}), "Vector"),
            in("inputCenter", "CIVector", kCIAttributeTypePosition, QVariant::fromValue(Vector{50, 40}), "Center"),
            in("inputRectangle", "CIVector", kCIAttributeTypeRectangle, QVariant::fromValue(Vector{10, 10, 20, 30}), "Rectangle"),
        };
        f.build = [](const FilterValues &v) { return v.image(QStringLiteral("inputImage")); };
        return FilterRegistry::registerFilter(f);
    }();
    (void)registered;
    return imaging::Filter::filterWithName(QStringLiteral("TestAllKinds"));
}
