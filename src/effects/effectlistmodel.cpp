#include "effects/effectlistmodel.h"

#include "effects/baseeffect.h"

#include <QHeaderView>
#include <QTreeView>

EffectListModel::EffectListModel(MarkerMode mode, QObject *parent)
    : QAbstractItemModel(parent)
    , m_mode(mode)
    , m_marker(QStringLiteral(":/images/16x16c.tif"))
{
    if (m_marker.isNull())
        qWarning("EffectListModel: the marker image 16x16c.tif is missing");
}

void EffectListModel::setEffects(const std::vector<BaseEffect *> &effects)
{
    beginResetModel();
    m_effects = effects;
    endResetModel();
}

void EffectListModel::showIn(QTreeView *list)
{
    list->setModel(this);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setRootIsDecorated(false);
    list->setHeaderHidden(true);
    if (QHeaderView *header = list->header()) {
        header->setStretchLastSection(true);
        header->setSectionResizeMode(0, QHeaderView::Fixed);
        header->resizeSection(0, 24);
    }
}

BaseEffect *EffectListModel::effectAt(int row) const
{
    if (row < 0 || row >= int(m_effects.size()))
        return nullptr;
    return m_effects[size_t(row)];
}

BaseEffect *EffectListModel::effectAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return effectAt(index.row());
}

QModelIndex EffectListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= int(m_effects.size()) || column < 0 || column > 1)
        return {};
    return createIndex(row, column);
}

QModelIndex EffectListModel::parent(const QModelIndex &) const
{
    return {};
}

int EffectListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_effects.size());
}

int EffectListModel::columnCount(const QModelIndex &) const
{
    return 2;
}

QVariant EffectListModel::data(const QModelIndex &index, int role) const
{
    BaseEffect *effect = effectAt(index);
    if (!effect)
        return {};
    if (index.column() == 0) {
        const bool marked = m_mode == MarkAll || effect->isMousing();
        if (role == Qt::DecorationRole && marked && !m_marker.isNull())
            return m_marker;
        return {};
    }
    if (role == Qt::DisplayRole)
        return effect->myname();
    if (role == Qt::ToolTipRole)
        return effect->tips();
    return {};
}

Qt::ItemFlags EffectListModel::flags(const QModelIndex &index) const
{
    if (!effectAt(index))
        return Qt::NoItemFlags;
    // Items are chosen, never edited.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
