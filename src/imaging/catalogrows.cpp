#include "imaging/catalogrows.h"

#include "imaging/filterdescription.h"
#include "imaging/filterregistry.h"

namespace imaging {

const std::vector<CatalogRow> &catalogRows()
{
    static const std::vector<CatalogRow> rows = {
        {QStringLiteral("Geometry"), {kCICategoryGeometryAdjustment}},
        {QStringLiteral("Distortion"), {kCICategoryDistortionEffect}},
        {QStringLiteral("Halftone"), {kCICategoryHalftoneEffect}},
        {QStringLiteral("Focus"), {kCICategorySharpen, kCICategoryBlur}},
        {QStringLiteral("Stylize"), {kCICategoryStylize}},
        {QStringLiteral("Gradient"), {kCICategoryGradient}},
        {QStringLiteral("Color"), {kCICategoryColorEffect, kCICategoryColorAdjustment}},
        {QStringLiteral("Tile"), {kCICategoryTileEffect}},
        {QStringLiteral("Generator"), {kCICategoryGenerator}},
    };
    return rows;
}

QStringList filterNamesInRow(const CatalogRow &row)
{
    QStringList names;
    for (const QString &c : row.categories) names += FilterRegistry::filterNamesInCategory(c);
    return names;
}

} // namespace imaging
