#pragma once

#include <QString>
#include <QVariantMap>

namespace imaging {

// What a filter output was made from: enough to make it again with other values.
struct FilterRecipe
{
    QString name;
    QVariantMap values;
};

} // namespace imaging
