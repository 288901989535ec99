#pragma once

#include "effects/stillimagehost.h"
#include "imaging/values.h"
#include "platform/undomanager.h"

#include <QColor>
#include <QImage>
#include <QVariantMap>

inline QImage solidImage(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

// Every value of an effect's settings moved away from its default, in its own type, so that a round
// trip cannot pass by falling back to the default ("class" stays).
inline QVariantMap movedAwayFromDefaults(QVariantMap settings)
{
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        if (it.key() == "class")
            continue;
        const QVariant v = *it;
        if (v.metaType() == QMetaType::fromType<imaging::Color>())
            *it = QVariant::fromValue(imaging::Color(0.5, 0.25, 0.125, 0.75));
        else if (v.metaType().id() == QMetaType::Bool)
            *it = !v.toBool();
        else if (v.metaType().id() == QMetaType::QString)
            *it = v.toString() + " (mine)";
        else if (v.metaType().id() == QMetaType::Int)
            *it = v.toInt() + 1;
        else
            it->setValue(v.toFloat() + 0.5f);
    }
    return settings;
}
