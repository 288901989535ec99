#include "app/datasource.h"

#include "imaging/catalogrows.h"
#include "imaging/filter.h"
#include "imaging/filterregistry.h"

namespace {
// Filter rows carry their category's position + 1 as internal id; category rows carry 0.
constexpr quintptr categoryId = 0;
} // namespace

DataSource::DataSource(QObject *parent) : QAbstractItemModel(parent)
{
    buildFilters();
}

void DataSource::buildFilters()
{
    beginResetModel();
    m_cifilters.clear();
    for (const imaging::CatalogRow &row : imaging::catalogRows()) {
        const QStringList names = imaging::filterNamesInRow(row);
        if (names.isEmpty()) continue; // a category without filters gets no row
        m_cifilters.append({row.name, buildFilterDictionary(names)});
    }
    endResetModel();
}

QList<QVariantMap> DataSource::buildFilterDictionary(const QStringList &names) const
{
    QList<QVariantMap> records;
    for (const QString &name : names) {
        auto filter = imaging::Filter::filterWithName(name);
        if (!filter) continue; // a generator's empty key list still counts as a list
        QVariantMap record;
        record.insert(QStringLiteral("class"), name);
        record.insert(QStringLiteral("name"), filter->attributes().value(imaging::kCIAttributeFilterDisplayName));
        records.append(record);
    }
    return records;
}

bool DataSource::isControlsPresent(const QString &filterName)
{
    const auto description = imaging::FilterRegistry::description(filterName);
    return description && description->hasCanvasHandles();
}

QStringList DataSource::categoryNames() const
{
    QStringList names;
    for (const Category &c : m_cifilters) names << c.name;
    return names;
}

QList<QVariantMap> DataSource::filtersInCategory(const QString &category) const
{
    for (const Category &c : m_cifilters)
        if (c.name == category) return c.filters;
    return {};
}

bool DataSource::isCategory(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.internalId() == categoryId;
}

QVariantMap DataSource::filterRecord(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.internalId() == categoryId) return {};
    const qsizetype c = static_cast<qsizetype>(index.internalId() - 1);
    if (c >= m_cifilters.size() || index.row() >= m_cifilters[c].filters.size()) return {};
    return m_cifilters[c].filters[index.row()];
}

QModelIndex DataSource::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount()) return {};
    if (!parent.isValid()) return row < m_cifilters.size() ? createIndex(row, column, categoryId) : QModelIndex();
    if (!isCategory(parent) || parent.row() >= m_cifilters.size()) return {};
    if (row >= m_cifilters[parent.row()].filters.size()) return {};
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex DataSource::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == categoryId) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, categoryId);
}

int DataSource::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid()) return static_cast<int>(m_cifilters.size());
    if (parent.column() != 0 || !isCategory(parent) || parent.row() >= m_cifilters.size()) return 0;
    return static_cast<int>(m_cifilters[parent.row()].filters.size());
}

int DataSource::columnCount(const QModelIndex &) const
{
    return 2;
}

bool DataSource::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid()) return !m_cifilters.isEmpty();
    return isCategory(parent);
}

QVariant DataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return {};
    if (index.column() == 0) {
        // The icon column: the marker for filters edited with handles, nothing for categories.
        if (role != Qt::DecorationRole || isCategory(index)) return {};
        const QString cls = filterRecord(index).value(QStringLiteral("class")).toString();
        if (!isControlsPresent(cls)) return {};
        if (m_marker.isNull()) const_cast<DataSource *>(this)->m_marker = QIcon(QStringLiteral(":/images/16x16c.tif"));
        return m_marker;
    }
    if (role != Qt::DisplayRole) return {};
    if (isCategory(index)) return index.row() < m_cifilters.size() ? m_cifilters[index.row()].name : QVariant();
    return filterRecord(index).value(QStringLiteral("name"));
}

Qt::ItemFlags DataSource::flags(const QModelIndex &index) const
{
    // Read-only: rows can be selected, never edited.
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
