#pragma once

#include <memory>

#include <QString>
#include <QStringList>

#include "imaging/filterdescription.h"

namespace imaging {

// The table of all filters. The built-in catalogue registers itself on first use; filters from
// elsewhere (plug-ins, the application, tests) are added with registerFilter().
class FilterRegistry
{
public:
    // Adds or replaces the filter of that name. A description without a name or a build function
    // is refused with a log line.
    static bool registerFilter(FilterDescription description);
    static std::shared_ptr<const FilterDescription> description(const QString &name);

    // Every registered name, in registration order.
    static QStringList filterNames();
    // The names in a category, sorted by name.
    static QStringList filterNamesInCategory(const QString &category);
    // The names that are in every one of the categories, sorted by name.
    static QStringList filterNamesInCategories(const QStringList &categories);
    static QString localizedNameForFilterName(const QString &name);
    // "CICategoryColorAdjustment" -> "Color Adjustment".
    static QString localizedNameForCategory(const QString &category);
    // Loads filter plug-ins. There is no plug-in format yet, so this loads nothing; it exists so
    // that start-up can call it as designed.
    static void loadAllPlugIns();
};

} // namespace imaging
