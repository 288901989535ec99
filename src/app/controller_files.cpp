// Opening and saving the current image, and the pictures of the current result that saving,
// copying and the 3D mode use.
#include "app/controller.h"

#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"
#include "widgets/dovalert.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

// The resolution handed to the writers when no resolution is chosen; the files do not depend on it.
constexpr float defaultResolution = 300.0f;

int askReplace(QWidget *window)
{
    return DovAlert::Alert_OKCancel(window, QStringLiteral("Do you want to replace an existing file?"),
        QStringLiteral("A file with the same name is already exists. Replacing it will overwrite its current contents."));
}

} // namespace

void Controller::openImg()
{
    auto *dialog = new QFileDialog(window, tr("Open Image"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({tr("Images (%1)").arg(ImageFiles::readablePatterns().join(' ')), tr("All files (*)")});
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        openImgPanelDidEnd(result == QDialog::Accepted ? 1 : 0, dialog->selectedFiles());
    });
    dialog->open();
}

void Controller::openImgPanelDidEnd(int returnCode, const QStringList &files)
{
    if (returnCode == 1 && !files.isEmpty())
        openFile(files.first());
}

bool Controller::openFile(const QString &path)
{
    QString error;
    const QImage picture = ImageFiles::readImageFile(path, &error);
    if (picture.isNull()) {
        // Keep the current image and title: an unreadable file must not leave the program empty.
        qWarning("Open: cannot read %s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    // Opening keeps the current effect, records no undo step and leaves the changed flag alone.
    setFilePath(path);
    setBackgroundImage(imaging::imageFromQImage(picture));
    return true;
}

void Controller::saveImg()
{
    if (_filePath.isEmpty()) {
        runSavePanel();
        return;
    }
    const bool ok = saveExistFile();
    if (ok && m_wasChanged) {
        // Cancel in the replace question: nothing was written, so the changes are still unsaved
        // and a pending quit must not go ahead (the next quit asks again).
        s_quitAfterSave = false;
        return;
    }
    finishSave(ok);
}

void Controller::saveImgAs()
{
    runSavePanel();
}

bool Controller::saveExistFile()
{
    if (askReplace(window) == 2)
        return true; // nothing written, and nothing to report
    const int format = ImageFiles::formatForExtension(QFileInfo(_filePath).suffix());
    if (format < 0) {
        qWarning("Save: the extension of %s names no export format", qPrintable(_filePath));
        return false;
    }
    // The changed flag is cleared only once the file is really written (finishSave).
    const bool ok = format == ImageFiles::PDF ? createPDFFile(_filePath, defaultResolution)
                                              : simplySave(format, defaultResolution, _filePath);
    if (ok)
        m_wasChanged = false;
    return ok;
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

QStringList Controller::initExportFormats()
{
    QStringList filters;
    for (const QString &name : ImageFiles::exportFormatNames())
        filters << QStringLiteral("%1 (*.%2)").arg(name, name.toLower());
    return filters;
}

void Controller::runSavePanel()
{
    auto *dialog = new QFileDialog(window, QStringLiteral("Save Image As:"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::DontConfirmOverwrite); // the replace question is our own alert
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = initExportFormats();
    dialog->setNameFilters(filters);
    // The format chosen last in this run (JPEG at first).
    dialog->selectNameFilter(filters.value(format_type, filters.first()));
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::finished, this, [this, dialog, filters](int result) {
        savePanelDidEnd(result == QDialog::Accepted ? 1 : 0, dialog->selectedFiles().value(0),
                        int(filters.indexOf(dialog->selectedNameFilter())));
    });
    dialog->open();
}

void Controller::savePanelDidEnd(int returnCode, const QString &path, int formatIndex)
{
    if (returnCode == 1 && !path.trimmed().isEmpty()) {
        const int format = formatIndex >= 0 && formatIndex < ImageFiles::FormatCount ? formatIndex : 0;
        format_type = format;
        // Only the extension is set; folders and the file name keep their case.
        const QString target = ImageFiles::targetPath(path, format);
        // The existing file is replaced only when the new one is complete (written beside it and
        // renamed), so it is not removed here.
        if (!QFileInfo::exists(target) || askReplace(window) == 1) {
            const bool ok = format == ImageFiles::PDF ? createPDFFile(target, defaultResolution)
                                                      : simplySave(format, defaultResolution, target);
            if (ok)
                setFilePath(target);
            finishSave(ok);
            return;
        }
    }
    // Cancelled, in the dialog or in the replace question: nothing was saved, so a pending quit is
    // dropped rather than carried out (quitting now would lose the changes).
    s_quitAfterSave = false;
}

bool Controller::simplySave(int formatIndex, float resolution, const QString &path)
{
    const QImage picture = createObjectImage(resolution);
    if (picture.isNull()) {
        qWarning("Save: there is no picture to save");
        return false;
    }
    QString error;
    if (!ImageFiles::writeImageFile(picture, path, formatIndex, &error)) {
        qWarning("Save: cannot write %s: %s", qPrintable(path), qPrintable(error));
        return false;
    }
    return true;
}

bool Controller::createPDFFile(const QString &path, float resolution)
{
    return simplySave(ImageFiles::PDF, resolution, path);
}

QImage Controller::getEffectedImage()
{
    QImage result = getImage(false);
    switch (filerMode()) {
    case 0:
        if (currentFilter) {
            // The filter's result alone, without the black backdrop the canvas draws it on.
            const imaging::Image r = coreImageResult(false);
            if (!r.isNull()) {
                const QImage filtered = imageFromCIImage(r);
                if (!filtered.isNull())
                    result = filtered;
            }
        }
        break;
    case 2:
        if (currentCustomEffect)
            result = currentCustomEffect->getDrawImage().copy();
        break;
    default:
        // The 3D mode's result is the 3D canvas's frame capture, once the canvas offers one;
        // until then its result is the current image.
        break;
    }
    return result;
}

QImage Controller::createObjectImage()
{
    const QImage picture = getEffectedImage();
    return picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Controller::createObjectImage(float resolution)
{
    // The resolution is carried as designed, but the written files do not depend on it.
    Q_UNUSED(resolution);
    return createObjectImage();
}

QImage Controller::getImage(bool flipped)
{
    const QImage picture = imageFromCIImage(backgroundImage);
    if (picture.isNull() || !flipped)
        return picture;
    return picture.mirrored(false, true);
}

QImage Controller::getCGImage()
{
    const QImage picture = getImage(true);
    return picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
