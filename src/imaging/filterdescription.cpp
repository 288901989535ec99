#include "imaging/filterdescription.h"

#include <algorithm>

namespace imaging {

InputClass inputClassNamed(const QString &attributeClass)
{
    if (attributeClass == kClassNSNumber) return InputClass::Number;
    if (attributeClass == kClassCIColor) return InputClass::Color;
    if (attributeClass == kClassCIVector) return InputClass::Vector;
    if (attributeClass == kClassNSAffineTransform) return InputClass::Transform;
    if (attributeClass == kClassCIImage) return InputClass::Image;
    return InputClass::Other;
}

bool InputDescription::isBoolean() const
{
    return inputClass() == InputClass::Number && attributeType == kCIAttributeTypeBoolean;
}

bool InputDescription::hasCanvasHandle() const
{
    switch (inputClass()) {
    case InputClass::Transform:
        return true;
    case InputClass::Vector:
        return attributeType == kCIAttributeTypePosition || attributeType == kCIAttributeTypePosition3
            || attributeType == kCIAttributeTypeRectangle;
    default:
        return false;
    }
}

ControlKind InputDescription::controlKind() const
{
    switch (inputClass()) {
    case InputClass::Number:
        return isBoolean() ? controls::Flag : controls::Number;
    case InputClass::Color:
        return controls::Colour;
    case InputClass::Image:
        return controls::ImageWell;
    case InputClass::Transform:
        return controls::Transform;
    case InputClass::Vector:
        // Points and rectangles are dragged on the canvas; other vectors get their fields.
        if (attributeType.isEmpty()) return controls::VectorRow;
        if (attributeType == kCIAttributeTypeOffset) return controls::Offset;
        return controls::None;
    case InputClass::Other:
        break;
    }
    return controls::None;
}

bool FilterDescription::hasCanvasHandles() const
{
    return std::ranges::any_of(inputs, [](const InputDescription &in) { return in.hasCanvasHandle(); });
}

} // namespace imaging
