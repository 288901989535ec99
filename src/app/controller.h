#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"
#include "views/canvascontroller.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <memory>

class BaseEffect;
class DocPageControl;
class GradientButton;
class MainWindow;
class MyImageView;
class MyOGLView;
class QAbstractButton;
class QAction;
class QMenu;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTreeView;
class QWidget;
class UndoManager;
class customEffImageView;
class onlyTextClosedButton;

// The hub of the application: the controller of the one main window. It owns the current image,
// the current effect of each of the three modes (standard filters, 3D, custom), the favourites lists,
// the file path and the document-changed flag. Its members are spread over several source files by
// concern (controller.cpp: start-up, modes, zoom, apply; controller_filters.cpp: the standard mode's
// picture; controller_files.cpp: open and save; controller_transforms.cpp: transforms, clipboard, undo;
// controller_menus.cpp: menu validation, help and about).
class Controller : public QObject, public CanvasController
{
    Q_OBJECT
public:
    enum TerminateReply { TerminateNow, TerminateCancel };

    explicit Controller(QObject *parent = nullptr);
    ~Controller() override;

    // The shared controller, set once the main window has been loaded.
    static Controller *mainController();
    // The picture of an engine image as a QImage of the same size (empty for a null or unbounded image).
    static QImage imageFromCIImage(const imaging::Image &image);
    // True while the desktop uses a dark appearance.
    static bool isDarkMode();
    // The zoom slider's position s and the zoom factor z, related piecewise linearly with the knee at
    // s = 5, z = 1 (positions 0, 5 and 10 give 0.1, 1 and 10).
    static float zoomForSliderPosition(double s);
    static double sliderPositionForZoom(double z);
    // The slider works in integer steps: position s is the value s * zoomSliderScale.
    static constexpr int zoomSliderScale = 100;

    // Start-up, run once when the main window has been built and its outlets connected.
    void awakeFromNib();

    // Accessors.
    QString getFilePath() const { return _filePath; }
    QMenu *contextMenu() const override { return contentMenuOutlet; }
    imaging::Image backImage() const override { return backgroundImage; }
    std::shared_ptr<imaging::Filter> getCurrentFilter() const { return currentFilter; }
    BaseEffect *getCurrent3DEffect() const { return current3DEffect.get(); }
    BaseEffect *getCurrentCustomEffect() const { return currentCustomEffect.get(); }
    bool wasChanged() const { return m_wasChanged; }
    void setWasChanged(bool changed) { m_wasChanged = changed; }
    UndoManager *undoManager() const;

    // Operations other parts call.
    int filerMode() const;
    void updateView();
    void updateMainBtnState();
    void updateLayout();
    void setZoom(float zoom) override;
    void updateZoommWithDelta(float delta) override;
    void setFilePath(const QString &path);
    void updateWinTitle();
    void clearAll();
    void clearAllAndUpdate();
    void adjustViewsAndTabs();

    // The standard mode's picture and the current image.
    imaging::Image coreImageResult(bool overBlack) override;
    imaging::Image coreImageResultForRect(const imaging::Rect &rect);
    bool filterHasMissingImage(const imaging::Filter &filter) const;
    bool hasMissingImage() const;
    void setBackgroundImage(const imaging::Image &image);
    // Fits the current image into the visible canvas area and applies that zoom to both 2D canvases.
    void fitZoomToWindow();
    imaging::Rect getBgImageExtent() const;
    void clearControls();

    // Undoable replacement of the current image (paste, apply, drops).
    void undoPaste(const imaging::Image &image);
    void rotateImage(int left);
    void flipImage(int vertical);
    // The current mode's result as a picture (the current image when the mode has no effect).
    QImage getEffectedImage();

    // Menu validation: whether the item is enabled now (and its check mark for the mode items).
    bool validateMenuItem(QAction *item);
    void validateAllMenuItems();

    // Application delegate.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    TerminateReply applicationShouldTerminate();
    void applicationDidBecomeActive();
    // Window delegate.
    bool windowShouldClose();
    void windowDidResize();
    void windowWillClose();
    void windowDidUpdate();

    // Opening: installs the picture of the file and takes its path; false (and the current image kept)
    // when the file cannot be read.
    bool openFile(const QString &path);
    // Saving (the quit prompt's Save answer ends here).
    bool saveExistFile();
    bool simplySave(const QString &path);
    static bool quitAfterSave() { return s_quitAfterSave; }
    static void setQuitAfterSave(bool on) { s_quitAfterSave = on; }

    // Appearance.
    void onAppearanceChanged();

    // Outlets: widgets of the main window, owned by it (Qt parents), connected when it is built.
    QWidget *placeCntrlView = nullptr;
    QSlider *zoomSlider = nullptr;
    QTreeView *listView = nullptr;
    QWidget *itsAboutWindow = nullptr;
    QWidget *saveObjectOutlet = nullptr;
    QMenu *contentMenuOutlet = nullptr;
    QStackedWidget *filterTabView = nullptr;
    QStackedWidget *favoritesTabView = nullptr;
    QStackedWidget *mainTabView = nullptr;
    GradientButton *standardBtn = nullptr;
    GradientButton *threeDBtn = nullptr;
    GradientButton *customBtn = nullptr;
    QPushButton *pasteBtn = nullptr;
    QPushButton *applyBtn = nullptr;
    MyOGLView *openGLView = nullptr;
    QTreeView *filter3DOutlineView = nullptr;
    QTreeView *filterCustomOutlineView = nullptr;
    DocPageControl *m_pageController = nullptr;
    DocPageControl *m_page3DController = nullptr;
    DocPageControl *m_pageCustomController = nullptr;
    customEffImageView *customEffectsView = nullptr;
    MyImageView *ciView = nullptr;
    QWidget *zoomSuperView = nullptr;
    QWidget *infoPanel = nullptr;
    MainWindow *window = nullptr;

public slots:
    // Actions sent by buttons and menu items.
    void changeFilterMode(QAbstractButton *sender);
    void selectMenuMode(QAction *sender);
    // The Apply button's action (the field applyBtn is the button itself).
    void applyBtnAction();
    void escapeEffect();
    void zoomChanged();
    void displayHelp();
    void visitSite();
    void runAbout();
    void showInfoPanel();
    void undo();
    void redo();
    void copy();
    void paste();
    void openImg();
    void saveImg();
    void saveImgAs();
    void rotateLeft();
    void rotateRight();
    void flipHorizont();
    void flipVert();
    // Asks to quit: runs the quit prompt when there are unsaved changes.
    void terminate();

private:
    void registerUndoPaste(const imaging::Image &previous);
    void refreshCanvasZoom();
    void runSavePanel();
    void finishSave(bool ok);

    static Controller *s_mainController;
    static bool s_quitAfterSave;

    // Working state.
    imaging::Image backgroundImage;
    std::shared_ptr<imaging::Filter> currentFilter;
    std::unique_ptr<BaseEffect> current3DEffect;
    std::unique_ptr<BaseEffect> currentCustomEffect;
    imaging::Image texture, shadingemap, alphaemap, ramp, mask;
    QString texturepath, shadingemappath, alphaemappath, ramppath, maskpath;
    QString _filePath;
    QVariantList m_favorites, m_favorites3D, m_favoritesCustom;
    QPointer<onlyTextClosedButton> m_selectes_FavBtn, m_selectes_FavBtn3D, m_selectes_FavBtnCustom;
    bool m_wasChanged = false;
    bool needsUpdate = false;
    int format_type = 0;

    QPointer<QWidget> m_helpWindow;
};
