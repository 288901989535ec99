#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/imagefiles.h"

// Every test program shares this entry point: a QApplication exists for the whole run (widgets,
// clipboard and image plug-ins need one), and settings go to a throw-away location so that tests
// never read or overwrite the user's own settings. Image readers get the limits the programs set.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QSettings follows XDG_CONFIG_HOME: point it at a folder that lives as long as the run.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    // Test mode alone would put settings in one folder shared by every run (~/.qttest), so that a
    // stored value left by one test (a window frame, favourites) changes the next run: each run
    // gets its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    QApplication app(argc, argv);
    QApplication::setOrganizationName("LumettaTests");
    QApplication::setApplicationName("lumetta-tests");
    ImageFiles::setUpReading();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
