// Favourites in the window: adding, applying and dropping from the strip, removing, undo of the
// custom choice, storing at once and reading back after a restart, broken stored records.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "effects/baseeffect.h"
#include "effects/favoritestore.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"
#include "platform/archive.h"
#include "platform/undomanager.h"
#include "platform/userdefaults.h"
#include "widgets/basecoloredbutton.h"
#include "widgets/docpagecontrol.h"
#include "widgets/gradientbutton.h"
#include "widgets/onlytextclosedbutton.h"

#include "../platform/warningcatcher.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

const QStringList favouriteKeys{"EffectsFavorites", "3DEffectsFavorites", "CustomEffectsFavorites"};

class FavoritesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::srand(3);
        for (const QString &key : favouriteKeys)
            defaults().removeObjectForKey(key);
        defaults().synchronize();
        open();
    }
    static UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    // Starts the program again: the window closes (storing the favourites) and a new one reads them.
    void close()
    {
        if (window)
            window->controller()->windowWillClose();
        window.reset();
    }
    void open()
    {
        close();
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
    }
    QList<onlyTextClosedButton *> buttons(int mode) const
    {
        QList<onlyTextClosedButton *> list;
        for (QAbstractButton *b : c->favoritesStrip(mode)->buttons())
            list << qobject_cast<onlyTextClosedButton *>(b);
        return list;
    }
    QStringList tooltips(int mode) const
    {
        QStringList tips;
        for (onlyTextClosedButton *b : buttons(mode))
            tips << b->toolTip();
        return tips;
    }
    void addStandard(const QString &filter, const QString &key = QString(), const QVariant &value = QVariant())
    {
        c->addFilter(filter, 111);
        if (!key.isEmpty())
            c->setFilter(c->getCurrentFilter(), value, key);
        c->addFavorites();
    }
    void addCustom(int row, const QString &key, const QVariant &value)
    {
        c->outlineViewSelectionDidChange_Custom(c->m_customListModel->index(row, 1));
        QVariantMap settings = c->getCurrentCustomEffect()->save();
        settings.insert(key, value);
        c->getCurrentCustomEffect()->read(settings);
        c->addFavoritesCustom();
    }
    int storedCount(int mode) const
    {
        // Another reader of the same file, as the next start of the program or the tool would be.
        UserDefaults other(defaults().fileName());
        const auto list = FavoriteStore::read(other, mode);
        return list ? int(list->size()) : -1;
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

} // namespace

TEST_F(FavoritesTest, ThreeFavouritesOfEachModeComeBackAfterARestartAndApplyTheirValues)
{
    addStandard("CISepiaTone", "inputIntensity", 0.3);
    addStandard("CIGaussianBlur", "inputRadius", 7.0);
    addStandard("CIColorInvert");
    // Written as each was added, not only when the window closes.
    EXPECT_EQ(storedCount(Favorite::Standard), 3);

    c->changeFilterMode(c->customBtn);
    addCustom(1, "linesCount", 321);
    addCustom(5, "opacity", 42.0f);
    addCustom(2, "level", 4);
    EXPECT_EQ(storedCount(Favorite::Custom), 3);
    c->clearAllAndUpdate();

    QList<QImage> pictures[3];
    for (int mode : {Favorite::Standard, Favorite::Custom})
        for (onlyTextClosedButton *b : buttons(mode)) {
            EXPECT_EQ(b->getBackImage().size(), QSize(40, 25));
            pictures[mode] << b->getBackImage();
        }
    const QStringList standardTips = tooltips(Favorite::Standard), customTips = tooltips(Favorite::Custom);
    EXPECT_EQ(standardTips, QStringList({"Sepia Tone", "Gaussian Blur", "Color Invert"}));
    ASSERT_EQ(customTips.size(), 3);
    EXPECT_EQ(customTips[0], c->customPrototypes()[1]->tips());

    open();
    EXPECT_EQ(tooltips(Favorite::Standard), standardTips);
    EXPECT_EQ(tooltips(Favorite::Custom), customTips);
    EXPECT_TRUE(buttons(Favorite::ThreeD).isEmpty());
    for (int mode : {Favorite::Standard, Favorite::Custom})
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(buttons(mode)[i]->getBackImage(), pictures[mode][i]) << mode << " " << i;

    // Each applies its effect with its values.
    c->filterChanged(buttons(Favorite::Standard)[1]);
    ASSERT_TRUE(c->getCurrentFilter());
    EXPECT_EQ(c->getCurrentFilter()->name(), "CIGaussianBlur");
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputRadius").toDouble(), 7.0);
    EXPECT_TRUE(buttons(Favorite::Standard)[1]->isChecked());
    EXPECT_TRUE(c->wasChanged());
    c->filterChanged(buttons(Favorite::Standard)[0]);
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputIntensity").toDouble(), 0.3);
    EXPECT_FALSE(buttons(Favorite::Standard)[1]->isChecked());

    c->changeFilterMode(c->customBtn);
    const QStringList classes{"linesEffect", "plasmaEffect", "hilbertLinesEffect"};
    const QStringList keys{"linesCount", "opacity", "level"};
    const QVariantList values{321, 42.0f, 4};
    for (int i = 0; i < 3; ++i) {
        c->filterChangedCustom(buttons(Favorite::Custom)[i]);
        BaseEffect *working = c->getCurrentCustomEffect();
        ASSERT_NE(working, nullptr);
        EXPECT_EQ(working->metaObject()->className(), classes[i]);
        EXPECT_EQ(working->save().value(keys[i]), values[i]);
        EXPECT_EQ(c->selectedFavorite(Favorite::Custom), buttons(Favorite::Custom)[i]);
    }
}

