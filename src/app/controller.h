#pragma once

#include "effects/favorite.h"
#include "imaging/filter.h"
#include "imaging/image.h"
#include "views/canvascontroller.h"
#include "widgets/favoritesowner.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BaseEffect;
class DocPageControl;
class GradientButton;
class MainWindow;
class MyImageView;
class MyOGLView;
class QAbstractButton;
class QAbstractItemModel;
class QAction;
class QLabel;
class QMenu;
class QModelIndex;
class QPainter;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTreeView;
class QWidget;
class UndoManager;
class UserDefaults;
class ZoomableImageView;
class customEffImageView;
class onlyTextClosedButton;

// The hub of the application: the controller of the one main window. It owns the current image,
// the current effect of each of the three modes (standard filters, 3D, custom), the favourites lists,
// the file path and the document-changed flag. Its members are spread over several source files by
// concern (controller.cpp: start-up, modes, zoom, apply; controller_filters.cpp: the standard mode's
// picture; controller_files.cpp: open and save; controller_transforms.cpp: transforms, clipboard, undo;
// controller_menus.cpp: menu validation, help and about; controller_favorites.cpp: favourites).
class Controller : public QObject, public CanvasController, public FavoritesOwner
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
    // The document-changed flag; the window title marks unsaved changes while it is set.
    void setWasChanged(bool changed);
    UndoManager *undoManager() const;

    // Operations other parts call.
    int filerMode() const override;
    // The zoomable canvas of the mode in front (none in the 3D mode, which has no zoom).
    ZoomableImageView *zoomableCanvas() const;
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

    // Menu validation: whether the item is enabled now (and its check mark for the mode items).
    bool validateMenuItem(QAction *item);
    void validateAllMenuItems();

    // Application delegate.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    TerminateReply applicationShouldTerminate();
    void applicationDidBecomeActive();
    // Window delegate. windowShouldClose runs the quit prompt when there are unsaved changes: closing
    // the one window ends the program.
    bool windowShouldClose();
    void windowDidResize();
    void windowWillClose();
    void windowDidUpdate();

    // Appearance.
    void onAppearanceChanged();

    // Standard mode: filter chain and controls
    // Makes the named filter current (defaults, image inputs, automatic defaults) and builds its
    // controls with the tag (111 from the list or after undo, 0 from a favourite).
    void addFilter(const QString &name, int index);
    void _setupAllImageInputsToNotNil(imaging::Filter &filter);
    void setAutomaticDefaults(imaging::Filter &filter);
    void updateFilterControls(int tag);
    // The default images of filters that need a special input, read once from the resources.
    imaging::Image defaultTexture();
    imaging::Image defaultShadingEMap();
    imaging::Image defaultAlphaEMap();
    imaging::Image defaultRamp();
    imaging::Image defaultMask();
    // Undoable setters of a filter input and of a dictionary entry, and the undo step's name.
    void setFilter(const std::shared_ptr<imaging::Filter> &filter, const QVariant &value, const QString &key) override;
    void setDict(const std::shared_ptr<QVariantMap> &dict, const QVariant &value, const QString &key);
    void setActionNameForFilter(const std::shared_ptr<imaging::Filter> &filter, const QString &key) override;
    static QString actionNameForFilter(const imaging::Filter &filter, const QString &key);
    static QString unInterCap1(const QString &text);
    // Whether a filter has inputs edited by handles on the canvas (positions, rectangles, 3D
    // positions, transforms); the no-argument form asks it of the current filter.
    static bool isControlsPresent(const imaging::Filter &filter);
    bool isControlsPresent() const override;
    // Selection changes of the effect lists.
    void outlineViewSelectionDidChange(QTreeView *list);
    void outlineViewSelectionDidChange_CIF(QTreeView *list);
    // Connects the standard list's selection to the handlers above.
    void connectStandardMode();

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
    QLabel *zoomPercentLabel = nullptr;
    QWidget *infoPanel = nullptr;
    MainWindow *window = nullptr;

    // Files, transforms and clipboard
    // Opening: installs the picture of the file and takes its path, as one undo step that brings
    // back the previous picture with its own path; false (the current image and title kept, and an
    // alert saying which file and why) when the file cannot be read. The open dialog's completion
    // ends here.
    bool openFile(const QString &path);
    void openImgPanelDidEnd(int returnCode, const QStringList &files);
    // A file dropped on a canvas: read like Open (an alert when it cannot be), installed undoably.
    void openDroppedFile(const QString &path) override;
    // The open dialog's file patterns: every readable type, in lower and upper case.
    static QStringList openPanelPatterns();
    // The save dialog's format list ("JPEG (*.jpeg)", ...) in export-table order.
    static QStringList initExportFormats();
    // Re-saving over the file the image came from, after the replace question; false when the
    // extension names no export format or the write fails (true after Cancel: nothing to report).
    bool saveExistFile();
    // The save dialog, opened window-modal; its completion is savePanelDidEnd with the dialog's
    // result (1 for Save), the chosen path and the chosen format index.
    void runSavePanel();
    void savePanelDidEnd(int returnCode, const QString &path, int formatIndex);
    int formatType() const { return format_type; }
    // The writers: the current result in format `formatIndex` (resolution is accepted as designed
    // but does not change the file); false when there is no picture or encoding or writing fails.
    bool simplySave(int formatIndex, float resolution, const QString &path);
    bool createPDFFile(const QString &path, float resolution);
    static bool quitAfterSave() { return s_quitAfterSave; }
    static void setQuitAfterSave(bool on) { s_quitAfterSave = on; }
    // The current mode's result as a picture (the current image when the mode has no effect).
    QImage getEffectedImage();
    // The same, as work that may run on another thread (the standard mode's full-size rendering is
    // deferred into it; the other modes' pictures are made before it is returned).
    std::function<QImage()> effectedImageJob();
    // The same as ARGB32 premultiplied bitmaps, ready for encoders and painting.
    QImage createObjectImage();
    QImage createObjectImage(float resolution);
    // The current image as a picture (null without one); flipped gives rows bottom first.
    QImage getImage(bool flipped);
    // The current image for OpenGL textures: ARGB32 premultiplied with the bottom row first.
    QImage getCGImage();
    // Undoable replacement of the current image (paste, apply, drops).
    void undoPaste(const imaging::Image &image);
    void rotateImage(int left);
    void flipImage(int vertical);
    // New size in pixels, resampled with area averaging when shrinking; absurd sizes are refused.
    void resizeImage(float width, float height);

    // Custom mode
    // Builds the prototype effects and the custom effect list, gives the effects this controller,
    // and connects the list's selection.
    void connectCustomMode();
    // A new item of the custom list (an invalid index for none): the working copy is replaced by
    // a copy of the chosen prototype, or dropped.
    void outlineViewSelectionDidChange_Custom(const QModelIndex &item);
    // The prototypes in list order (Simple Objects ... Sketch Effect).
    std::vector<BaseEffect *> customPrototypes() const;
    bool hasCustomEffect() const override;
    bool customEffectIsMousing() const override;
    QPointF customEffectStartPoint() const override;
    void customEffectMouse(int kind, const QPointF &imagePoint) override;
    double customCanvasZoom() const override;
    bool drawCustomEffect(QPainter &painter, const QRectF &target, const QRectF &source) override;
    std::unique_ptr<BaseEffect> m_simpleEffect, m_lineEffect, m_hilbertEffect, m_patchWorkEffect, m_flareEffect,
        m_plasmaEffect, m_pMorphingEffect, m_sketchEffect;
    QAbstractItemModel *m_customListModel = nullptr;

    // 3D mode
    // Builds the two 3D prototypes and the 3D list, and connects the list and the 3D canvas.
    void connect3DMode();
    // A new item of the 3D list (an invalid index for none): the current 3D effect is replaced by
    // a copy of the chosen prototype, or dropped.
    void outlineViewSelectionDidChange_3D(const QModelIndex &item);
    bool has3DEffect() const override;
    void draw3DScene() override;
    void effect3DMouse(int kind, const QPointF &viewPoint) override;
    // The 3D canvas's frame while a 3D effect is shown: as a picture for saving and copying, as an
    // image for Apply. Null without an effect or a canvas that can draw.
    QImage threeDPicture();
    imaging::Image threeDResult();
    std::unique_ptr<BaseEffect> eval3DEffect, object3DEffect;
    QAbstractItemModel *m_3DListModel = nullptr;

    // Favourites
    // One favourite of a mode's list. A stored record that cannot be used (damaged, or naming a
    // filter or effect that no longer exists) stays in the list without a button, so that it is
    // written back as it was read.
    struct FavoriteEntry
    {
        QPointer<onlyTextClosedButton> button;
        // The stored form, written back unchanged whenever the list is stored.
        QVariantMap stored;
        std::optional<Favorite> favorite;
        // 3D and custom modes: a private copy of the effect, untouched by later edits of the
        // current effect.
        std::shared_ptr<BaseEffect> effect;
    };
    // Make a favourite of the mode's current effect (nothing without an effect or a picture); the
    // mode's list is stored at once.
    void addFavorites();
    void addFavorites3D();
    void addFavoritesCustom();
    // The menu item "Add to Favourites": a favourite of the current mode's effect.
    void addFavoritesAction();
    // The close box of a favourite button: removes that favourite (the effect too when it was the
    // selected one) and stores the list.
    void removeFavorites(onlyTextClosedButton *button) override;
    void removeFavorites3D(onlyTextClosedButton *button) override;
    void removeFavoritesCustom(onlyTextClosedButton *button) override;
    // A favourite button's action: applies its favourite, or drops it when it is the selected one
    // (null: drops the mode's effect). In the custom mode the choice is one undo step.
    void filterChanged(onlyTextClosedButton *button);
    void filterChanged3D(onlyTextClosedButton *button);
    void filterChangedCustom(onlyTextClosedButton *button);
    void saveFavoritesCI();
    void saveFavorites3D();
    void saveFavoritesCustom();
    // When the window closes: writes again each list whose last write failed.
    void saveFavorites();
    void readFavoritesCI();
    void readFavorites3D();
    void readFavoritesCustom();
    void readFavorites();
    const std::vector<FavoriteEntry> &favoritesOfMode(int mode) const;
    onlyTextClosedButton *selectedFavorite(int mode) const;
    DocPageControl *favoritesStrip(int mode) const;
    // The settings the favourites are kept in (the user's, unless set otherwise).
    UserDefaults &userDefaults() const;
    void setUserDefaults(UserDefaults *defaults) { m_userDefaults = defaults; }

