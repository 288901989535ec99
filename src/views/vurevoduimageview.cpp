#include "views/vurevoduimageview.h"

#include "platform/imagefiles.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>

VurEvoduImageView::VurEvoduImageView(QWidget *parent)
    : QLabel(parent)
{
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

void VurEvoduImageView::setImage(const QImage &image)
{
    m_image = image;
    refreshPixmap();
}

void VurEvoduImageView::refreshPixmap()
{
    if (m_image.isNull()) {
        setPixmap(QPixmap());
        return;
    }
    const QSize room = contentsRect().size();
    QImage shown = m_image;
    if (shown.width() > room.width() || shown.height() > room.height())
        shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    setPixmap(QPixmap::fromImage(shown));
}

void VurEvoduImageView::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    refreshPixmap();
}

void VurEvoduImageView::dragEnterEvent(QDragEnterEvent *event)
{
    const QStringList formats = event->mimeData()->formats();
    const bool picture = std::any_of(formats.cbegin(), formats.cend(),
                                     [](const QString &f) { return f.startsWith(QLatin1String("image/")); });
    if (event->mimeData()->hasUrls() || event->mimeData()->hasImage() || picture)
        event->acceptProposedAction();
}

void VurEvoduImageView::dropEvent(QDropEvent *event)
{
    m_filePath.clear();
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        m_filePath = urls.first().toLocalFile();

    // Every picture goes through the program's one reader and its guards; an unreadable one shows
    // nothing and leaves the row's input alone (the row reads the file again when it commits).
    QString error;
    QImage picture;
    if (!m_filePath.isEmpty()) {
        picture = ImageFiles::readImageFile(m_filePath, &error);
    } else {
        for (const QString &format : event->mimeData()->formats()) {
            if (format.startsWith(QLatin1String("image/")) && picture.isNull())
                picture = ImageFiles::readImageData(event->mimeData()->data(format), &error);
        }
    }
    setImage(picture);
    if (picture.isNull() && !error.isEmpty())
        qWarning("Image well: the dropped picture cannot be read: %s", qPrintable(error));
    event->acceptProposedAction();
    emit imageChanged();
}

void VurEvoduImageView::mousePressEvent(QMouseEvent *event)
{
    // The well is dragged out as its file; a well without one has nothing to hand over.
    if (event->button() != Qt::LeftButton || m_filePath.isEmpty())
        return;
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(m_filePath)});
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    const QIcon icon = QFileIconProvider().icon(QFileInfo(m_filePath));
    drag->setPixmap(icon.pixmap(32, 32));
    drag->setHotSpot(QPoint(16, 16));
    drag->exec(Qt::CopyAction);
}