TEST_F(FavoritesTest, ASecondClickDropsTheEffectAndRemovingTheSelectedOneClearsIt)
{
    addStandard("CISepiaTone", "inputIntensity", 0.8);
    addStandard("CIColorInvert");
    c->clearAllAndUpdate();
    onlyTextClosedButton *sepia = buttons(Favorite::Standard)[0];
    onlyTextClosedButton *invert = buttons(Favorite::Standard)[1];

    // Through a real click, as the user does it.
    sepia->click();
    ASSERT_TRUE(c->getCurrentFilter());
    EXPECT_TRUE(sepia->isChecked());
    sepia->click();
    EXPECT_FALSE(c->getCurrentFilter());
    EXPECT_FALSE(sepia->isChecked());
    EXPECT_FALSE(invert->isChecked());
    EXPECT_EQ(c->selectedFavorite(Favorite::Standard), nullptr);

    // Removing another favourite keeps the effect; removing the selected one clears it.
    sepia->click();
    c->removeFavorites(invert);
    EXPECT_TRUE(c->getCurrentFilter());
    EXPECT_EQ(storedCount(Favorite::Standard), 1);
    sepia->closeButton()->click();
    QCoreApplication::processEvents(); // the close box reports after its own click
    EXPECT_FALSE(c->getCurrentFilter());
    EXPECT_TRUE(c->favoritesOfMode(Favorite::Standard).empty());
    EXPECT_EQ(c->selectedFavorite(Favorite::Standard), nullptr);
    EXPECT_EQ(storedCount(Favorite::Standard), 0);
}

TEST_F(FavoritesTest, NothingToShowMakesNoFavourite)
{
    c->addFavorites(); // no filter
    c->addFilter("CIGlassDistortion", 111);
    c->getCurrentFilter()->setValue(QVariant(), "inputTexture"); // an image input without an image
    ASSERT_TRUE(c->hasMissingImage());
    c->addFavorites();
    c->changeFilterMode(c->customBtn);
    c->addFavoritesCustom(); // no effect
    EXPECT_TRUE(c->favoritesOfMode(Favorite::Standard).empty());
    EXPECT_TRUE(c->favoritesOfMode(Favorite::Custom).empty());
    EXPECT_EQ(storedCount(Favorite::Standard), -1);

    // With a picture in the image input the favourite is made, and keeps that picture.
    c->changeFilterMode(c->standardBtn);
    QImage texture(8, 8, QImage::Format_ARGB32);
    texture.fill(qRgb(200, 10, 10));
    c->getCurrentFilter()->setValue(QVariant::fromValue(imaging::imageFromQImage(texture)), "inputTexture");
    c->addFavorites();
    ASSERT_EQ(c->favoritesOfMode(Favorite::Standard).size(), 1u);
    EXPECT_TRUE(c->favoritesOfMode(Favorite::Standard)[0].favorite->values.contains("inputTexture"));
}

TEST_F(FavoritesTest, AStandardFavouriteIsOneUndoStepAndItsControlsShowItsValues)
{
    addStandard("CIGaussianBlur", "inputRadius", 25.0);
    c->clearAllAndUpdate();
    um->removeAllActions();
    buttons(Favorite::Standard)[0]->click();
    um->closeImplicitGroup();
    const auto blur = c->getCurrentFilter();
    EXPECT_DOUBLE_EQ(blur->value("inputRadius").toDouble(), 25.0);
    // The rebuilt controls show the favourite's radius, not the default.
    bool shown = false;
    for (QLineEdit *field : c->placeCntrlView->findChildren<QLineEdit *>())
        shown = shown || field->text().startsWith("25");
    EXPECT_TRUE(shown);
    um->undo();
    EXPECT_DOUBLE_EQ(blur->value("inputRadius").toDouble(), 10.0);
    EXPECT_FALSE(um->canUndo());
}

