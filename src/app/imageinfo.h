#pragma once

#include "platform/imageproperties.h"

#include <QDateTime>
#include <QDialog>
#include <QMap>

class QAction;
class QLabel;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// The non-modal tool window that shows what the current image's file says about itself: its path,
// a friendly type name, its size in bytes and every property as a tree, expanded, each level
// sorted by key. The controller tells the shared panel the file of every new image (none for an
// image that came from no file); the menu item "Image Information ..." opens and closes it.
class ImageInfo : public QDialog
{
    Q_OBJECT
public:
    explicit ImageInfo(QWidget *parent = nullptr);
    ~ImageInfo() override;

    // The first panel made registers itself as the shared one (null when none is alive).
    static ImageInfo *sharedPanel();
    // Hands `path` (empty for none) to the shared panel 0.02 s later, after the current event, so
    // that reading the file never delays what the user just did.
    static void setSharedURL(const QString &path);

    // Shows the file at `path`; empty shows "n/a" everywhere. Nothing happens when the path is the
    // one shown and the file has not changed on disk since. A file that cannot be read shows its
    // path, "n/a" for type and size, and an empty tree.
    void setMyURL(const QString &path);
    QString url() const { return mUrl; }
    // Puts the property tree into the model: a row per property (name, value), groups with their
    // members as children.
    void propTree(const QList<PropertyNode> &properties);

    // Type identifier -> friendly name; filled with ImageProperties::defaultTypeNames() at start.
    void initTypes();
    QMap<QString, QString> types() const { return m_types; }
    void setTypes(const QMap<QString, QString> &types) { m_types = types; }

    // The menu item's state: checked while the panel is visible; always enabled.
    bool validateMenuItem(QAction *item) const;

    // Outlets, public for the controller and tests.
    QLabel *mFilePath = nullptr;
    QLabel *mFileType = nullptr;
    QLabel *mFileSize = nullptr;
    QTreeView *mOView = nullptr;
    QStandardItemModel *mTree = nullptr;

protected:
    // A file saved over while the panel was closed is read again when it opens.
    void showEvent(QShowEvent *event) override;

private:
    void showFile(const QString &path);
    void showNothing(const QString &path);
    void expandAll();

    QString mUrl;
    // When and how large the file was when it was read, to tell a file changed on disk.
    QDateTime m_modified;
    qint64 m_size = -1;
    QMap<QString, QString> m_types;

    static ImageInfo *s_shared;
};
