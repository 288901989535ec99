// The main controller: modes, zoom mapping, menu validation, title, quitting, applying.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "platform/userdefaults.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"
#include "views/myoglview.h"
#include "widgets/dovalert.h"
#include "widgets/gradientbutton.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <QScreen>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

class ControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QGuiApplication::clipboard()->clear();
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        Controller::setQuitAfterSave(false);
    }
    void TearDown() override
    {
        DovAlert::setResponder(nullptr);
        Controller::setQuitAfterSave(false);
    }

    double sliderPosition() const { return c->zoomSlider->value() / double(Controller::zoomSliderScale); }
    void rotateForAChange()
    {
        c->rotateLeft();
        um->closeImplicitGroup();
        ASSERT_TRUE(c->wasChanged());
    }

    static QImage gradientPicture(int w, int h)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
        return image;
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(ControllerTest, StartsInStandardModeWithTheStartupImageAndPlainTitle)
{
    EXPECT_EQ(c->filerMode(), 0);
    EXPECT_EQ(Controller::mainController(), c);
    ASSERT_FALSE(c->backImage().isNull());
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 600, 400));
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta"));
    EXPECT_FALSE(c->wasChanged());
    EXPECT_FALSE(um->canUndo());
}

TEST_F(ControllerTest, ZoomSliderMappingHasItsKneeAtPositionFive)
{
    EXPECT_FLOAT_EQ(Controller::zoomForSliderPosition(5), 1.0f);
    EXPECT_FLOAT_EQ(Controller::zoomForSliderPosition(0), 0.1f);
    EXPECT_FLOAT_EQ(Controller::zoomForSliderPosition(10), 10.0f);
    EXPECT_FLOAT_EQ(Controller::zoomForSliderPosition(2.5), 0.55f);
    EXPECT_NEAR(Controller::sliderPositionForZoom(0.55), 2.5, 1e-9);
    EXPECT_NEAR(Controller::sliderPositionForZoom(2.8), 6.0, 1e-9);
    EXPECT_NEAR(Controller::sliderPositionForZoom(1.0), 5.0, 1e-9);

    // setZoom moves the slider without sending its action; the canvas keeps its own zoom.
    c->ciView->setZoom(3.0f);
    c->setZoom(0.55f);
    EXPECT_NEAR(sliderPosition(), 2.5, 1e-9);
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 3.0f);
    c->setZoom(2.8f);
    EXPECT_NEAR(sliderPosition(), 6.0, 1e-9);

    // The slider's action applies its zoom to the canvas in front.
    c->zoomSlider->setValue(5 * Controller::zoomSliderScale);
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 1.0f);
}

TEST_F(ControllerTest, ZoomIsClampedToTheSliderRange)
{
    c->setZoom(50.0f);
    EXPECT_DOUBLE_EQ(sliderPosition(), 10.0);
    c->setZoom(0.001f);
    EXPECT_DOUBLE_EQ(sliderPosition(), 0.0);

    // A pinch adds to the zoom but is read back through the slider.
    c->ciView->setZoom(9.5f);
    c->updateZoommWithDelta(3.0f);
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 10.0f);
    c->updateZoommWithDelta(-30.0f);
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 0.1f);
}