TEST_F(FavoritesTest, CustomFavouriteChoicesAreUndoneAndRedone)
{
    c->changeFilterMode(c->customBtn);
    addCustom(1, "linesCount", 100);
    addCustom(5, "opacity", 30.0f);
    c->clearAllAndUpdate();
    um->removeAllActions();
    onlyTextClosedButton *lines = buttons(Favorite::Custom)[0], *plasma = buttons(Favorite::Custom)[1];

    lines->click();
    um->closeImplicitGroup();
    plasma->click();
    um->closeImplicitGroup();
    EXPECT_STREQ(c->getCurrentCustomEffect()->metaObject()->className(), "plasmaEffect");
    um->undo();
    EXPECT_STREQ(c->getCurrentCustomEffect()->metaObject()->className(), "linesEffect");
    EXPECT_TRUE(lines->isChecked());
    EXPECT_FALSE(plasma->isChecked());
    um->undo();
    EXPECT_EQ(c->getCurrentCustomEffect(), nullptr);
    EXPECT_EQ(c->selectedFavorite(Favorite::Custom), nullptr);
    um->redo();
    EXPECT_EQ(c->selectedFavorite(Favorite::Custom), lines);
    // Edits of the working copy never reach the favourite.
    QVariantMap edited = c->getCurrentCustomEffect()->save();
    edited["linesCount"] = 1500;
    c->getCurrentCustomEffect()->read(edited);
    lines->click(); // drop
    lines->click(); // apply again
    EXPECT_EQ(c->getCurrentCustomEffect()->save().value("linesCount").toInt(), 100);
}

TEST_F(FavoritesTest, BrokenStoredFavouritesAreSkippedAndKeptAsTheyWere)
{
    addStandard("CISepiaTone", "inputIntensity", 0.4);
    addStandard("CIColorInvert");
    const QList<QVariantMap> good = *defaults().records("EffectsFavorites");
    QVariantMap truncated = good[0];
    truncated["inputIntensity"] = truncated["inputIntensity"].toByteArray().left(9);
    QVariantMap gone = good[1];
    gone["class"] = Archive::archivedData(QString("CIRetiredFilter"));
    QVariantMap wrongType = good[0];
    wrongType["class"] = Archive::archivedData(3.5);
    QVariantMap noPicture = good[1];
    noPicture["ButtonImage"] = Archive::archivedData(QString("not a picture"));
    const QList<QVariantMap> stored{good[0], truncated, gone, wrongType, noPicture, good[1]};
    close(); // the window writes its own list as it closes
    defaults().setRecords(stored, "EffectsFavorites");
    defaults().synchronize();

    WarningCatcher warnings;
    open();
    EXPECT_EQ(tooltips(Favorite::Standard), QStringList({"Sepia Tone", "Color Invert"}));
    EXPECT_EQ(warnings.messages().filter("skipping standard favourite").size(), 4) << warnings.messages().join("\n").toStdString();
    warnings.clear();

    // A change of the list writes the broken records back untouched, in their places.
    addStandard("CISepiaTone", "inputIntensity", 0.9);
    const QList<QVariantMap> after = *defaults().records("EffectsFavorites");
    ASSERT_EQ(after.size(), 7);
    EXPECT_EQ(after.mid(0, 6), stored);
    buttons(Favorite::Standard)[2]->click();
    EXPECT_DOUBLE_EQ(c->getCurrentFilter()->value("inputIntensity").toDouble(), 0.9);
}

TEST_F(FavoritesTest, TheMenuItemAddsToTheModeInFrontAndIsEnabledOnlyWithAnEffect)
{
    QAction *item = window->menuAction("addFavorites:");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->shortcut().isEmpty());
    EXPECT_FALSE(c->validateMenuItem(item));
    c->changeFilterMode(c->customBtn);
    c->outlineViewSelectionDidChange_Custom(c->m_customListModel->index(0, 1));
    EXPECT_TRUE(c->validateMenuItem(item));
    item->trigger();
    EXPECT_EQ(c->favoritesOfMode(Favorite::Custom).size(), 1u);
    EXPECT_TRUE(c->favoritesOfMode(Favorite::Standard).empty());
}

TEST_F(FavoritesTest, ClosingTheWindowKeepsWhatAnotherProgramStoredMeanwhile)
{
    c->changeFilterMode(c->customBtn);
    addCustom(1, "linesCount", 100);
    // lumetta-cli imports a favourite while the window is open.
    UserDefaults tool(defaults().fileName());
    QList<QVariantMap> records = *tool.records("CustomEffectsFavorites");
    ASSERT_EQ(records.size(), 1);
    tool.setRecords(records + records, "CustomEffectsFavorites");
    ASSERT_TRUE(tool.synchronize());

    open();
    EXPECT_EQ(buttons(Favorite::Custom).size(), 2);
    EXPECT_EQ(storedCount(Favorite::Custom), 2);
}
