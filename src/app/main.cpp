#include "app/controller.h"
#include "app/mainwindow.h"
#include "platform/imagefiles.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lumetta"));
    QApplication::setApplicationName(QStringLiteral("Lumetta"));
    QApplication::setApplicationVersion(QStringLiteral(LUMETTA_VERSION));
    ImageFiles::setUpReading();
    // Quitting goes through the controller, which may first ask to save.
    QApplication::setQuitOnLastWindowClosed(true);

    MainWindow window;
    window.show();
    window.controller()->applicationDidFinishLaunching();
    return app.exec();
}
