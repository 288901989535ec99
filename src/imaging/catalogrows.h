#pragma once

#include <vector>

#include <QString>
#include <QStringList>

namespace imaging {

// One row of the standard mode's filter list: its title and the categories whose filters it
// lists, in order (a filter in two of them appears twice).
struct CatalogRow
{
    QString name;
    QStringList categories;
};

// The nine rows in list order.
const std::vector<CatalogRow> &catalogRows();
// The filter names of a row, gathered category by category.
QStringList filterNamesInRow(const CatalogRow &row);

} // namespace imaging
