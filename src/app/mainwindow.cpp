#include "app/mainwindow.h"

#include "app/busywork.h"
#include "app/controller.h"
#include "app/imageinfo.h"
#include "app/resizepanel.h"
#include "app/undogesturefilter.h"
#include "platform/undomanager.h"
#include "views/aboutpanel.h"
#include "views/customeffimageview.h"
#include "views/myimageview.h"
#include "views/myoglview.h"
#include "views/top3dview.h"
#include "widgets/customscroller.h"
#include "widgets/docpagecontrol.h"
#include "widgets/gradientbutton.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QTreeView *makeEffectList(QWidget *parent)
{
    auto *list = new QTreeView(parent);
    list->setHeaderHidden(true);
    list->setIndentation(12);
    list->setRootIsDecorated(true);
    list->setUniformRowHeights(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

// A scroll area for a canvas: the canvas is its widget and sizes itself to the zoomed picture.
QScrollArea *makeCanvasScroller(QWidget *canvas, QWidget *parent)
{
    auto *area = new QScrollArea(parent);
    area->setWidgetResizable(false);
    area->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    area->setFrameShape(QFrame::NoFrame);
    area->setBackgroundRole(QPalette::Dark);
    area->setWidget(canvas);
    return area;
}

QScrollArea *makeControlScroller(QWidget *panel, QWidget *parent)
{
    auto *area = new QScrollArea(parent);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    // The vertical bar is always there (with nothing to scroll it shows its background only), so
    // the rows are laid out once for the width they keep: a bar appearing later would narrow them.
    area->setVerticalScrollBar(new CustomScroller(Qt::Vertical));
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setHorizontalScrollBar(new CustomScroller(Qt::Horizontal));
    area->setWidget(panel);
    return area;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_undoManager(new UndoManager(this))
    , m_controller(new Controller(this))
{
    m_controller->window = this;
    setWindowTitle(QStringLiteral("Lumetta"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app.png")));
    buildWidgets();
    buildMenus();
    m_undoGesture = new UndoGestureFilter(this, m_undoManager);
    resize(1280, 820);
    m_controller->awakeFromNib();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWidgets()
{
    Controller *c = m_controller;
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(6);

    // Mode buttons on the left, Paste and Apply on the right.
    auto *top = new QHBoxLayout;
    c->standardBtn = new GradientButton(tr("Standard"), central);
    c->threeDBtn = new GradientButton(tr("3D"), central);
    c->customBtn = new GradientButton(tr("Custom"), central);
    for (GradientButton *b : {c->standardBtn, c->threeDBtn, c->customBtn}) {
        b->setCheckable(true);
        b->setMinimumSize(104, 30);
        b->setFocusPolicy(Qt::NoFocus);
        top->addWidget(b);
        // The controller decides the states: undo the button's own toggle before telling it.
        connect(b, &QAbstractButton::clicked, c, [c, b](bool checked) {
            b->setState(!checked);
            c->changeFilterMode(b);
        });
    }
    c->standardBtn->setState(true);
    c->threeDBtn->setState(false);
    c->customBtn->setState(false);
    top->addStretch(1);
    c->pasteBtn = new QPushButton(tr("Paste"), central);
    c->applyBtn = new QPushButton(tr("Apply"), central);
    c->pasteBtn->setToolTip(tr("Replace the image with the one on the clipboard"));
    c->applyBtn->setToolTip(tr("Bake the current effect into the image"));
    connect(c->pasteBtn, &QPushButton::clicked, c, &Controller::paste);
    connect(c->applyBtn, &QPushButton::clicked, c, &Controller::applyBtnAction);
    top->addWidget(c->pasteBtn);
    top->addWidget(c->applyBtn);
    outer->addLayout(top);

    auto *split = new QSplitter(Qt::Horizontal, central);
    outer->addWidget(split, 1);

    // Left: per mode, the effect list above the control panel.
    c->filterTabView = new QStackedWidget(split);
    c->filterTabView->setMinimumWidth(260);
    QTreeView **lists[filtermodes::count] = {&c->listView, &c->filter3DOutlineView, &c->filterCustomOutlineView};
    for (int mode = 0; mode < filtermodes::count; ++mode) {
        auto *page = new QSplitter(Qt::Vertical, c->filterTabView);
        *lists[mode] = makeEffectList(page);
        auto *panel = new QWidget;
        panel->setObjectName(QStringLiteral("controlPanel%1").arg(mode));
        if (mode == FilterMode::Standard)
            c->placeCntrlView = panel;
        page->addWidget(*lists[mode]);
        page->addWidget(makeControlScroller(panel, page));
        page->setStretchFactor(0, 3);
        page->setStretchFactor(1, 2);
        c->filterTabView->addWidget(page);
    }

    // Right: the canvas of each mode, with the zoom controls under the 2D canvases.
    auto *right = new QWidget(split);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    c->mainTabView = new QStackedWidget(right);
    c->ciView = new MyImageView;
    c->ciView->setController(c);
    c->mainTabView->addWidget(makeCanvasScroller(c->ciView, c->mainTabView));
    // The 3D area holds the OpenGL canvas, or a message where OpenGL cannot be had.
    auto *area3D = new Top3DView(c->mainTabView);
    c->openGLView = area3D->openGLView();
    if (c->openGLView)
        c->openGLView->setHidden(true);
    c->mainTabView->addWidget(area3D);
    c->customEffectsView = new customEffImageView;
    c->customEffectsView->setController(c);
    c->mainTabView->addWidget(makeCanvasScroller(c->customEffectsView, c->mainTabView));
    rightLayout->addWidget(c->mainTabView, 1);

    c->zoomSuperView = new QWidget(right);
    auto *zoomLayout = new QHBoxLayout(c->zoomSuperView);
    zoomLayout->setContentsMargins(0, 0, 0, 0);
    zoomLayout->addStretch(1);
    zoomLayout->addWidget(new QLabel(tr("Zoom"), c->zoomSuperView));
    c->zoomSlider = new QSlider(Qt::Horizontal, c->zoomSuperView);
    c->zoomSlider->setRange(0, 10 * Controller::zoomSliderScale);
    c->zoomSlider->setValue(5 * Controller::zoomSliderScale);
    c->zoomSlider->setFixedWidth(240);
    c->zoomSlider->setToolTip(tr("Zoom: the middle is 100%"));
    connect(c->zoomSlider, &QSlider::valueChanged, c, &Controller::zoomChanged);
    zoomLayout->addWidget(c->zoomSlider);
    // The zoom as a percentage, following the slider however it moves.
    c->zoomPercentLabel = new QLabel(c->zoomSuperView);
    c->zoomPercentLabel->setMinimumWidth(QFontMetrics(c->zoomPercentLabel->font()).horizontalAdvance(QStringLiteral("1000 %")));
    c->zoomPercentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(c->zoomSlider, &QSlider::valueChanged, c, &Controller::updateZoomPercent);
    zoomLayout->addWidget(c->zoomPercentLabel);
    c->updateZoomPercent();
    rightLayout->addWidget(c->zoomSuperView);

    split->addWidget(c->filterTabView);
    split->addWidget(right);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 980});

    // Bottom: the favourites strip of each mode.
    c->favoritesTabView = new QStackedWidget(central);
    // The favourite buttons, with the strip's scroll bar under them.
    c->favoritesTabView->setFixedHeight(48 + CustomScroller::scrollerWidth());
    DocPageControl **strips[3] = {&c->m_pageController, &c->m_page3DController, &c->m_pageCustomController};
    for (DocPageControl **strip : strips) {
        *strip = new DocPageControl(c->favoritesTabView);
        c->favoritesTabView->addWidget(*strip);
    }
    outer->addWidget(c->favoritesTabView);

    setCentralWidget(central);

    auto *about = new AboutPanel(this);
    c->itsAboutWindow = about;

    // Resize panel: a tool window of the main window, alive as long as it.
    new ResizePanel(c, this);
    // Information panel: likewise.
    c->infoPanel = new ImageInfo(this);
}

QAction *MainWindow::addItem(QMenu *menu, const QString &title, const char *action, const QKeySequence &shortcut,
                             void (Controller::*slot)())
{
    QAction *item = menu->addAction(title);
    item->setProperty("action", QString::fromLatin1(action));
    if (!shortcut.isEmpty())
        item->setShortcut(shortcut);
    if (slot)
        connect(item, &QAction::triggered, m_controller, slot);
    m_menuActions << item;
    return item;
}

QAction *MainWindow::menuAction(const QString &action, int tag) const
{
    for (QAction *item : m_menuActions)
        if (item->property("action").toString() == action && (tag == 0 || item->property("tag").toInt() == tag))
            return item;
    return nullptr;
}

void MainWindow::buildMenus()
{
    Controller *c = m_controller;

    QMenu *file = menuBar()->addMenu(tr("&File"));
    addItem(file, tr("&Open..."), "openImg:", QKeySequence::Open, &Controller::openImg);
    addItem(file, tr("&Save"), "saveImg:", QKeySequence::Save, &Controller::saveImg);
    addItem(file, tr("Save &As..."), "saveImgAs:", QKeySequence(tr("Ctrl+Shift+S")), &Controller::saveImgAs);
    file->addSeparator();
    addItem(file, QStringLiteral("Image Information ..."), "showInfoPanel:", QKeySequence(tr("Ctrl+I")),
            &Controller::showInfoPanel);
    file->addSeparator();
    QAction *quit = addItem(file, tr("&Quit"), "terminate:", QKeySequence(tr("Ctrl+Q")), &Controller::terminate);
    quit->setMenuRole(QAction::QuitRole);

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    addItem(edit, tr("Undo"), "undo:", QKeySequence::Undo, &Controller::undo);
    addItem(edit, tr("Redo"), "redo:", QKeySequence(tr("Ctrl+Shift+Z")), &Controller::redo);
    edit->addSeparator();
    addItem(edit, tr("&Copy"), "copy:", QKeySequence::Copy, &Controller::copy);
    addItem(edit, tr("&Paste"), "paste:", QKeySequence::Paste, &Controller::paste);
    edit->addSeparator();
    addItem(edit, tr("Escape"), "escapeEffect:", QKeySequence(Qt::Key_Escape), &Controller::escapeEffect);
    edit->addSeparator();
    addItem(edit, tr("Add to Favourites"), "addFavorites:", QKeySequence(tr("Ctrl+D")), &Controller::addFavoritesAction);

    QMenu *image = menuBar()->addMenu(tr("&Image"));
    addItem(image, tr("Rotate &Left"), "rotateLeft:", QKeySequence(tr("Ctrl+L")), &Controller::rotateLeft);
    addItem(image, tr("Rotate &Right"), "rotateRight:", QKeySequence(tr("Ctrl+R")), &Controller::rotateRight);
    addItem(image, tr("Flip &Horizontal"), "flipHorizont:", QKeySequence(tr("Ctrl+Shift+H")), &Controller::flipHorizont);
    addItem(image, tr("Flip &Vertical"), "flipVert:", QKeySequence(tr("Ctrl+Shift+V")), &Controller::flipVert);
    image->addSeparator();
    addItem(image, QStringLiteral("Resize Image ..."), "resizeImage:", QKeySequence(tr("Ctrl+Shift+R")),
            &Controller::toggleResizePanel); // Resize panel
    image->addSeparator();
    addItem(image, tr("&Apply Effect"), "applyBtn:", QKeySequence(tr("Ctrl+Return")), &Controller::applyBtnAction);

    // Zoom of the 2D canvases. Ctrl++ is typed as Ctrl+Shift+= on most keyboards, so both are bound.
    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *zoomIn = addItem(view, tr("Zoom &In"), "zoomIn:", QKeySequence(tr("Ctrl+=")), &Controller::zoomIn);
    zoomIn->setShortcuts({QKeySequence(tr("Ctrl+=")), QKeySequence(tr("Ctrl++"))});
    addItem(view, tr("Zoom &Out"), "zoomOut:", QKeySequence(tr("Ctrl+-")), &Controller::zoomOut);
    addItem(view, tr("&Fit to Window"), "zoomToFit:", QKeySequence(tr("Ctrl+0")), &Controller::zoomToFit);

    QMenu *mode = menuBar()->addMenu(tr("&Mode"));
    // Tag n picks mode n - 1.
    const char *modeTitles[filtermodes::count] = {QT_TR_NOOP("&Standard Filters"), QT_TR_NOOP("&3D Effects"),
                                                  QT_TR_NOOP("&Custom Effects")};
    for (int tag = 1; tag <= filtermodes::count; ++tag) {
        QAction *item = addItem(mode, tr(modeTitles[tag - 1]), "selectMenuMode:",
                                QKeySequence(QStringLiteral("Ctrl+%1").arg(tag)), nullptr);
        item->setProperty("tag", tag);
        item->setCheckable(true);
        connect(item, &QAction::triggered, c, [c, item] { c->selectMenuMode(item); });
    }

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    addItem(help, tr("Lumetta &Help"), "displayHelp:", QKeySequence::HelpContents, &Controller::displayHelp);
    addItem(help, tr("Visit the Lumetta &Web Site"), "visitSite:", QKeySequence(), &Controller::visitSite);
    help->addSeparator();
    QAction *about = addItem(help, tr("&About Lumetta"), "runAbout:", QKeySequence(), &Controller::runAbout);
    about->setMenuRole(QAction::AboutRole);

    for (QMenu *menu : {file, edit, image, view, mode, help})
        connect(menu, &QMenu::aboutToShow, c, &Controller::validateAllMenuItems);

    // The canvases' context menu.
    auto *context = new QMenu(this);
    for (const char *action : {"copy:", "paste:"})
        context->addAction(menuAction(QString::fromLatin1(action)));
    context->addSeparator();
    for (const char *action : {"rotateLeft:", "rotateRight:", "flipHorizont:", "flipVert:"})
        context->addAction(menuAction(QString::fromLatin1(action)));
    context->addSeparator();
    context->addAction(menuAction(QStringLiteral("applyBtn:")));
    context->addAction(menuAction(QStringLiteral("escapeEffect:")));
    connect(context, &QMenu::aboutToShow, c, &Controller::validateAllMenuItems);
    c->contentMenuOutlet = context;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Not while a save is being written: the prompt would ask about changes being saved right now.
    if (BusyWork::isRunning()) {
        event->ignore();
        return;
    }
    // The close button quits this one-window program: with unsaved changes it runs the quit prompt.
    if (!m_controller->windowShouldClose()) {
        event->ignore();
        return;
    }
    m_controller->windowWillClose();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_controller->windowDidResize();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        // The canvases have their real size only now: fit the start-up image to it.
        m_shown = true;
        m_controller->fitZoomToWindow();
    }
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ThemeChange
        || event->type() == QEvent::ApplicationPaletteChange)
        m_controller->onAppearanceChanged();
}
