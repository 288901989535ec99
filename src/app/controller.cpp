#include "app/controller.h"

#include "app/busywork.h"
#include "app/imageinfo.h"
#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "imaging/filterregistry.h"
#include "imaging/qimageadapter.h"
#include "imaging/standardcomposition.h"
#include "platform/imagefiles.h"
#include "platform/appearance.h"
#include "platform/geometry.h"
#include "platform/undomanager.h"
#include "platform/userdefaults.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"
#include "views/myoglview.h"
#include "widgets/docpagecontrol.h"
#include "widgets/dovalert.h"
#include "widgets/gradientbutton.h"
#include "widgets/onlytextclosedbutton.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>

#include <cmath>

Controller *Controller::s_mainController = nullptr;
bool Controller::s_quitAfterSave = false;

namespace {
const char *const startupImage = ":/images/main_img.jpg";
const char *const windowFrameName = "Velvane";
} // namespace

Controller::Controller(QObject *parent)
    : QObject(parent)
{
}

Controller::~Controller()
{
    if (s_mainController == this)
        s_mainController = nullptr;
}

Controller *Controller::mainController()
{
    return s_mainController;
}

QImage Controller::imageFromCIImage(const imaging::Image &image)
{
    if (image.isNull())
        return QImage();
    return imaging::qimageFromImage(image);
}

bool Controller::isDarkMode()
{
    return isDarkAppearance();
}

UndoManager *Controller::undoManager() const
{
    return window ? window->undoManager() : nullptr;
}

void Controller::awakeFromNib()
{
    // The start-up image sizes the canvases and sets the zoom.
    QString error;
    const QImage startup = ImageFiles::readImageFile(QString::fromLatin1(startupImage), &error);
    if (startup.isNull())
        qWarning("Controller: cannot read the start-up image: %s", qPrintable(error));
    setBackgroundImage(imaging::imageFromQImage(startup));

    // The default filter images are read on first use.
    namespace paths = imaging::standardcomposition::defaultimagepaths;
    texturepath = QString::fromLatin1(paths::texture);
    shadingemappath = QString::fromLatin1(paths::shadingMap);
    alphaemappath = QString::fromLatin1(paths::alphaMap);
    ramppath = QString::fromLatin1(paths::ramp);
    maskpath = QString::fromLatin1(paths::mask);

    imaging::FilterRegistry::loadAllPlugIns();

    if (window) {
        // The saved frame is fitted to the screens as they are now: a frame larger than the screen
        // (or stored by hand) would make a window of gigabytes, and the screens may have changed.
        if (const auto frame = UserDefaults::standardUserDefaults().frame(windowFrameName)) {
            QList<QRect> screens;
            for (QScreen *screen : QGuiApplication::screens())
                screens << screen->availableGeometry();
            const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint());
            if (const auto fitted = Geometry::fittedFrame(*frame, screens, minimum))
                window->setGeometry(*fitted);
        }
    }

    for (QTreeView *list : {listView, filter3DOutlineView, filterCustomOutlineView}) {
        if (!list)
            continue;
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        if (list->selectionModel())
            list->selectionModel()->clearSelection();
    }

    s_mainController = this;
    setFilePath(QString());

    if (QClipboard *clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, &Controller::updateMainBtnState);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationDidBecomeActive();
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Controller::applicationWillTerminate);
    if (UndoManager *um = undoManager())
        connect(um, &UndoManager::changed, this, &Controller::validateAllMenuItems);
    updateMainBtnState();
    connectStandardMode();
    connectCustomMode();
    connect3DMode();
    // After the effects exist: the favourites of the 3D and custom modes are copies of them.
    readFavorites();
}

int Controller::filerMode() const
{
    if (threeDBtn && threeDBtn->isChecked())
        return FilterMode::ThreeD;
    if (customBtn && customBtn->isChecked())
        return FilterMode::Custom;
    return FilterMode::Standard;
}

ZoomableImageView *Controller::zoomableCanvas() const
{
    // The 3D canvas has no zoom.
    switch (filerMode()) {
    case FilterMode::Standard: return ciView;
    case FilterMode::Custom: return customEffectsView;
    default: return nullptr;
    }
}