TEST_F(ControllerTest, ZoomShortcutsStepFitAndShowThePercentage)
{
    window->resize(1280, 820);
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    QApplication::setActiveWindow(window.get()); // shortcuts go to the active window
    QCoreApplication::processEvents();
    // The keys as typed, through the window's shortcut map.
    auto press = [this](const QKeySequence &keys) {
        QTest::keyClick(window.get(), keys[0].key(), keys[0].keyboardModifiers());
    };
    c->ciView->setZoom(1.0f);
    c->setZoom(1.0f);
    EXPECT_EQ(c->zoomPercentLabel->text(), QStringLiteral("100 %"));

    press(QKeySequence(QStringLiteral("Ctrl+=")));
    EXPECT_NEAR(c->ciView->getZoom(), 1.25f, 0.01f); // to the slider's step
    EXPECT_EQ(c->zoomPercentLabel->text(), QStringLiteral("125 %"));
    press(QKeySequence(QStringLiteral("Ctrl++")));
    EXPECT_NEAR(c->ciView->getZoom(), 1.5625f, 0.02f);
    press(QKeySequence(QStringLiteral("Ctrl+-")));
    press(QKeySequence(QStringLiteral("Ctrl+-")));
    press(QKeySequence(QStringLiteral("Ctrl+-")));
    EXPECT_NEAR(c->ciView->getZoom(), 0.8f, 0.02f);
    EXPECT_EQ(c->zoomPercentLabel->text(), QStringLiteral("%1 %").arg(std::lround(c->ciView->getZoom() * 100)));

    // Ctrl+0 fits the 600 x 400 start-up picture into the canvas again.
    press(QKeySequence(QStringLiteral("Ctrl+0")));
    const float fitted = c->ciView->getZoom();
    EXPECT_NE(fitted, 0.8f);
    QWidget *area = c->ciView->parentWidget()->parentWidget();
    EXPECT_LE(600 * fitted, area->width());
    EXPECT_LE(400 * fitted, area->height());
    EXPECT_TRUE(600 * fitted > area->width() - 40 || 400 * fitted > area->height() - 40);

    // The slider's own moves update the percentage too, and the zoom stays within 10 % to 1000 %.
    c->zoomSlider->setValue(10 * Controller::zoomSliderScale);
    EXPECT_EQ(c->zoomPercentLabel->text(), QStringLiteral("1000 %"));
    c->zoomIn();
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), 10.0f);

    // The 3D canvas has no zoom: the items are disabled there.
    c->changeFilterMode(c->threeDBtn);
    EXPECT_FALSE(c->validateMenuItem(window->menuAction(QStringLiteral("zoomIn:"))));
    EXPECT_FALSE(c->validateMenuItem(window->menuAction(QStringLiteral("zoomToFit:"))));
}

TEST_F(ControllerTest, ModeSwitchShowsTheModesViewsAndDisablesZoomIn3D)
{
    c->setZoom(2.8f);
    c->changeFilterMode(c->threeDBtn);
    EXPECT_EQ(c->filerMode(), 1);
    EXPECT_TRUE(c->threeDBtn->isChecked());
    EXPECT_FALSE(c->standardBtn->isChecked());
    EXPECT_FALSE(c->customBtn->isChecked());
    EXPECT_FALSE(c->zoomSlider->isEnabled());
    EXPECT_TRUE(c->zoomSuperView->isHidden());
    EXPECT_FALSE(c->openGLView->isHidden());
    EXPECT_EQ(c->mainTabView->currentIndex(), 1);
    EXPECT_EQ(c->filterTabView->currentIndex(), 1);
    EXPECT_EQ(c->favoritesTabView->currentIndex(), 1);

    c->changeFilterMode(c->customBtn);
    EXPECT_EQ(c->filerMode(), 2);
    EXPECT_TRUE(c->zoomSlider->isEnabled());
    EXPECT_FALSE(c->zoomSuperView->isHidden());
    EXPECT_TRUE(c->openGLView->isHidden());
    EXPECT_EQ(c->mainTabView->currentIndex(), 2);
}

TEST_F(ControllerTest, EachCanvasKeepsItsZoomAcrossModeSwitches)
{
    c->changeFilterMode(c->customBtn);
    c->zoomSlider->setValue(6 * Controller::zoomSliderScale); // zoom 2.8 on the custom canvas
    EXPECT_FLOAT_EQ(c->customEffectsView->getZoom(), 2.8f);
    const float standardZoom = c->ciView->getZoom();

    c->changeFilterMode(c->standardBtn);
    EXPECT_FLOAT_EQ(c->ciView->getZoom(), standardZoom);
    EXPECT_NEAR(sliderPosition(), Controller::sliderPositionForZoom(standardZoom), 0.01);

    c->changeFilterMode(c->customBtn);
    EXPECT_FLOAT_EQ(c->customEffectsView->getZoom(), 2.8f);
    EXPECT_NEAR(sliderPosition(), 6.0, 1e-9);
}

TEST_F(ControllerTest, UndoAfterAModeSwitchReturnsAndEarlierStepsAreGone)
{
    int earlierStepRan = 0;
    um->registerUndo(c, [&] { ++earlierStepRan; });
    um->closeImplicitGroup();
    ASSERT_TRUE(um->canUndo());

    c->changeFilterMode(c->customBtn);
    um->closeImplicitGroup();
    EXPECT_EQ(c->filerMode(), 2);

    c->undo();
    EXPECT_EQ(c->filerMode(), 0);
    EXPECT_EQ(earlierStepRan, 0);
    EXPECT_FALSE(um->canUndo());

    // Redo goes forward again through the step the undo recorded.
    ASSERT_TRUE(um->canRedo());
    c->redo();
    EXPECT_EQ(c->filerMode(), 2);
    c->undo();
    EXPECT_EQ(c->filerMode(), 0);
}

