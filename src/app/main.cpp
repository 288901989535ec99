#include "app/controller.h"
#include "app/mainwindow.h"
#include "app/startupfiles.h"
#include "platform/imagefiles.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lumetta"));
    QApplication::setApplicationName(QStringLiteral("Lumetta"));
    QApplication::setApplicationVersion(QStringLiteral(LUMETTA_VERSION));
    ImageFiles::setUpReading();
    // The desktop matches the window to lumetta.desktop (its icon and name in docks and switchers).
    QGuiApplication::setDesktopFileName(QStringLiteral("lumetta"));
    // Quitting goes through the controller, which may first ask to save.
    QApplication::setQuitOnLastWindowClosed(true);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Applies effects to one still image at a time."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("An image to open (of several, the first)."),
                                 QStringLiteral("[file...]"));
    parser.process(app);

    MainWindow window;
    window.show();
    window.controller()->applicationDidFinishLaunching();
    openStartupFiles(*window.controller(), parser.positionalArguments());
    return app.exec();
}