void Controller::changeFilterMode(QAbstractButton *sender)
{
    GradientButton *b = qobject_cast<GradientButton *>(sender);
    if (!b || (b != standardBtn && b != threeDBtn && b != customBtn))
        return;

    // Choosing the mode already shown changes nothing, the undo history included.
    if (b->isChecked())
        return;

    // The mode being left.
    const int left = filerMode();

    for (GradientButton *button : {standardBtn, threeDBtn, customBtn})
        button->setState(button == b);

    // A mode switch empties undo of all three modes...
    if (UndoManager *um = undoManager()) {
        um->removeAllActionsWithTarget(this);
        if (current3DEffect)
            um->removeAllActionsWithTarget(current3DEffect.get());
        if (currentCustomEffect)
            um->removeAllActionsWithTarget(currentCustomEffect.get());
    }

    adjustViewsAndTabs();

    // ...except for one step back to the mode it left.
    if (UndoManager *um = undoManager()) {
        QAbstractButton *back = left == FilterMode::Custom ? customBtn : left == FilterMode::ThreeD ? threeDBtn : standardBtn;
        QPointer<QAbstractButton> backPtr(back);
        um->registerUndo(this, [this, backPtr] {
            if (backPtr)
                changeFilterMode(backPtr);
        });
    }
    updateMainBtnState();
}

void Controller::selectMenuMode(QAction *sender)
{
    if (!sender)
        return;
    // The items' tags are 1, 2 and 3, in the order of the modes.
    switch (sender->property("tag").toInt() - 1) {
    case FilterMode::Standard: changeFilterMode(standardBtn); break;
    case FilterMode::ThreeD: changeFilterMode(threeDBtn); break;
    case FilterMode::Custom: changeFilterMode(customBtn); break;
    default: break;
    }
}

void Controller::adjustViewsAndTabs()
{
    const int m = filerMode();
    if (filterTabView) filterTabView->setCurrentIndex(m);
    if (favoritesTabView) favoritesTabView->setCurrentIndex(m);
    if (zoomSlider) zoomSlider->setEnabled(m != FilterMode::ThreeD);
    if (zoomSuperView) zoomSuperView->setHidden(m == FilterMode::ThreeD);
    if (openGLView) openGLView->setHidden(m != FilterMode::ThreeD);
    if (mainTabView) mainTabView->setCurrentIndex(m);

    // The slider shows the zoom of the canvas now in front.
    if (ZoomableImageView *canvas = zoomableCanvas()) {
        canvas->setZoom(canvas->getZoom());
        setZoom(canvas->getZoom());
    }
}

void Controller::updateMainBtnState()
{
    const QMimeData *data = QGuiApplication::clipboard() ? QGuiApplication::clipboard()->mimeData() : nullptr;
    if (pasteBtn)
        pasteBtn->setEnabled(data && data->hasImage());
    if (applyBtn) {
        const int m = filerMode();
        applyBtn->setEnabled((m == FilterMode::Standard && currentFilter) || (m == FilterMode::ThreeD && current3DEffect)
                             || (m == FilterMode::Custom && currentCustomEffect));
    }
    validateAllMenuItems();
}

void Controller::updateView()
{
    switch (filerMode()) {
    case FilterMode::Standard: if (ciView) ciView->pictureChanged(); break;
    case FilterMode::ThreeD: if (openGLView) openGLView->update(); break;
    case FilterMode::Custom: if (customEffectsView) customEffectsView->pictureChanged(); break;
    default: break;
    }
}

void Controller::updateLayout()
{
    needsUpdate = true;
    // The window's next update pass rebuilds the controls once, however many changes asked for it.
    QTimer::singleShot(0, this, &Controller::windowDidUpdate);
}

void Controller::windowDidUpdate()
{
    if (!needsUpdate)
        return;
    needsUpdate = false;
    clearControls();
    if (currentFilter) updateFilterControls(111);
}

static void deselectAll(QTreeView *list)
{
    if (list && list->selectionModel())
        list->selectionModel()->clearSelection();
}

void Controller::clearAll()
{
    switch (filerMode()) {
    case FilterMode::Standard:
        clearControls();
        currentFilter.reset();
        if (m_selectes_FavBtn)
            m_selectes_FavBtn->setChecked(false);
        m_selectes_FavBtn = nullptr;
        deselectAll(listView);
        break;
    case FilterMode::ThreeD:
        if (current3DEffect)
            current3DEffect->clearEffect();
        if (m_selectes_FavBtn3D)
            m_selectes_FavBtn3D->setChecked(false);
        m_selectes_FavBtn3D = nullptr;
        deselectAll(filter3DOutlineView);
        current3DEffect.reset();
        break;
    case FilterMode::Custom:
        if (currentCustomEffect)
            currentCustomEffect->clearEffect();
        currentCustomEffect.reset();
        if (m_selectes_FavBtnCustom)
            m_selectes_FavBtnCustom->setChecked(false);
        m_selectes_FavBtnCustom = nullptr;
        deselectAll(filterCustomOutlineView);
        break;
    default:
        break;
    }
}