TEST_F(ControllerTest, ModeMenuItemsSwitchAndCarryTheCheckMark)
{
    QAction *threeD = window->menuAction(QStringLiteral("selectMenuMode:"), 2);
    QAction *custom = window->menuAction(QStringLiteral("selectMenuMode:"), 3);
    ASSERT_TRUE(threeD && custom);
    threeD->trigger();
    EXPECT_EQ(c->filerMode(), 1);
    EXPECT_TRUE(c->validateMenuItem(threeD));
    EXPECT_TRUE(threeD->isChecked());
    EXPECT_TRUE(c->validateMenuItem(custom));
    EXPECT_FALSE(custom->isChecked());

    // Choosing the mode already shown changes nothing: Undo then goes back to the mode before it.
    um->closeImplicitGroup();
    threeD->trigger();
    um->closeImplicitGroup();
    EXPECT_EQ(c->filerMode(), 1);
    c->undo();
    EXPECT_EQ(c->filerMode(), 0);
    c->redo();

    QAction other;
    other.setProperty("tag", 7);
    c->selectMenuMode(&other);
    EXPECT_EQ(c->filerMode(), 1);
}

TEST_F(ControllerTest, MenuValidationFollowsTheState)
{
    QAction *undo = window->menuAction(QStringLiteral("undo:"));
    QAction *redo = window->menuAction(QStringLiteral("redo:"));
    QAction *copy = window->menuAction(QStringLiteral("copy:"));
    QAction *paste = window->menuAction(QStringLiteral("paste:"));
    QAction *escape = window->menuAction(QStringLiteral("escapeEffect:"));
    QAction *save = window->menuAction(QStringLiteral("saveImg:"));
    ASSERT_TRUE(undo && redo && copy && paste && escape && save);

    EXPECT_FALSE(c->validateMenuItem(undo));
    EXPECT_FALSE(c->validateMenuItem(redo));
    EXPECT_TRUE(c->validateMenuItem(copy));
    EXPECT_TRUE(c->validateMenuItem(save));
    EXPECT_FALSE(c->validateMenuItem(escape));

    // Paste and the Paste button follow the clipboard.
    EXPECT_FALSE(c->validateMenuItem(paste));
    EXPECT_FALSE(c->pasteBtn->isEnabled());
    QGuiApplication::clipboard()->setImage(gradientPicture(8, 8));
    EXPECT_TRUE(c->validateMenuItem(paste));
    EXPECT_TRUE(c->pasteBtn->isEnabled());

    // Undo and Redo carry the step's name.
    c->rotateImage(true);
    um->setActionName(QStringLiteral("Rotate"));
    um->closeImplicitGroup();
    EXPECT_TRUE(c->validateMenuItem(undo));
    EXPECT_EQ(undo->text(), QStringLiteral("Undo Rotate"));
    c->undo();
    EXPECT_TRUE(c->validateMenuItem(redo));
    EXPECT_EQ(redo->text(), QStringLiteral("Redo Rotate"));
}

TEST_F(ControllerTest, TitleShowsTheFileName)
{
    c->setFilePath(QStringLiteral("/home/someone/Pictures/photo.jpg"));
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::photo.jpg"));
    // Unsaved changes show in the title the desktop's way, until a save or a new file clears them.
    c->rotateLeft();
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::photo.jpg*"));
    c->setWasChanged(false);
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::photo.jpg"));
    EXPECT_EQ(c->getFilePath(), QStringLiteral("/home/someone/Pictures/photo.jpg"));
    c->setFilePath(QString());
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta"));
}

TEST_F(ControllerTest, QuittingWithoutChangesNeedsNoQuestion)
{
    int asked = 0;
    DovAlert::setResponder([&](const DovAlert &) { ++asked; return 2; });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateNow);
    EXPECT_EQ(asked, 0);
}

TEST_F(ControllerTest, QuitPromptCancelKeepsRunningAndDontSaveQuits)
{
    c->setWasChanged(true);
    QString message, informative;
    QStringList titles;
    DovAlert::setResponder([&](const DovAlert &alert) {
        message = alert.message();
        informative = alert.text();
        titles.clear();
        for (int i = 1; i <= 3; ++i)
            if (alert.isButtonVisible(i))
                titles << alert.buttonTitle(i);
        return 2;
    });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateCancel);
    EXPECT_EQ(message, QStringLiteral("Do you want to save changes?"));
    EXPECT_EQ(informative, QStringLiteral("Your changes will be lost if you choose don't save option."));
    EXPECT_EQ(titles, (QStringList{"Save...", "Cancel", "Don't Save"}));
    EXPECT_FALSE(Controller::quitAfterSave());

    DovAlert::setResponder([](const DovAlert &) { return 3; });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateNow);
}

