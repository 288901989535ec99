#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The standard mode's filter list: category rows, each holding the records of its filters. Built
// once from the filter registry and read-only afterwards. Column 0 shows the marker for filters
// with canvas handles, column 1 the names.
class DataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit DataSource(QObject *parent = nullptr);

    // Fills the catalogue (called by the constructor).
    void buildFilters();
    // One record per name that gives a filter with input keys: "class" (the filter name) and
    // "name" (its display name), in the order of `names`.
    QList<QVariantMap> buildFilterDictionary(const QStringList &names) const;
    // Whether the filter has inputs edited by handles on the canvas: a transform, or a vector
    // that is a position, a rectangle or a 3D position.
    static bool isControlsPresent(const QString &filterName);

    // The category rows' names in list order.
    QStringList categoryNames() const;
    // The records of one category (empty for an unknown one).
    QList<QVariantMap> filtersInCategory(const QString &category) const;
    // True for category rows (they expand); false for filter rows and invalid indexes.
    bool isCategory(const QModelIndex &index) const;
    // The record of a filter row; empty for category rows.
    QVariantMap filterRecord(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Category
    {
        QString name;
        QList<QVariantMap> filters;
    };
    QList<Category> m_cifilters;
    QIcon m_marker;
};
