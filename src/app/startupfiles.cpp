#include "app/startupfiles.h"

#include "app/controller.h"
#include "app/mainwindow.h"
#include "widgets/dovalert.h"

#include <QFileInfo>
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
    QString error;
    if (controller.openFile(path, &error))
        return true;
    DovAlert::Alert_OK(controller.window,
                       QStringLiteral("The file \u201C%1\u201D could not be opened.").arg(QFileInfo(path).fileName()),
                       error.isEmpty() ? QStringLiteral("It is not a picture this program can read.") : error);
    return false;
}