TEST_F(ControllerTest, QuitPromptSaveWritesTheFileAndClearsTheChangedFlag)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    c->setFilePath(path);
    c->setWasChanged(true);
    QStringList messages;
    DovAlert::setResponder([&](const DovAlert &alert) {
        messages << alert.message();
        return 1; // Save..., then OK to replace
    });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateCancel);
    EXPECT_TRUE(Controller::quitAfterSave());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(c->wasChanged());
    EXPECT_EQ(QImage(path).size(), QSize(600, 400));
    EXPECT_FALSE(messages.contains(QStringLiteral("Couldn't save file.")));
    // With the flag set, the next quit request goes through without asking.
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateNow);
}

TEST_F(ControllerTest, FailedSaveFromTheQuitPromptAlertsAndAsksAgainNextTime)
{
    c->setFilePath(QStringLiteral("/nonexistent-folder/for/sure/picture.png"));
    c->setWasChanged(true);
    QStringList messages;
    DovAlert::setResponder([&](const DovAlert &alert) {
        messages << alert.message();
        return 1;
    });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateCancel);
    EXPECT_TRUE(messages.contains(QStringLiteral("Couldn't save file.")));
    EXPECT_TRUE(c->wasChanged());
    EXPECT_FALSE(Controller::quitAfterSave());

    messages.clear();
    DovAlert::setResponder([&](const DovAlert &alert) {
        messages << alert.message();
        return 2;
    });
    EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateCancel);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Do you want to save changes?")});
}

TEST_F(ControllerTest, TheWindowsCloseButtonRunsTheQuitPrompt)
{
    int asked = 0;
    int answer = 2;
    DovAlert::setResponder([&](const DovAlert &alert) {
        if (alert.message() == QStringLiteral("Do you want to save changes?"))
            ++asked;
        return answer;
    });
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();

    // Cancel: the window stays.
    c->setWasChanged(true);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(asked, 1);

    // Don't Save: it closes, without asking twice.
    answer = 3;
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(asked, 2);
}

TEST_F(ControllerTest, TheCloseButtonWithoutChangesClosesWithoutAsking)
{
    int asked = 0;
    DovAlert::setResponder([&](const DovAlert &) { ++asked; return 2; });
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked, 0);
}

TEST_F(ControllerTest, EveryChangeToTheImageMarksTheDocumentChanged)
{
    const std::vector<std::pair<const char *, std::function<void()>>> changes{
        {"rotate", [this] { c->rotateRight(); }},
        {"flip", [this] { c->flipVert(); }},
        {"resize", [this] { c->resizeImage(30, 20); }},
        {"paste", [this] {
             QGuiApplication::clipboard()->setImage(gradientPicture(8, 8));
             c->paste();
         }},
    };
    int asked = 0;
    DovAlert::setResponder([&](const DovAlert &) { ++asked; return 2; });
    for (const auto &[name, change] : changes) {
        SCOPED_TRACE(name);
        c->setWasChanged(false);
        change();
        EXPECT_TRUE(c->wasChanged());
        // ...so that quitting asks instead of losing it.
        const int before = asked;
        EXPECT_EQ(c->applicationShouldTerminate(), Controller::TerminateCancel);
        EXPECT_EQ(asked, before + 1);
    }
}

TEST_F(ControllerTest, ApplyAndEscapeWithoutAnEffectLeaveTheImageAlone)
{
    const imaging::Image before = c->backImage();
    c->escapeEffect();
    c->applyBtnAction();
    um->closeImplicitGroup();
    EXPECT_FALSE(um->canUndo());
    EXPECT_FALSE(c->wasChanged());
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), Controller::imageFromCIImage(before));
    EXPECT_FALSE(c->applyBtn->isEnabled());
}