public slots:
    // Actions sent by buttons and menu items.
    void changeFilterMode(QAbstractButton *sender);
    void selectMenuMode(QAction *sender);
    // The Apply button's action (the field applyBtn is the button itself).
    void applyBtnAction();
    void escapeEffect();
    void zoomChanged();
    // View menu: zoom steps of a quarter in and out, and the zoom that fits the image to the window
    // (2D canvases only; the 3D canvas has no zoom).
    void zoomIn();
    void zoomOut();
    void zoomToFit();
    // Shows the slider's zoom as a percentage beside it.
    void updateZoomPercent();
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

    // Resize panel
    // The menu item's action: closes the resize panel when it is visible, else brings it up with
    // the current image's size.
    void toggleResizePanel();

private:
    void registerUndoPaste(const imaging::Image &previous);
    // The quit prompt's question (1 Save..., 2 Cancel, 3 Don't Save), asked also before opening.
    int askSaveChanges();
    void runOpenPanel();
    // The picture of a file, or null after telling the user in an alert why it cannot be read.
    QImage readPictureOrAlert(const QString &path);
    // Installs a picture with its file path and changed flag as one undo step (named `name`) whose
    // undo brings back the previous picture, path, title and flag together.
    void replaceDocument(const imaging::Image &image, const QString &path, bool changed, const QString &name);
    // A save that was to be followed by quitting or opening did not happen: neither goes ahead.
    void dropPendingAfterSave();
    void refreshCanvasZoom();
    void stepZoom(float factor);
    void finishSave(bool ok);
    std::vector<FavoriteEntry> &favoritesList(int mode);
    QPointer<onlyTextClosedButton> &selectedFavoriteRef(int mode);
    void addFavoriteOfMode(int mode);
    void removeFavoriteOfMode(int mode, onlyTextClosedButton *button);
    void chooseFavorite(int mode, onlyTextClosedButton *button);
    void storeFavorites(int mode);
    void readFavoritesOfMode(int mode);
    void showFavorite(int mode, FavoriteEntry &entry);
    BaseEffect *prototypeNamed(int mode, const QString &className) const;

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
    std::vector<FavoriteEntry> m_favorites, m_favorites3D, m_favoritesCustom;
    QPointer<onlyTextClosedButton> m_selectes_FavBtn, m_selectes_FavBtn3D, m_selectes_FavBtnCustom;
    bool m_wasChanged = false;
    // The quit prompt has been answered with quitting (or there was nothing to ask).
    bool m_terminating = false;
    bool m_windowClosed = false;
    // The open dialog follows the save that the prompt before opening started.
    bool m_openAfterSave = false;
    bool needsUpdate = false;
    int format_type = 0;

    QPointer<QWidget> m_helpWindow;
    UserDefaults *m_userDefaults = nullptr;
    // A mode's list whose last write failed: written again when the window closes.
    bool m_favoritesUnwritten[3] = {false, false, false};
};