void Controller::clearAllAndUpdate()
{
    clearAll();
    updateView();
    updateMainBtnState();
}

void Controller::escapeEffect()
{
    clearAllAndUpdate();
}

void Controller::applyBtnAction()
{
    imaging::Image result;
    switch (filerMode()) {
    case FilterMode::Standard: {
        // Without a filter there is nothing to bake in.
        if (!currentFilter)
            break;
        const imaging::Image r = coreImageResult(false);
        if (!r.isNull() && !r.extent().isEmpty() && !r.extent().isInfinite()) {
            // The result starts at (0, 0) like every current image. It is baked into a bitmap at
            // full resolution off the interface thread (the window keeps painting), so that the
            // undo stack holds pictures, not ever longer chains of filters to run again.
            const imaging::Image moved = r.transformed(imaging::AffineTransform::translation(-r.extent().x(), -r.extent().y()));
            QImage baked;
            bool failed = false;
            if (!BusyWork::run(window, QStringLiteral("Applying \u201C%1\u201D \u2026")
                                           .arg(imaging::Filter::localizedNameForFilterName(currentFilter->name())),
                               [&] { baked = imaging::qimageFromImage(moved); }, &failed))
                return; // other work is running; the filter stays as it is
            if (baked.isNull() || failed) {
                DovAlert::Alert_OK(window, QStringLiteral("The filter could not be applied."),
                                   QStringLiteral("There is not enough memory to render the picture at full size."));
                return;
            }
            result = imaging::imageFromQImage(baked);
        }
        break;
    }
    case FilterMode::ThreeD:
        // The 3D canvas's frame, baked in only while a 3D effect is shown: without one the canvas
        // holds a reduced view of the image, not a result.
        result = threeDResult();
        break;
    case FilterMode::Custom:
        if (currentCustomEffect) {
            BaseEffect *effect = currentCustomEffect.get();
            // The composition at full size runs off the thread while the window keeps painting.
            // A drawn effect kept at the canvas's size (a drag, colours still being tried, a large
            // picture) draws the full size there too, into a picture of its own; an effect that
            // cannot makes its full size here first.
            effect->endContinuousChange();
            if (!effect->composesOffThread())
                effect->prepareFullSize();
            QImage drawn;
            bool failed = false;
            if (!effect->isInitialised())
                drawn = effect->getDrawImage();
            else if (!BusyWork::run(window, QStringLiteral("Applying \u201C%1\u201D \u2026").arg(effect->myname()),
                                    [&] { drawn = effect->getDrawImage(); }, &failed))
                return; // other work is running; the effect stays as it is
            if (failed) {
                DovAlert::Alert_OK(window, QStringLiteral("The effect could not be applied."),
                                   QStringLiteral("There is not enough memory to render the picture at full size."));
                return;
            }
            if (!drawn.isNull())
                result = imaging::imageFromQImage(drawn);
        }
        break;
    default:
        break;
    }

    if (!result.isNull()) {
        registerUndoPaste(backgroundImage);
        setBackgroundImage(result);
        setWasChanged(true);
        if (filerMode() == FilterMode::ThreeD && current3DEffect)
            current3DEffect->reloadImage();
    }
    clearAllAndUpdate();
}

void Controller::setFilePath(const QString &path)
{
    _filePath = path;
    updateWinTitle();
    ImageInfo::setSharedURL(path);
}

void Controller::updateWinTitle()
{
    if (!window)
        return;
    // "[*]" is where the desktop shows that the document has unsaved changes (an asterisk here).
    const QString title = _filePath.isEmpty()
        ? QStringLiteral("Lumetta[*]")
        : QStringLiteral("Lumetta::") + QFileInfo(_filePath).fileName() + QStringLiteral("[*]");
    window->setWindowTitle(title);
    window->setWindowModified(m_wasChanged);
}

void Controller::setWasChanged(bool changed)
{
    m_wasChanged = changed;
    if (window)
        window->setWindowModified(changed);
}

float Controller::zoomForSliderPosition(double s)
{
    // Piecewise linear with the knee at position 5 = zoom 1: 0 -> 0.1, 5 -> 1, 10 -> 10.
    return float(s < 5 ? s * 0.9 / 5 + 0.1 : (s - 5) * 9 / 5 + 1);
}

