// Opening and saving the current image, and the pictures of the current result that saving,
// copying and the 3D mode use.
#include "app/controller.h"

#include "app/busywork.h"
#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"
#include "platform/undomanager.h"
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
    // Unsaved changes are offered for saving first, with the quit prompt's three answers.
    if (m_wasChanged) {
        switch (askSaveChanges()) {
        case 1:
            // The open dialog follows a successful save (finishSave).
            m_openAfterSave = true;
            saveImg();
            return;
        case 3:
            break;
        default:
            return;
        }
    }
    runOpenPanel();
}

int Controller::askSaveChanges()
{
    return DovAlert::Alert_DONTSAVECANCEL(window, QStringLiteral("Do you want to save changes?"),
        QStringLiteral("Your changes will be lost if you choose don't save option."));
}

void Controller::runOpenPanel()
{
    auto *dialog = new QFileDialog(window, tr("Open Image"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({tr("Images (%1)").arg(openPanelPatterns().join(' ')), tr("All files (*)")});
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        openImgPanelDidEnd(result == QDialog::Accepted ? 1 : 0, dialog->selectedFiles());
    });
    dialog->open();
}

QStringList Controller::openPanelPatterns()
{
    // File names match the dialog's patterns with their case, and cameras name files IMG_0001.JPG:
    // each pattern is offered in lower and in upper case.
    QStringList patterns;
    for (const QString &pattern : ImageFiles::readablePatterns()) {
        for (const QString &p : {pattern.toLower(), pattern.toUpper()})
            if (!patterns.contains(p))
                patterns << p;
    }
    return patterns;
}

void Controller::openImgPanelDidEnd(int returnCode, const QStringList &files)
{
    if (returnCode == 1 && !files.isEmpty())
        openFile(files.first());
}

QImage Controller::readPictureOrAlert(const QString &path)
{
    QString error;
    const QImage picture = ImageFiles::readImageFile(path, &error);
    if (picture.isNull()) {
        // The current image and title stay; the user is told which file failed and why.
        qWarning("Open: cannot read %s: %s", qPrintable(path), qPrintable(error));
        DovAlert::Alert_OK(window, QStringLiteral("The file \u201C%1\u201D could not be opened.").arg(QFileInfo(path).fileName()),
                           error.isEmpty() ? QStringLiteral("It is not a picture this program can read.") : error);
    }
    return picture;
}

bool Controller::openFile(const QString &path)
{
    const QImage picture = readPictureOrAlert(path);
    if (picture.isNull())
        return false;
    // Opening keeps the current effect. It is one undo step that brings back the previous picture
    // together with its file, title and changed flag, so a picture is never paired with another file.
    replaceDocument(imaging::imageFromQImage(picture), path, false, QStringLiteral("Open"));
    return true;
}

void Controller::openDroppedFile(const QString &path)
{
    const QImage picture = readPictureOrAlert(path);
    if (picture.isNull())
        return;
    // A dropped picture replaces the image and takes its file's path, undoably like Open; it counts
    // as a change (saving asks before replacing the file).
    replaceDocument(imaging::imageFromQImage(picture), path, true, QStringLiteral("Drop Image"));
}

void Controller::replaceDocument(const imaging::Image &image, const QString &path, bool changed, const QString &name)
{
    if (UndoManager *um = undoManager()) {
        um->registerUndo(this, [this, previous = backgroundImage, previousPath = _filePath,
                                previousChanged = m_wasChanged, name] {
            replaceDocument(previous, previousPath, previousChanged, name);
        });
        um->setActionName(name);
    }
    setFilePath(path);
    setBackgroundImage(image);
    refreshCanvasZoom();
    setWasChanged(changed);
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
        // and a pending quit or open must not go ahead (the next one asks again).
        dropPendingAfterSave();
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
    // The format the file's extension names (jpg, tif and the other usual short forms included, in
    // any letter case), the same mapping the command-line tool uses.
    const int format = ImageFiles::formatForFileName(_filePath);
    if (format < 0) {
        qWarning("Save: the extension of %s names no export format", qPrintable(_filePath));
        return false;
    }
    // The changed flag is cleared only once the file is really written (finishSave).
    const bool ok = format == ImageFiles::PDF ? createPDFFile(_filePath, defaultResolution)
                                              : simplySave(format, defaultResolution, _filePath);
    if (ok)
        setWasChanged(false);
    return ok;
}

