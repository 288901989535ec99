#include "app/startupfiles.h"

#include "app/controller.h"
#include "app/mainwindow.h"
#include "platform/undomanager.h"

#include <QUrl>

bool openStartupFiles(Controller &controller, const QStringList &files)
{
    if (files.isEmpty())
        return false;
    if (files.size() > 1)
        qInfo("Opening the first of %d files: %s", int(files.size()), qPrintable(files.first()));
    QString path = files.first();
    const QUrl url(path);
    if (url.isLocalFile())
        path = url.toLocalFile();
    // An unreadable file is reported by openFile in an alert.
    if (!controller.openFile(path))
        return false;
    // The file is where this session starts: Undo does not go back to the start-up picture.
    if (UndoManager *um = controller.undoManager())
        um->removeAllActions();
    return true;
}
