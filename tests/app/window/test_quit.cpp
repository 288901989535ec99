// Quitting the running program: the quit prompt's three answers, from the menu command and from the
// window's close button. Quitting closes every window through the window system, so these windows
// are really shown (on the virtual X display the test script provides) and the event loop runs.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "platform/undomanager.h"
#include "widgets/dovalert.h"
#include "../apptestsupport.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class QuitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        Controller::setQuitAfterSave(false);
        window->show();
        c->rotateLeft(); // a change to lose
        window->undoManager()->closeImplicitGroup();
        ASSERT_TRUE(c->wasChanged());
    }
    void TearDown() override { Controller::setQuitAfterSave(false); }

    // Runs the event loop with `start` queued until the application quits (true) or `limitMs`
    // passes (false).
    static bool quitsWithin(const std::function<void()> &start, int limitMs)
    {
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, qApp, [] { QCoreApplication::exit(-1); });
        limit.start(limitMs);
        QTimer::singleShot(0, qApp, start);
        return QApplication::exec() == 0;
    }

    void answer(int button)
    {
        DovAlert::setResponder([this, button](const DovAlert &alert) {
            asked << alert.message();
            return button;
        });
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    QStringList asked;
};

TEST_F(QuitTest, CancelKeepsTheProgramRunning)
{
    answer(2);
    EXPECT_FALSE(quitsWithin([this] { c->terminate(); }, 400));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(asked, QStringList{QStringLiteral("Do you want to save changes?")});
}

TEST_F(QuitTest, DontSaveQuits)
{
    answer(3);
    EXPECT_TRUE(quitsWithin([this] { c->terminate(); }, 5000));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(asked.size(), 1) << "asked again while quitting";
}

TEST_F(QuitTest, SaveWritesTheFileThenQuits)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.png"));
    c->setFilePath(path);
    answer(1); // Save..., then OK in the replace question
    EXPECT_TRUE(quitsWithin([this] { c->terminate(); }, 5000));
    EXPECT_EQ(QImage(path).size(), QSize(400, 600)) << "the rotated picture was not saved";
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QuitTest, AFailedSaveDoesNotQuit)
{
    c->setFilePath(QStringLiteral("/nonexistent-folder/for/sure/kept.png"));
    answer(1);
    EXPECT_FALSE(quitsWithin([this] { c->terminate(); }, 600));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(asked.contains(QStringLiteral("Couldn't save file.")));
    EXPECT_TRUE(c->wasChanged());
}

TEST_F(QuitTest, TheCloseButtonAsksAndDontSaveQuits)
{
    answer(2);
    EXPECT_FALSE(quitsWithin([this] { window->close(); }, 400));
    EXPECT_TRUE(window->isVisible());

    answer(3);
    EXPECT_TRUE(quitsWithin([this] { window->close(); }, 5000));
    EXPECT_FALSE(window->isVisible());
}

} // namespace
