#pragma once

#include <QAbstractItemModel>
#include <QImage>

#include <vector>

class BaseEffect;
class QTreeView;

// The effect lists of the custom and 3D modes: one row per prototype effect, in a fixed order.
// Column 0 shows the marker image for effects that follow the mouse (in the custom list) or for
// every effect (in the 3D list); column 1 shows the effect's name. The model does not own the
// prototypes.
class EffectListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum MarkerMode { MarkMousing, MarkAll };

    explicit EffectListModel(MarkerMode mode, QObject *parent = nullptr);

    void setEffects(const std::vector<BaseEffect *> &effects);
    // Shows the model in `list`: one selectable row per effect, no header, the marker column 24
    // wide and the names in the rest.
    void showIn(QTreeView *list);
    // The effect of a row; null for any other index.
    BaseEffect *effectAt(const QModelIndex &index) const;
    BaseEffect *effectAt(int row) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    MarkerMode m_mode;
    std::vector<BaseEffect *> m_effects;
    QImage m_marker;
};
