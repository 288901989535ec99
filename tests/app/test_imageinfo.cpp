// The image information panel, told by the controller about each new file, and the files named
// when the program starts.
#include "eventually.h"
#include "app/controller.h"
#include "app/imageinfo.h"
#include "app/mainwindow.h"
#include "platform/undomanager.h"
#include "app/startupfiles.h"
#include "widgets/dovalert.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace {

const QString fixture = QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/exif_cat.jpg");

class ImageInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        panel = qobject_cast<ImageInfo *>(c->infoPanel);
        ASSERT_NE(panel, nullptr);
        ASSERT_EQ(ImageInfo::sharedPanel(), panel);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { DovAlert::setResponder(nullptr); }

    // The names of the rows under `parent`, top to bottom.
    QStringList rowNames(const QModelIndex &parent = QModelIndex()) const
    {
        QStringList names;
        for (int r = 0; r < panel->mTree->rowCount(parent); ++r)
            names << panel->mTree->index(r, 0, parent).data().toString();
        return names;
    }
    QModelIndex row(const QString &name, const QModelIndex &parent = QModelIndex()) const
    {
        const int r = int(rowNames(parent).indexOf(name));
        return r < 0 ? QModelIndex() : panel->mTree->index(r, 0, parent);
    }
    QString imageSize() const
    {
        const imaging::Rect e = c->backImage().extent();
        return QStringLiteral("%1x%2").arg(e.width()).arg(e.height());
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    ImageInfo *panel = nullptr;
    QTemporaryDir dir;
};

} // namespace

TEST_F(ImageInfoTest, OpeningAFileShowsItsPropertiesExpandedAndSortedShortlyAfter)
{
    EXPECT_EQ(panel->mFilePath->text(), "n/a");
    ASSERT_TRUE(c->openFile(fixture));
    // The panel follows after the current event, not within it.
    EXPECT_EQ(panel->mFilePath->text(), "n/a");
    EXPECT_EVENTUALLY(panel->mFilePath->text() == fixture);
    EXPECT_EQ(panel->mFileType->text(), "JPG Image");
    EXPECT_EQ(panel->mFileSize->text(), QStringLiteral("%1 bytes").arg(QFileInfo(fixture).size()));

    EXPECT_EQ(rowNames(), QStringList({"Color Model", "Depth", "Has Alpha", "Orientation", "Pixel Height",
                                       "Pixel Width", "Exif", "IPTC", "XMP"}));
    const QModelIndex exif = row("Exif");
    EXPECT_EQ(rowNames(exif), QStringList({"GPS Info", "Image", "Photo"}));
    const QModelIndex photo = row("Photo", exif);
    const QModelIndex exposure = row("Exposure Time", photo);
    ASSERT_TRUE(exposure.isValid());
    EXPECT_EQ(exposure.siblingAtColumn(1).data().toString(), "1/125 s");
    EXPECT_EQ(row("F Number", photo).siblingAtColumn(1).data().toString(), "f/2.8");
    // Every group is open, nested ones too, and nothing is selected.
    EXPECT_TRUE(panel->mOView->isExpanded(exif));
    EXPECT_TRUE(panel->mOView->isExpanded(photo));
    EXPECT_TRUE(panel->mOView->isExpanded(row("Dublin Core schema", row("XMP"))));
    EXPECT_FALSE(panel->mOView->selectionModel()->hasSelection());

    // An image from no file (a paste, say) shows nothing.
    c->setFilePath(QString());
    EXPECT_EVENTUALLY(panel->mFilePath->text() == QString("n/a"));
    EXPECT_EQ(panel->mFileType->text(), "n/a");
    EXPECT_EQ(panel->mTree->rowCount(), 0);
}

