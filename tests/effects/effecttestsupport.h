#pragma once

#include "effects/stillimagehost.h"
#include "platform/undomanager.h"

#include <QColor>
#include <QImage>

inline QImage solidImage(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}
