#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>
#include <QVariant>

#include "imaging/image.h"

namespace imaging {

class FilterValues;

// Attribute keys and values as Core Image names them; the controls, the handles, favourites and
// lumetta-cli all read these.
inline const QString kCIAttributeFilterName = QStringLiteral("CIAttributeFilterName");
inline const QString kCIAttributeFilterDisplayName = QStringLiteral("CIAttributeFilterDisplayName");
inline const QString kCIAttributeFilterCategories = QStringLiteral("CIAttributeFilterCategories");
inline const QString kCIAttributeClass = QStringLiteral("CIAttributeClass");
inline const QString kCIAttributeType = QStringLiteral("CIAttributeType");
inline const QString kCIAttributeDisplayName = QStringLiteral("CIAttributeDisplayName");
inline const QString kCIAttributeDefault = QStringLiteral("CIAttributeDefault");
inline const QString kCIAttributeMin = QStringLiteral("CIAttributeMin");
inline const QString kCIAttributeMax = QStringLiteral("CIAttributeMax");
inline const QString kCIAttributeSliderMin = QStringLiteral("CIAttributeSliderMin");
inline const QString kCIAttributeSliderMax = QStringLiteral("CIAttributeSliderMax");
inline const QString kCIAttributeIdentity = QStringLiteral("CIAttributeIdentity");

inline const QString kCIAttributeTypeScalar = QStringLiteral("CIAttributeTypeScalar");
inline const QString kCIAttributeTypeAngle = QStringLiteral("CIAttributeTypeAngle");
inline const QString kCIAttributeTypeTime = QStringLiteral("CIAttributeTypeTime");
inline const QString kCIAttributeTypeDistance = QStringLiteral("CIAttributeTypeDistance");
inline const QString kCIAttributeTypeBoolean = QStringLiteral("CIAttributeTypeBoolean");
inline const QString kCIAttributeTypeInteger = QStringLiteral("CIAttributeTypeInteger");
inline const QString kCIAttributeTypeCount = QStringLiteral("CIAttributeTypeCount");
inline const QString kCIAttributeTypePosition = QStringLiteral("CIAttributeTypePosition");
inline const QString kCIAttributeTypePosition3 = QStringLiteral("CIAttributeTypePosition3");
inline const QString kCIAttributeTypeRectangle = QStringLiteral("CIAttributeTypeRectangle");
inline const QString kCIAttributeTypeOffset = QStringLiteral("CIAttributeTypeOffset");
inline const QString kCIAttributeTypeColor = QStringLiteral("CIAttributeTypeColor");
inline const QString kCIAttributeTypeOpaqueColor = QStringLiteral("CIAttributeTypeOpaqueColor");
inline const QString kCIAttributeTypeImage = QStringLiteral("CIAttributeTypeImage");
inline const QString kCIAttributeTypeTransform = QStringLiteral("CIAttributeTypeTransform");
inline const QString kCIAttributeTypeGradient = QStringLiteral("CIAttributeTypeGradient");

inline const QString kCICategoryDistortionEffect = QStringLiteral("CICategoryDistortionEffect");
inline const QString kCICategoryGeometryAdjustment = QStringLiteral("CICategoryGeometryAdjustment");
inline const QString kCICategoryCompositeOperation = QStringLiteral("CICategoryCompositeOperation");
inline const QString kCICategoryHalftoneEffect = QStringLiteral("CICategoryHalftoneEffect");
inline const QString kCICategoryColorAdjustment = QStringLiteral("CICategoryColorAdjustment");
inline const QString kCICategoryColorEffect = QStringLiteral("CICategoryColorEffect");
inline const QString kCICategoryTransition = QStringLiteral("CICategoryTransition");
inline const QString kCICategoryTileEffect = QStringLiteral("CICategoryTileEffect");
inline const QString kCICategoryGenerator = QStringLiteral("CICategoryGenerator");
inline const QString kCICategoryReduction = QStringLiteral("CICategoryReduction");
inline const QString kCICategoryGradient = QStringLiteral("CICategoryGradient");
inline const QString kCICategoryStylize = QStringLiteral("CICategoryStylize");
inline const QString kCICategorySharpen = QStringLiteral("CICategorySharpen");
inline const QString kCICategoryBlur = QStringLiteral("CICategoryBlur");
inline const QString kCICategoryVideo = QStringLiteral("CICategoryVideo");
inline const QString kCICategoryStillImage = QStringLiteral("CICategoryStillImage");
inline const QString kCICategoryInterlaced = QStringLiteral("CICategoryInterlaced");
inline const QString kCICategoryNonSquarePixels = QStringLiteral("CICategoryNonSquarePixels");
inline const QString kCICategoryHighDynamicRange = QStringLiteral("CICategoryHighDynamicRange");
inline const QString kCICategoryBuiltIn = QStringLiteral("CICategoryBuiltIn");

// The class names an input's attributes give; InputDescription::inputClass() reads them once.
inline const QString kClassNSNumber = QStringLiteral("NSNumber");
inline const QString kClassCIColor = QStringLiteral("CIColor");
inline const QString kClassCIVector = QStringLiteral("CIVector");
inline const QString kClassCIImage = QStringLiteral("CIImage");
inline const QString kClassNSAffineTransform = QStringLiteral("NSAffineTransform");

// The kind of value an input holds.
enum class InputClass { Number, Color, Vector, Transform, Image, Other };
InputClass inputClassNamed(const QString &attributeClass);

// The control row an input gets in the filter box. None for inputs edited on the canvas (points,
// rectangles) or not at all. The numbers are those the box records as its last row kind.
namespace controls {
enum ControlKind : int { None = 0, Number = 1, Colour = 2, Flag = 3, ImageWell = 4, Transform = 5, VectorRow = 6,
                         Offset = 8 };
} // namespace controls
using controls::ControlKind;

// A picture from the program's resources that an image input starts with instead of the current
// image (a texture, a shading map, a colour ramp, a mask).
enum class DefaultImage { None, Texture, ShadingMap, AlphaMap, Ramp, Mask };

// One input of a filter, declared once: class, type, default and ranges.
struct InputDescription
{
    QString key;
    QString attributeClass;     // "NSNumber", "CIColor", "CIImage", "CIVector", "NSAffineTransform"
    QString attributeType;      // may be empty
    QString displayName;
    QVariant defaultValue;      // invalid for inputs without a default (images)
    std::optional<double> min, max, sliderMin, sliderMax, identity;
    // An image the filter repeats over the plane (a texture): a preview scales it as the repeated
    // pattern, so that the copies still join without seams.
    bool repeats = false;
    DefaultImage defaultImage = DefaultImage::None;