TEST_F(ImageInfoTest, TheSameFileTwiceKeepsTheTreeUntilTheFileChangesOnDisk)
{
    const QString path = dir.filePath("photo.jpg");
    ASSERT_TRUE(QFile::copy(fixture, path));
    panel->setMyURL(path);
    const QModelIndex exif = row("Exif");
    QStandardItem *first = panel->mTree->itemFromIndex(exif);
    panel->mOView->collapse(exif);
    panel->mOView->setCurrentIndex(exif);

    panel->setMyURL(path);
    EXPECT_EQ(panel->mTree->itemFromIndex(row("Exif")), first);
    EXPECT_FALSE(panel->mOView->isExpanded(row("Exif")));
    EXPECT_TRUE(panel->mOView->selectionModel()->hasSelection());

    // Saved over with another picture: the same path is read again.
    QImage other(7, 5, QImage::Format_RGB32);
    other.fill(Qt::red);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(other.save(path, "PNG"));
    panel->setMyURL(path);
    EXPECT_EQ(panel->mFileType->text(), "PNG Image");
    EXPECT_EQ(row("Pixel Width").siblingAtColumn(1).data().toString(), "7");
    EXPECT_FALSE(row("Exif").isValid());
}

TEST_F(ImageInfoTest, AnUnreadableFileShowsItsPathWithTypeAndSizeNotAvailable)
{
    panel->setMyURL(fixture);
    ASSERT_GT(panel->mTree->rowCount(), 0);
    const QString text = dir.filePath("notes.png");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();

    panel->setMyURL(text);
    EXPECT_EQ(panel->mFilePath->text(), text);
    EXPECT_EQ(panel->mFileType->text(), "n/a");
    EXPECT_EQ(panel->mFileSize->text(), "n/a");
    EXPECT_EQ(panel->mTree->rowCount(), 0);
}

TEST_F(ImageInfoTest, MenuItemIsEnabledTogglesThePanelAndShowsItsState)
{
    QAction *item = window->menuAction(QStringLiteral("showInfoPanel:"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Image Information ...");
    c->validateAllMenuItems();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());

    item->trigger();
    EXPECT_TRUE(panel->isVisible());
    c->validateAllMenuItems();
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    EXPECT_FALSE(panel->isVisible());
    c->validateAllMenuItems();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
}

TEST_F(ImageInfoTest, StartupOpensTheFirstFileNamedAsPathOrUrl)
{
    const QString second = dir.filePath("second.png");
    QImage picture(9, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(second));

    EXPECT_TRUE(openStartupFiles(*c, {fixture, second}));
    EXPECT_EQ(c->getFilePath(), fixture);
    EXPECT_EQ(imageSize(), "120x80");
    // The session starts with the file: Undo does not bring back the start-up picture.
    EXPECT_FALSE(window->undoManager()->canUndo());
    EXPECT_EVENTUALLY(panel->mFilePath->text() == fixture);

    EXPECT_TRUE(openStartupFiles(*c, {QUrl::fromLocalFile(second).toString()}));
    EXPECT_EQ(c->getFilePath(), second);
    EXPECT_EQ(imageSize(), "9x4");
    EXPECT_FALSE(openStartupFiles(*c, {}));
}

TEST_F(ImageInfoTest, AnUnreadableStartupFileKeepsTheStartupImageAndSaysWhy)
{
    const QString startup = imageSize();
    QString message, text;
    DovAlert::setResponder([&](const DovAlert &alert) {
        message = alert.message();
        text = alert.text();
        return 1;
    });
    // A pipe would make a plain read wait for a writer for ever; a folder holds no picture.
    const QString fifo = dir.filePath("pipe.jpg");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {dir.filePath("missing.jpg"), fifo, dir.path()}) {
        SCOPED_TRACE(path.toStdString());
        message.clear();
        text.clear();
        EXPECT_FALSE(openStartupFiles(*c, {path}));
        EXPECT_EQ(imageSize(), startup);
        EXPECT_TRUE(c->getFilePath().isEmpty());
        // Which file, and why.
        EXPECT_TRUE(message.contains(QFileInfo(path).fileName())) << message.toStdString();
        EXPECT_FALSE(text.trimmed().isEmpty());
    }
}
