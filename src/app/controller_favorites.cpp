// Favourites of the three modes: making one of the current effect, applying and dropping it from its
// button, removing it with the close box, and keeping the lists in the user's settings. Each list
// is written whenever it changes (and again when the window closes), so a crash loses nothing.
#include "app/controller.h"

#include "effects/baseeffect.h"
#include "effects/favorite.h"
#include "effects/favoritestore.h"
#include "platform/undomanager.h"
#include "platform/userdefaults.h"
#include "widgets/docpagecontrol.h"
#include "widgets/onlytextclosedbutton.h"

#include <QDebug>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTreeView>

#include <algorithm>

namespace {

void deselectAllRows(QTreeView *list)
{
    if (list && list->selectionModel())
        list->selectionModel()->clearSelection();
}

// The button picture of a custom effect: its composition painted straight at about twice the
// button's size from the rendering the canvas shows, then smoothed down. Composing the full size
// first would draw and blend millions of pixels on the interface thread for a 40 x 25 picture
// (and draw the whole rendering again where the canvas shows one at its own size).
QImage customButtonPicture(BaseEffect &effect, double canvasZoom)
{
    if (!effect.isInitialised()) {
        // Not painted yet: rendered as the canvas's first paint would render it.
        effect.setDisplayScale(canvasZoom);
        effect.initEffect();
        effect.markInitialised();
    }
    const QSize size = effect.loadedImage().size();
    if (!size.isEmpty()) {
        const QSize small(std::min(size.width(), 2 * Favorite::pictureWidth),
                          std::min(size.height(), 2 * Favorite::pictureHeight));
        QImage picture(small, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        const bool drawn = effect.drawComposition(painter, QRectF(picture.rect()), QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        if (drawn)
            return Favorite::buttonPicture(picture);
    }
    // Nothing rendered (or no picture to render over): what getDrawImage gives, the image itself or
    // a drawing at the small size used without an image.
    return Favorite::buttonPicture(effect.getDrawImage());
}

} // namespace

UserDefaults &Controller::userDefaults() const
{
    return m_userDefaults ? *m_userDefaults : UserDefaults::standardUserDefaults();
}

std::vector<Controller::FavoriteEntry> &Controller::favoritesList(int mode)
{
    return mode == Favorite::ThreeD ? m_favorites3D : mode == Favorite::Custom ? m_favoritesCustom : m_favorites;
}

const std::vector<Controller::FavoriteEntry> &Controller::favoritesOfMode(int mode) const
{
    return mode == Favorite::ThreeD ? m_favorites3D : mode == Favorite::Custom ? m_favoritesCustom : m_favorites;
}

QPointer<onlyTextClosedButton> &Controller::selectedFavoriteRef(int mode)
{
    return mode == Favorite::ThreeD ? m_selectes_FavBtn3D
         : mode == Favorite::Custom ? m_selectes_FavBtnCustom
                                    : m_selectes_FavBtn;
}

onlyTextClosedButton *Controller::selectedFavorite(int mode) const
{
    return mode == Favorite::ThreeD ? m_selectes_FavBtn3D
         : mode == Favorite::Custom ? m_selectes_FavBtnCustom
                                    : m_selectes_FavBtn;
}

DocPageControl *Controller::favoritesStrip(int mode) const
{
    return mode == Favorite::ThreeD ? m_page3DController
         : mode == Favorite::Custom ? m_pageCustomController
                                    : m_pageController;
}

BaseEffect *Controller::prototypeNamed(int mode, const QString &className) const
{
    const std::vector<BaseEffect *> prototypes = mode == Favorite::ThreeD
        ? std::vector<BaseEffect *>{eval3DEffect.get(), object3DEffect.get()}
        : customPrototypes();
    for (BaseEffect *effect : prototypes)
        if (effect && className == QLatin1String(effect->metaObject()->className()))
            return effect;
    return nullptr;
}

// Adding

void Controller::addFavorites() { addFavoriteOfMode(Favorite::Standard); }
void Controller::addFavorites3D() { addFavoriteOfMode(Favorite::ThreeD); }
void Controller::addFavoritesCustom() { addFavoriteOfMode(Favorite::Custom); }

void Controller::addFavoritesAction()
{
    addFavoriteOfMode(filerMode());
}

void Controller::addFavoriteOfMode(int mode)
{
    Favorite favorite;
    favorite.mode = mode;
    std::shared_ptr<BaseEffect> effect;
    if (mode == Favorite::Standard) {
        if (!currentFilter)
            return;
        // A filter without a picture (an image input still empty) makes no favourite.
        favorite.picture = Favorite::buttonPicture(coreImageResult(false));
        favorite.className = currentFilter->name();
        favorite.toolTipName = currentFilter->attributes().value(imaging::kCIAttributeFilterDisplayName).toString();
        for (const QString &key : currentFilter->inputKeys()) {
            const QVariant value = currentFilter->value(key);
            if (!value.isValid())
                continue;
            // An image input that holds the current image follows the image the favourite is applied
            // to, as a newly chosen filter does; only other pictures are part of the favourite.
            if (value.metaType() == QMetaType::fromType<imaging::Image>()
                && value.value<imaging::Image>() == backgroundImage)
                continue;
            favorite.values.insert(key, value);
        }
    } else {
        BaseEffect *current = mode == Favorite::ThreeD ? current3DEffect.get() : currentCustomEffect.get();
        if (!current)
            return;
        favorite.picture = mode == Favorite::ThreeD ? Favorite::buttonPicture(threeDPicture())
                                                    : customButtonPicture(*current, customCanvasZoom());
        favorite.className = QString::fromLatin1(current->metaObject()->className());
        favorite.toolTipName = current->tips();
        favorite.values = current->save();
        effect = current->mycopy();
    }
    if (favorite.picture.isNull())
        return;
    QString error;
    if (!favorite.check(&error)) {
        qWarning().noquote() << "Favourites: cannot keep this" << Favorite::modeName(mode) << "favourite:" << error;
        return;
    }

    FavoriteEntry entry;
    entry.stored = favorite.storedRecord();
    entry.favorite = std::move(favorite);
    entry.effect = std::move(effect);
    std::vector<FavoriteEntry> &list = favoritesList(mode);
    list.push_back(std::move(entry));
    showFavorite(mode, list.back());
    storeFavorites(mode);
    // The new favourite is not selected, and the document is not changed by it.
}

void Controller::showFavorite(int mode, FavoriteEntry &entry)
{
    DocPageControl *strip = favoritesStrip(mode);
    if (!strip || !entry.favorite)
        return;
    auto *button = new onlyTextClosedButton;
    button->setToolTip(entry.favorite->toolTipName);
    button->addBackImage(entry.favorite->picture);
    button->setController(this);
    QPointer<onlyTextClosedButton> guard(button);
    connect(button, &QAbstractButton::clicked, this, [this, mode, guard](bool checked) {
        if (!guard)
            return;
        // The controller decides which favourite is on: undo the button's own toggle first.
        guard->setChecked(!checked);
        switch (mode) {
        case Favorite::Standard: filterChanged(guard); break;
        case Favorite::ThreeD: filterChanged3D(guard); break;
        default: filterChangedCustom(guard); break;
        }
    });
    strip->addItem(button, nullptr);
    button->addCloseBtn();
    entry.button = button;
}

// Applying and dropping

void Controller::filterChanged(onlyTextClosedButton *button) { chooseFavorite(Favorite::Standard, button); }
void Controller::filterChanged3D(onlyTextClosedButton *button) { chooseFavorite(Favorite::ThreeD, button); }

void Controller::filterChangedCustom(onlyTextClosedButton *button)
{
    // Undo goes back to the favourite chosen before (or to none); undoing registers the way back.
    if (UndoManager *um = undoManager()) {
        QPointer<onlyTextClosedButton> previous = m_selectes_FavBtnCustom;
        um->registerUndo(this, [this, previous] { filterChangedCustom(previous); });
    }
    chooseFavorite(Favorite::Custom, button);
}

void Controller::chooseFavorite(int mode, onlyTextClosedButton *button)
{
    QPointer<onlyTextClosedButton> &selected = selectedFavoriteRef(mode);
    // A second click on the selected favourite drops its effect.
    if (button && button == selected) {
        button->setChecked(false);
        clearAll();
        selected = nullptr;
        updateView();
        updateMainBtnState();
        return;
    }
    if (selected)
        selected->setChecked(false);
    // Deselecting the list's row lets its handler drop the effect chosen there.
    deselectAllRows(mode == Favorite::ThreeD ? filter3DOutlineView
                    : mode == Favorite::Custom ? filterCustomOutlineView
                                               : listView);
    if (!button) {
        clearAll();
        updateView();
        updateMainBtnState();
        return;
    }
    if (mode == Favorite::Standard)
        selected = button;

    std::vector<FavoriteEntry> &list = favoritesList(mode);
    const auto entry = std::find_if(list.begin(), list.end(),
                                    [button](const FavoriteEntry &e) { return e.button == button && e.favorite; });
    if (entry == list.end()) {
        updateView();
        updateMainBtnState();
        return;
    }

    if (mode == Favorite::Standard) {
        clearControls();
        addFilter(entry->favorite->className, 0);
        // The stored values in the filter's own order, each undoable (together one step, as one
        // click). The controls were built with the defaults: they are built again to show these.
        if (currentFilter) {
            const std::shared_ptr<imaging::Filter> filter = currentFilter;
            for (const QString &key : filter->inputKeys())
                if (entry->favorite->values.contains(key))
                    setFilter(filter, entry->favorite->values.value(key), key);
            clearControls();
            updateFilterControls(0);
        }
    } else {
        std::unique_ptr<BaseEffect> &current = mode == Favorite::ThreeD ? current3DEffect : currentCustomEffect;
        if (current) {
            current->clearEffect();
            current.reset();
        }
        current = entry->effect->mycopy();
        current->setUpControlsView();
        selected = button;
    }

    if (DocPageControl *strip = favoritesStrip(mode))
        strip->adjustVisibility(button->x() / std::max(1, strip->horizontalPageScroll()));
    button->setChecked(true);
    setWasChanged(true);
    updateView();
    updateMainBtnState();
}

// Removing

void Controller::removeFavorites(onlyTextClosedButton *button) { removeFavoriteOfMode(Favorite::Standard, button); }
void Controller::removeFavorites3D(onlyTextClosedButton *button) { removeFavoriteOfMode(Favorite::ThreeD, button); }
void Controller::removeFavoritesCustom(onlyTextClosedButton *button) { removeFavoriteOfMode(Favorite::Custom, button); }

void Controller::removeFavoriteOfMode(int mode, onlyTextClosedButton *button)
{
    std::vector<FavoriteEntry> &list = favoritesList(mode);
    const auto entry = std::find_if(list.begin(), list.end(),
                                    [button](const FavoriteEntry &e) { return button && e.button == button; });
    if (entry == list.end())
        return;
    if (button == selectedFavorite(mode))
        clearAll();
    if (DocPageControl *strip = favoritesStrip(mode))
        strip->removeItem(button);
    list.erase(entry);
    updateView();
    if (list.empty())
        selectedFavoriteRef(mode) = nullptr;
    storeFavorites(mode);
    updateMainBtnState();
}

// Storing and reading

void Controller::storeFavorites(int mode)
{
    QList<QVariantMap> records;
    for (const FavoriteEntry &entry : favoritesList(mode))
        records.append(entry.stored);
    const bool written = FavoriteStore::write(userDefaults(), mode, records);
    m_favoritesUnwritten[mode] = !written;
    if (!written)
        qWarning().noquote() << "Favourites: could not write the" << Favorite::modeName(mode) << "favourites to"
                             << userDefaults().fileName();
}

void Controller::saveFavoritesCI() { storeFavorites(Favorite::Standard); }
void Controller::saveFavorites3D() { storeFavorites(Favorite::ThreeD); }
void Controller::saveFavoritesCustom() { storeFavorites(Favorite::Custom); }

void Controller::saveFavorites()
{
    // Every change is written at once, so only a list whose write failed is written again here.
    // Rewriting the others would undo what lumetta-cli imported while the window was open.
    if (m_favoritesUnwritten[Favorite::Standard])
        saveFavoritesCI();
    if (m_favoritesUnwritten[Favorite::ThreeD])
        saveFavorites3D();
    if (m_favoritesUnwritten[Favorite::Custom])
        saveFavoritesCustom();
}

void Controller::readFavoritesOfMode(int mode)
{
    const auto stored = FavoriteStore::read(userDefaults(), mode);
    if (!stored)
        return;
    if (DocPageControl *strip = favoritesStrip(mode))
        strip->clear();
    selectedFavoriteRef(mode) = nullptr;
    std::vector<FavoriteEntry> &list = favoritesList(mode);
    list.clear();
    list.reserve(stored->size());
    for (const StoredFavorite &item : *stored) {
        FavoriteEntry entry;
        entry.stored = item.record;
        entry.favorite = item.favorite;
        if (entry.favorite && mode != Favorite::Standard) {
            BaseEffect *prototype = prototypeNamed(mode, entry.favorite->className);
            if (prototype) {
                entry.effect = prototype->mycopy();
                entry.effect->read(entry.favorite->values);
            } else {
                entry.favorite.reset(); // the effect exists in the catalogue but not in this window
            }
        }
        list.push_back(std::move(entry));
        showFavorite(mode, list.back());
    }
}

void Controller::readFavoritesCI() { readFavoritesOfMode(Favorite::Standard); }
void Controller::readFavorites3D() { readFavoritesOfMode(Favorite::ThreeD); }
void Controller::readFavoritesCustom() { readFavoritesOfMode(Favorite::Custom); }

void Controller::readFavorites()
{
    readFavoritesCI();
    readFavorites3D();
    readFavoritesCustom();
}