    InputClass inputClass() const { return inputClassNamed(attributeClass); }
    bool isImage() const { return inputClass() == InputClass::Image; }
    bool isBoolean() const;
    // Edited by dragging a handle on the canvas: points, 3D points, rectangles and transforms
    // (their origin).
    bool hasCanvasHandle() const;
    ControlKind controlKind() const;
};

// A filter as the registry holds it: its declaration block plus the function that builds the
// output recipe from checked input values.
struct FilterDescription
{
    QString name;
    QString displayName;
    QStringList categories;
    std::vector<InputDescription> inputs;
    std::function<Image(const FilterValues &)> build;
    // For filters that draw a regular pattern (screens, cells, noise): the size in pixels of its
    // finest detail for the given values. A preview whose scale makes that smaller than a few
    // screen pixels renders the pattern finer and averages it down, as the result would look.
    std::function<double(const FilterValues &)> finestDetail;
    // For filters whose strength is not a length of the picture: changes the values a preview at
    // scale s gets, after they were scaled by their types (a slope taken per pixel of a texture
    // grows as the preview shrinks the texture, so its amount must shrink by s once more).
    std::function<void(QVariantMap &values, double s)> previewValues;
    // For filters whose look at a scale below 1 cannot come from scaled values (nothing of theirs is
    // a length: a median of fixed size, noise of one pixel): the picture a preview at scale s shows,
    // from the values scaled as above, made at the preview's size. A null image leaves the preview
    // to the usual way (finestDetail).
    std::function<Image(const FilterValues &values, double s)> previewBuild;
    // For filters drawn with sizes in pixels of their own (outlines of a set width, a slope taken
    // over a few pixels): the result for the picture at scale t, from the values scaled to t,
    // with those sizes scaled by t as well; at t = 1 it is `build`. A preview at scale s renders
    // through it at a finer scale (where those sizes still span pixels) and averages that down to
    // s, as the full result looks at s, without rendering the whole picture at full size.
    std::function<Image(const FilterValues &values, double t)> buildAtScale;

    const InputDescription *input(const QString &key) const
    {
        for (const InputDescription &i : inputs)
            if (i.key == key) return &i;
        return nullptr;
    }
    // True when some input is edited with a handle on the canvas.
    bool hasCanvasHandles() const;
};

} // namespace imaging
