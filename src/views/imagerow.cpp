#include "views/imagerow.h"

#include "platform/geometry.h"
#include "platform/imagefiles.h"
#include "views/parameterview.h"
#include "views/vurevoduimageview.h"

#include <QFileDialog>
#include <QPushButton>

#include <cmath>

namespace {
QImage loadPicture(const QString &path)
{
    QString error;
    const QImage picture = ImageFiles::readImageFile(path, &error);
    if (picture.isNull())
        qWarning("Cannot read the image file %s: %s", qPrintable(path), qPrintable(error));
    return picture;
}
} // namespace

ImageRow::ImageRow(ParameterView *view, const std::shared_ptr<imaging::Filter> &filter, const QString &key,
                   CanvasController *master)
    : ParameterRow(view, filter, key, master)
{
    m_well = new VurEvoduImageView(view);
    place(m_well, QRectF(80, 0, 48, 44), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(m_well, &VurEvoduImageView::imageChanged, this, &ImageRow::imageWellChanged);
    m_caption = makeCaption(QRectF(0, 10, 75, 16), captionText(false), true);
    m_button = new QPushButton(QStringLiteral("Choose"), view);
    m_button->setFont(smallFont(m_button->font(), 9));
    place(m_button, QRectF(135, 13, 75, 16), NSViewMinXMargin | NSViewWidthSizable | NSViewMinYMargin);
    connect(m_button, &QPushButton::clicked, this, &ImageRow::pushButtonChanged);
    showThumbnail();
}

void ImageRow::showThumbnail()
{
    const imaging::Image image = inputValue().value<imaging::Image>();
    const imaging::Rect extent = image.isNull() ? imaging::Rect() : image.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return;
    // A thumbnail 64 points on its longer side.
    const double w = extent.width(), h = extent.height();
    double tw, th;
    float sx, sy;
    if (w > h) {
        tw = 64;
        sx = float(64 / w);
        th = std::max(1.0, std::round(h * sx));
        sy = float(th / h);
    } else {
        th = 64;
        sy = float(64 / h);
        tw = std::max(1.0, std::round(w * sy));
        sx = float(tw / w);
    }
    const imaging::Image small = image.transformed(imaging::AffineTransform::scale(sx, sy));
    m_well->setImage(ParameterView::CIImageToNSImage(small, QRectF(0, 0, tw, th)));
}

void ImageRow::imageWellChanged()
{
    if (!m_well->filePath().isEmpty()) {
        // An unreadable file leaves the input as it was: clearing it would blank the canvas.
        const QImage picture = loadPicture(m_well->filePath());
        if (!picture.isNull())
            commit(QVariant::fromValue(ParameterView::CIImageWithNSImage(picture)));
    }
    redraw();
}

void ImageRow::pushButtonChanged()
{
    const QString path = QFileDialog::getOpenFileName(view(), ParameterView::tr("Choose an image"));
    if (path.isEmpty())
        return;
    m_well->setFilePath1(path);
    const QImage picture = loadPicture(path);
    if (!picture.isNull()) {
        m_well->setImage(picture);
        commit(QVariant::fromValue(ParameterView::CIImageWithNSImage(picture)));
    }
    redraw();
}
