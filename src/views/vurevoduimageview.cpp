#include "views/vurevoduimageview.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

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
    if (event->mimeData()->hasUrls() || event->mimeData()->hasImage())
        event->acceptProposedAction();
}

void VurEvoduImageView::dropEvent(QDropEvent *event)
{
    m_filePath.clear();
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        m_filePath = urls.first().toLocalFile();

    if (!m_filePath.isEmpty()) {
        QImageReader reader(m_filePath);
        reader.setAutoTransform(true);
        setImage(reader.read());
    } else if (event->mimeData()->hasImage()) {
        setImage(qvariant_cast<QImage>(event->mimeData()->imageData()));
    }
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