TEST_F(ControllerTest, RotationsAndFlipsAreUndoableAndStartAtTheOrigin)
{
    c->setBackgroundImage(imaging::imageFromQImage(gradientPicture(40, 30)));
    const QImage original = Controller::imageFromCIImage(c->backImage());

    c->rotateLeft();
    um->closeImplicitGroup();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 30, 40));
    const QImage rotated = Controller::imageFromCIImage(c->backImage());
    // A quarter turn counter-clockwise: the top-right pixel moves to the top left.
    EXPECT_EQ(rotated.pixel(0, 0), original.pixel(39, 0));

    for (int i = 0; i < 3; ++i) {
        c->rotateLeft();
        um->closeImplicitGroup();
    }
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), original);

    c->flipHorizont();
    um->closeImplicitGroup();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()).pixel(0, 0), original.pixel(39, 0));
    c->undo();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), original);
    c->redo();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()).pixel(0, 0), original.pixel(39, 0));
}

TEST_F(ControllerTest, PasteInstallsTheClipboardImageUndoably)
{
    const QImage before = Controller::imageFromCIImage(c->backImage());
    c->paste(); // empty clipboard: nothing happens
    um->closeImplicitGroup();
    EXPECT_FALSE(um->canUndo());

    QGuiApplication::clipboard()->setImage(gradientPicture(64, 32));
    c->paste();
    um->closeImplicitGroup();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 64, 32));
    c->undo();
    EXPECT_EQ(Controller::imageFromCIImage(c->backImage()), before);
}

TEST_F(ControllerTest, CopyPutsTheCurrentResultOnTheClipboard)
{
    c->setBackgroundImage(imaging::imageFromQImage(gradientPicture(20, 10)));
    c->copy();
    const QImage copied = qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    EXPECT_EQ(copied.size(), QSize(20, 10));
    EXPECT_TRUE(c->pasteBtn->isEnabled());
}

TEST_F(ControllerTest, NewImagesAreFittedIntoTheVisibleArea)
{
    window->resize(1280, 820);
    window->show();
    c->setBackgroundImage(imaging::imageFromQImage(gradientPicture(4000, 3000)));
    const float big = c->ciView->getZoom();
    EXPECT_LT(big, 1.0f);
    EXPECT_NEAR(sliderPosition(), Controller::sliderPositionForZoom(big), 0.01);
    c->setBackgroundImage(imaging::imageFromQImage(gradientPicture(100, 100)));
    EXPECT_GT(c->ciView->getZoom(), 1.0f);
    EXPECT_FLOAT_EQ(c->customEffectsView->getZoom(), c->ciView->getZoom());
}

} // namespace

namespace {

TEST_F(ControllerTest, AppearanceFollowsTheDesktopPalette)
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Controller::isDarkMode());
    const QImage darkFace = c->standardBtn->faceImage();

    QPalette light = original;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Controller::isDarkMode());
    // The mode buttons regenerated their faces for the new appearance.
    EXPECT_NE(c->standardBtn->faceImage(), darkFace);
    QApplication::setPalette(original);
}

TEST_F(ControllerTest, HelpShowsTheBundledPageAndEscClosesIt)
{
    c->displayHelp();
    QPointer<QTextBrowser> help;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *browser = qobject_cast<QTextBrowser *>(w); browser && browser->isVisible())
            help = browser;
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("The three modes")));
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(!help || !help->isVisible());
}

TEST_F(ControllerTest, AboutBoxEndsOnAKeyPress)
{
    QTimer::singleShot(300, [] {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
        QCoreApplication::sendEvent(target ? target : static_cast<QObject *>(qApp), &press);
    });
    QElapsedTimer timer;
    timer.start();
    c->runAbout();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_FALSE(c->itsAboutWindow->isVisible());
}

TEST_F(ControllerTest, TheWindowFrameIsSavedAndRestoredOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Three quarters of the screen, or the window's least size when that is larger.
    const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint());
    const QRect frame(QPoint(screen.x() + 40, screen.y() + 50),
                      QSize(screen.width() * 3 / 4, screen.height() * 3 / 4).expandedTo(minimum));
    ASSERT_TRUE(screen.contains(frame)) << "the screen is too small for this test";
    window->setGeometry(frame);
    c->applicationWillTerminate();
    const auto saved = UserDefaults::standardUserDefaults().frame(QStringLiteral("Velvane"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->size(), frame.size());
    MainWindow second;
    EXPECT_EQ(second.geometry(), frame);

    // A frame far larger than the screen (saved by hand, or on another machine) starts a window
    // that fills the screen, rather than one of gigabytes.
    UserDefaults::standardUserDefaults().setFrame(QStringLiteral("Velvane"), QRect(0, 0, 100000, 100000));
    MainWindow third;
    EXPECT_EQ(third.geometry(), screen);
}

} // namespace
