// Opening and saving the current image.
#include "app/controller.h"

#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "widgets/dovalert.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

struct ExportFormat
{
    const char *name;      // shown in the save dialog and used as the file extension
    const char *writer;    // Qt image writer format, or "pdf"
};

// The formats the save dialog offers, in the order it lists them. ICNS files hold TIFF data.
const ExportFormat exportFormats[] = {
    {"JPEG", "jpeg"}, {"TIFF", "tiff"}, {"PNG", "png"}, {"BMP", "bmp"}, {"ICNS", "tiff"}, {"PDF", "pdf"},
};

const ExportFormat *formatForExtension(const QString &extension)
{
    for (const ExportFormat &format : exportFormats)
        if (extension.compare(QLatin1String(format.name), Qt::CaseInsensitive) == 0)
            return &format;
    return nullptr;
}

QByteArray encode(const QImage &image, const ExportFormat &format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (qstrcmp(format.writer, "pdf") == 0) {
        // One page whose size in points equals the picture's size in pixels.
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(image.width(), image.height()), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        painter.drawImage(QRect(0, 0, image.width(), image.height()), image);
        painter.end();
    } else {
        QImageWriter writer(&buffer, format.writer);
        if (!writer.write(image)) {
            qWarning("Save: the %s encoder failed: %s", format.name, qPrintable(writer.errorString()));
            return QByteArray();
        }
    }
    return bytes;
}

} // namespace

void Controller::openImg()
{
    auto *dialog = new QFileDialog(window, tr("Open Image"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    dialog->setNameFilters({tr("Images (%1)").arg(patterns.join(' ')), tr("All files (*)")});
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) { openFile(path); });
    dialog->open();
}

bool Controller::openFile(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        // Keep the current image and title: an unreadable file must not leave the program empty.
        qWarning("Open: cannot read %s: %s", qPrintable(path), qPrintable(reader.errorString()));
        return false;
    }
    setFilePath(path);
    setBackgroundImage(imaging::imageFromQImage(image));
    return true;
}

void Controller::saveImg()
{
    if (_filePath.isEmpty())
        runSavePanel();
    else
        finishSave(saveExistFile());
}

void Controller::saveImgAs()
{
    runSavePanel();
}

bool Controller::saveExistFile()
{
    const int answer = DovAlert::Alert_OKCancel(window, QStringLiteral("Do you want to replace an existing file?"),
        QStringLiteral("A file with the same name is already exists. Replacing it will overwrite its current contents."));
    if (answer == 2)
        return true; // nothing written, and nothing to report
    return simplySave(_filePath);
}

bool Controller::simplySave(const QString &path)
{
    const ExportFormat *format = formatForExtension(QFileInfo(path).suffix());
    if (!format) {
        qWarning("Save: no export format for %s", qPrintable(path));
        return false;
    }
    const QImage image = getEffectedImage();
    if (image.isNull()) {
        qWarning("Save: there is no picture to save");
        return false;
    }
    const QByteArray bytes = encode(image, *format);
    if (bytes.isEmpty())
        return false;
    // Written to a temporary file beside the target and renamed into place, so that a failed save
    // never destroys the existing file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning("Save: cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

void Controller::finishSave(bool ok)
{
    if (ok) {
        m_wasChanged = false;
        if (s_quitAfterSave)
            QMetaObject::invokeMethod(this, &Controller::terminate, Qt::QueuedConnection);
        return;
    }
    // After a failed save the next quit must ask again, or the unsaved changes would be lost.
    s_quitAfterSave = false;
    DovAlert::Alert_OK(window, QStringLiteral("Couldn't save file."), QStringLiteral("File I/O error occured."));
}

void Controller::runSavePanel()
{
    auto *dialog = new QFileDialog(window, QStringLiteral("Save Image As:"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite); // the replace question is our own alert
    QStringList filters;
    for (const ExportFormat &format : exportFormats)
        filters << QStringLiteral("%1 (*.%2)").arg(QLatin1String(format.name), QString::fromLatin1(format.name).toLower());
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.value(format_type));
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::finished, this, [this, dialog, filters](int result) {
        if (result != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            // Cancelling the dialog cancels a pending quit too: quitting now would lose the changes.
            s_quitAfterSave = false;
            return;
        }
        format_type = std::max<qsizetype>(0, filters.indexOf(dialog->selectedNameFilter()));
        const ExportFormat &format = exportFormats[format_type];
        // Only the extension is set; directories and the file name keep their case.
        QFileInfo chosen(dialog->selectedFiles().first());
        const QString target = chosen.dir().filePath(chosen.completeBaseName() + '.' + QString::fromLatin1(format.name).toLower());
        if (QFileInfo::exists(target)) {
            const int answer = DovAlert::Alert_OKCancel(window, QStringLiteral("Do you want to replace an existing file?"),
                QStringLiteral("A file with the same name is already exists. Replacing it will overwrite its current contents."));
            if (answer != 1) {
                s_quitAfterSave = false;
                return;
            }
        }
        const bool ok = simplySave(target);
        if (ok)
            setFilePath(target);
        finishSave(ok);
    });
    dialog->open();
}