void Controller::finishSave(bool ok)
{
    if (ok) {
        setWasChanged(false);
        if (s_quitAfterSave)
            QMetaObject::invokeMethod(this, &Controller::terminate, Qt::QueuedConnection);
        else if (m_openAfterSave)
            QMetaObject::invokeMethod(this, &Controller::runOpenPanel, Qt::QueuedConnection);
        m_openAfterSave = false;
        return;
    }
    // After a failed save the next quit must ask again, or the unsaved changes would be lost.
    dropPendingAfterSave();
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
    // The format chosen last in this run (JPEG at first), or the current file's own.
    int format = format_type;
    if (!_filePath.isEmpty()) {
        // The current file's folder and name are proposed, in its format when it has one we write.
        const QFileInfo current(_filePath);
        dialog->setDirectory(current.absolutePath());
        const int own = ImageFiles::formatForFileName(_filePath);
        if (own >= 0)
            format = own;
        dialog->selectFile(current.completeBaseName() + QLatin1Char('.') + ImageFiles::exportFormatName(format).toLower());
    }
    dialog->selectNameFilter(filters.value(format, filters.first()));
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
    // Cancelled, in the dialog or in the replace question: nothing was saved, so a pending quit or
    // open is dropped rather than carried out (going on now would lose the changes).
    dropPendingAfterSave();
}

void Controller::dropPendingAfterSave()
{
    s_quitAfterSave = false;
    m_openAfterSave = false;
}

bool Controller::simplySave(int formatIndex, float resolution, const QString &path)
{
    Q_UNUSED(resolution); // carried as designed; the written files do not depend on it
    const std::function<QImage()> picture = effectedImageJob();
    // Rendering at full size, encoding and writing run off the interface thread: a large picture
    // in JPEG-2000 takes seconds, and the window must keep painting meanwhile.
    bool ok = false;
    QString error;
    bool failed = false;
    const QString label = QStringLiteral("Saving \u201C%1\u201D \u2026").arg(QFileInfo(path).fileName());
    const bool ran = BusyWork::run(window, label, [&] {
        const QImage image = picture();
        if (image.isNull()) {
            error = QStringLiteral("there is no picture to save");
            return;
        }
        ok = ImageFiles::writeImageFile(image.convertToFormat(QImage::Format_ARGB32_Premultiplied), path,
                                        formatIndex, &error);
    }, &failed);
    if (!ran) {
        qWarning("Save: another save is still running");
        return false;
    }
    if (failed)
        error = QStringLiteral("out of memory");
    if (!ok)
        qWarning("Save: cannot write %s: %s", qPrintable(path), qPrintable(error));
    return ok;
}

std::function<QImage()> Controller::effectedImageJob()
{
    // The standard mode's result is an engine recipe, safe to render on another thread; the other
    // modes draw with objects of the interface thread, so their picture is made here.
    if (filerMode() == FilterMode::Standard && currentFilter) {
        const imaging::Image result = coreImageResult(false);
        return [result, background = backgroundImage] {
            // As getEffectedImage: the image itself when the filter gives no picture.
            const QImage filtered = result.isNull() ? QImage() : imageFromCIImage(result);
            return filtered.isNull() ? imageFromCIImage(background) : filtered;
        };
    }
    // A drawn effect draws and composes its full size without touching what the canvas paints.
    if (filerMode() == FilterMode::Custom && currentCustomEffect && currentCustomEffect->isInitialised()
        && currentCustomEffect->composesOffThread()) {
        BaseEffect *effect = currentCustomEffect.get();
        return [effect] { return effect->getDrawImage(); };
    }
    const QImage picture = getEffectedImage();
    return [picture] { return picture; };
}

bool Controller::createPDFFile(const QString &path, float resolution)
{
    return simplySave(ImageFiles::PDF, resolution, path);
}

QImage Controller::getEffectedImage()
{
    QImage result = getImage(false);
    switch (filerMode()) {
    case FilterMode::Standard:
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
    case FilterMode::Custom:
        if (currentCustomEffect)
            result = currentCustomEffect->getDrawImage().copy();
        break;
    case FilterMode::ThreeD: {
        // The 3D canvas's frame while a 3D effect is shown; the current image without one.
        const QImage shot = threeDPicture();
        if (!shot.isNull())
            result = shot;
        break;
    }
    default:
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
