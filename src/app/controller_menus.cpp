// Menu validation, help, the maker's site and the about box.
#include "app/controller.h"

#include "app/imageinfo.h"
#include "app/mainwindow.h"
#include "app/resizepanel.h"
#include "effects/baseeffect.h"
#include "platform/undomanager.h"
#include "views/aboutpanel.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

namespace {
bool clipboardHasImage()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasImage();
}
} // namespace

bool Controller::validateMenuItem(QAction *item)
{
    if (!item)
        return false;
    const QString action = item->property("action").toString();
    UndoManager *um = undoManager();
    if (action == QLatin1String("undo:")) {
        item->setText(um ? um->undoMenuItemTitle() : tr("Undo"));
        return um && um->canUndo();
    }
    if (action == QLatin1String("redo:")) {
        item->setText(um ? um->redoMenuItemTitle() : tr("Redo"));
        return um && um->canRedo();
    }
    if (action == QLatin1String("copy:"))
        return !backgroundImage.isNull();
    if (action == QLatin1String("paste:")) {
        const bool ok = clipboardHasImage();
        if (pasteBtn)
            pasteBtn->setEnabled(ok);
        return ok;
    }
    // Information panel: always enabled, checked while the panel is visible.
    if (action == QLatin1String("showInfoPanel:")) {
        auto *panel = qobject_cast<ImageInfo *>(infoPanel);
        return panel && panel->validateMenuItem(item);
    }
    // Resize panel: always enabled, checked while the panel is visible.
    if (action == QLatin1String("resizeImage:")) {
        ResizePanel *panel = window ? window->findChild<ResizePanel *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
        return panel && panel->validateMenuItem(item);
    }
    if (action == QLatin1String("escapeEffect:") || action == QLatin1String("applyBtn:")
        || action == QLatin1String("addFavorites:")) {
        switch (filerMode()) {
        case FilterMode::Standard: return bool(currentFilter);
        case FilterMode::ThreeD: return bool(current3DEffect);
        default: return bool(currentCustomEffect);
        }
    }
    if (action == QLatin1String("zoomIn:") || action == QLatin1String("zoomOut:") || action == QLatin1String("zoomToFit:"))
        return filerMode() != FilterMode::ThreeD; // the 3D canvas has no zoom
    if (action == QLatin1String("selectMenuMode:")) {
        item->setCheckable(true);
        // The items' tags are 1, 2 and 3, in the order of the modes.
        item->setChecked(item->property("tag").toInt() - 1 == filerMode());
        return true;
    }
    return true;
}

void Controller::validateAllMenuItems()
{
    // Menu items are validated ahead of time, not only when a menu opens, so that their shortcuts
    // follow the same rules.
    if (!window)
        return;
    for (QAction *item : window->menuActions())
        item->setEnabled(validateMenuItem(item));
}

void Controller::displayHelp()
{
    if (!m_helpWindow) {
        auto *browser = new QTextBrowser;
        browser->setAttribute(Qt::WA_DeleteOnClose);
        browser->setWindowTitle(tr("Lumetta Help"));
        browser->setOpenExternalLinks(true);
        browser->setSource(QUrl(QStringLiteral("qrc:/help/main.html")));
        browser->resize(720, 640);
        // Esc closes the help window, as it closes the panels.
        new QShortcut(QKeySequence(Qt::Key_Escape), browser, browser, &QWidget::close);
        m_helpWindow = browser;
    }
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void Controller::visitSite()
{
    QDesktopServices::openUrl(QUrl(AboutPanel::siteAddress()));
}

void Controller::showInfoPanel()
{
    if (!infoPanel)
        return;
    if (infoPanel->isVisible()) {
        infoPanel->close();
    } else {
        infoPanel->show();
        infoPanel->raise();
    }
}

namespace {

// Watches the application's events while the about box is up: a click in the box's link area goes
// through to the box, any other click or key press ends the box.
class AboutEventWatcher : public QObject
{
public:
    AboutEventWatcher(QWidget *about, QRect linkArea) : m_about(about), m_linkArea(linkArea) {}
    bool ended = false;
    bool sawEvent = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const QPoint inBox = m_about->mapFromGlobal(mouse->globalPosition().toPoint());
            sawEvent = true;
            if (mouse->button() == Qt::LeftButton && m_linkArea.contains(inBox))
                return false;
            ended = true;
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            sawEvent = true;
            ended = true;
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_about;
    QRect m_linkArea;
};

} // namespace

void Controller::runAbout()
{
    if (!itsAboutWindow)
        return;
    QWidget *about = itsAboutWindow;
    about->setWindowModality(Qt::ApplicationModal);
    if (window) {
        const QRect frame = window->frameGeometry();
        about->move(frame.center() - QPoint(about->width() / 2, about->height() / 2));
    }
    about->show();
    about->raise();

    // The link area is given with the origin at the bottom left of the box: x 20, y 137, 221 x 20.
    const QRect linkArea(20, about->height() - 137 - 20, 221, 20);
    AboutEventWatcher watcher(about, linkArea);
    qApp->installEventFilter(&watcher);

    // Wait for events a second at a time; once a wait has passed without one, the box closes itself
    // after three more seconds.
    QElapsedTimer quietSince;
    while (!watcher.ended && about->isVisible()) {
        watcher.sawEvent = false;
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (watcher.ended || watcher.sawEvent)
                loop.quit();
        });
        poll.start(20);
        loop.exec();
        if (watcher.ended)
            break;
        if (!watcher.sawEvent) {
            if (!quietSince.isValid())
                quietSince.start();
            else if (quietSince.elapsed() > 3000)
                break;
        }
    }
    qApp->removeEventFilter(&watcher);
    about->hide();
}

// Resize panel
void Controller::toggleResizePanel()
{
    ResizePanel *panel = window ? window->findChild<ResizePanel *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!panel)
        return;
    if (panel->isVisible())
        panel->close();
    else
        panel->makeKeyAndOrderFront();
}
