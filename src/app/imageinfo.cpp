#include "app/imageinfo.h"

#include <QAction>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

ImageInfo *ImageInfo::s_shared = nullptr;

namespace {
const QString notAvailable = QStringLiteral("n/a");
// The delay between the controller's news and the panel's update.
constexpr int updateDelayMs = 20;
} // namespace

ImageInfo::ImageInfo(QWidget *parent)
    : QDialog(parent, Qt::Tool)
{
    setWindowTitle(tr("Image Information"));
    setModal(false);
    // The panel takes the keyboard only when clicked: opening it leaves the main window active.
    setAttribute(Qt::WA_ShowWithoutActivating);

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto makeField = [this] {
        auto *field = new QLabel(notAvailable, this);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return field;
    };
    mFilePath = makeField();
    mFilePath->setWordWrap(true);
    mFileType = makeField();
    mFileSize = makeField();
    form->addRow(tr("Path:"), mFilePath);
    form->addRow(tr("Type:"), mFileType);
    form->addRow(tr("Size:"), mFileSize);
    layout->addLayout(form);

    mTree = new QStandardItemModel(0, 2, this);
    mTree->setHorizontalHeaderLabels({tr("Property"), tr("Value")});
    mOView = new QTreeView(this);
    mOView->setModel(mTree);
    mOView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mOView->setSelectionBehavior(QAbstractItemView::SelectRows);
    mOView->setAlternatingRowColors(true);
    mOView->setUniformRowHeights(true);
    mOView->header()->setStretchLastSection(true);
    layout->addWidget(mOView, 1);

    resize(480, 560);
    initTypes();
    if (!s_shared)
        s_shared = this;
}

ImageInfo::~ImageInfo()
{
    if (s_shared == this)
        s_shared = nullptr;
}

ImageInfo *ImageInfo::sharedPanel()
{
    return s_shared;
}

void ImageInfo::setSharedURL(const QString &path)
{
    QPointer<ImageInfo> panel(s_shared);
    if (!panel)
        return;
    QTimer::singleShot(updateDelayMs, panel, [panel, path] {
        if (panel)
            panel->setMyURL(path);
    });
}

void ImageInfo::initTypes()
{
    m_types = ImageProperties::defaultTypeNames();
}

bool ImageInfo::validateMenuItem(QAction *item) const
{
    if (item) {
        item->setCheckable(true);
        item->setChecked(isVisible());
    }
    return true;
}

void ImageInfo::setMyURL(const QString &path)
{
    if (path == mUrl) {
        // The same file is not read again unless it changed on disk (saved over, say).
        if (path.isEmpty())
            return;
        const QFileInfo info(path);
        if (info.lastModified() == m_modified && info.size() == m_size)
            return;
    }
    if (path.isEmpty())
        showNothing(QString());
    else
        showFile(path);
}

void ImageInfo::showNothing(const QString &path)
{
    mUrl = path;
    m_modified = QDateTime();
    m_size = -1;
    mTree->removeRows(0, mTree->rowCount());
    mFilePath->setText(path.isEmpty() ? notAvailable : path);
    mFileType->setText(notAvailable);
    mFileSize->setText(notAvailable);
}

void ImageInfo::showFile(const QString &path)
{
    const QFileInfo stamp(path);
    const ImageFileProperties info = ImageProperties::read(path);
    if (!info.readable) {
        qWarning("Image information: cannot read %s: %s", qPrintable(path), qPrintable(info.error));
        showNothing(path);
    } else {
        mUrl = path;
        mFilePath->setText(path);
        mFileType->setText(m_types.value(info.typeIdentifier, info.typeIdentifier));
        mFileSize->setText(QStringLiteral("%1 bytes").arg(info.fileSize));
        propTree(info.properties);
    }
    // Remembered for unreadable files too: a file that becomes readable is then read again.
    m_modified = stamp.lastModified();
    m_size = stamp.exists() ? stamp.size() : -1;
    expandAll();
}

namespace {
void appendRows(QStandardItem *parent, const QList<PropertyNode> &nodes)
{
    for (const PropertyNode &node : nodes) {
        auto *name = new QStandardItem(node.name);
        auto *value = new QStandardItem(node.value);
        name->setToolTip(node.key);
        value->setToolTip(node.value);
        appendRows(name, node.children);
        parent->appendRow({name, value});
    }
}
} // namespace

void ImageInfo::propTree(const QList<PropertyNode> &properties)
{
    mTree->removeRows(0, mTree->rowCount());
    appendRows(mTree->invisibleRootItem(), properties);
}

void ImageInfo::expandAll()
{
    mOView->clearSelection();
    mOView->expandAll();
    mOView->resizeColumnToContents(0);
}

void ImageInfo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setMyURL(mUrl);
}