double Controller::sliderPositionForZoom(double z)
{
    return z < 1 ? (z - 0.1) * 5 / 0.9 : (z - 1) * 5 / 9 + 5;
}

void Controller::zoomChanged()
{
    if (!zoomSlider)
        return;
    const float z = zoomForSliderPosition(zoomSlider->value() / double(zoomSliderScale));
    if (ZoomableImageView *canvas = zoomableCanvas())
        canvas->setZoom(z);
    updateView();
}

void Controller::zoomIn()
{
    stepZoom(1.25f);
}

void Controller::zoomOut()
{
    stepZoom(1 / 1.25f);
}

void Controller::stepZoom(float factor)
{
    ZoomableImageView *canvas = zoomableCanvas();
    if (!canvas || !zoomSlider)
        return;
    // Through the slider, which limits the zoom to its range (0.1 to 10).
    setZoom(canvas->getZoom() * factor);
    zoomChanged();
    updateZoomPercent();
}

void Controller::zoomToFit()
{
    if (filerMode() == FilterMode::ThreeD)
        return;
    fitZoomToWindow();
    updateView();
}

void Controller::updateZoomPercent()
{
    if (!zoomPercentLabel || !zoomSlider)
        return;
    const float z = zoomForSliderPosition(zoomSlider->value() / double(zoomSliderScale));
    zoomPercentLabel->setText(QStringLiteral("%1 %").arg(std::lround(z * 100)));
}

void Controller::setZoom(float zoom)
{
    if (!zoomSlider)
        return;
    {
        const QSignalBlocker blocker(zoomSlider);
        zoomSlider->setValue(int(std::lround(sliderPositionForZoom(zoom) * zoomSliderScale)));
    }
    updateZoomPercent();
}

void Controller::updateZoommWithDelta(float delta)
{
    ZoomableImageView *canvas = zoomableCanvas();
    if (!canvas)
        return;
    setZoom(canvas->getZoom() + delta);
    // Reading the slider back limits the zoom to the slider's range.
    zoomChanged();
}

void Controller::onAppearanceChanged()
{
    // Re-setting each state makes the mode buttons regenerate their faces for the new appearance.
    for (GradientButton *button : {standardBtn, threeDBtn, customBtn})
        if (button)
            button->setState(button->isChecked());
}

void Controller::applicationDidFinishLaunching()
{
    // The help pages are compiled into the program; there is nothing to register.
}

void Controller::applicationDidBecomeActive()
{
    updateMainBtnState();
}

void Controller::applicationWillTerminate()
{
    if (window)
        UserDefaults::standardUserDefaults().setFrame(windowFrameName, window->geometry());
    UserDefaults::standardUserDefaults().synchronize();
}

Controller::TerminateReply Controller::applicationShouldTerminate()
{
    // Nothing unsaved (also after the save that the prompt's "Save..." started has succeeded).
    if (!m_wasChanged)
        return TerminateNow;
    const int answer = DovAlert::Alert_DONTSAVECANCEL(window, QStringLiteral("Do you want to save changes?"),
        QStringLiteral("Your changes will be lost if you choose don't save option."));
    switch (answer) {
    case 1:
        // Save first; the end of the save quits.
        s_quitAfterSave = true;
        saveImg();
        return TerminateCancel;
    case 3:
        return TerminateNow;
    default:
        return TerminateCancel;
    }
}

void Controller::terminate()
{
    if (applicationShouldTerminate() != TerminateNow)
        return;
    // The answer is given: the window's close event, which quitting sends, must not ask again.
    m_terminating = true;
    windowWillClose();
    qApp->quit();
}

bool Controller::windowShouldClose()
{
    // Closing the window ends the program, so it asks the quit prompt's question, with its outcomes.
    if (m_terminating)
        return true;
    if (applicationShouldTerminate() != TerminateNow)
        return false;
    m_terminating = true;
    return true;
}

void Controller::windowWillClose()
{
    if (m_windowClosed)
        return;
    m_windowClosed = true;
    saveFavorites();
}

void Controller::windowDidResize()
{
    for (DocPageControl *strip : {m_pageController, m_page3DController, m_pageCustomController})
        if (strip)
            strip->liveResizeDone();
    if (ciView)
        ciView->resizeViewBound(true, 3);
    if (customEffectsView)
        customEffectsView->resizeViewBound(true, 3);
}
