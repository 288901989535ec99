// Opening, re-saving and Save As through the controller: target paths, the replace question,
// the failure alert, the changed flag, the quit-after-save flag and unreadable files.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"
#include "platform/undomanager.h"
#include "widgets/dovalert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString failedMessage = QStringLiteral("Couldn't save file.");
const QString replaceMessage = QStringLiteral("Do you want to replace an existing file?");

class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        Controller::setQuitAfterSave(false);
        answerAlerts(1);
    }
    void TearDown() override
    {
        DovAlert::setResponder(nullptr);
        Controller::setQuitAfterSave(false);
    }

    // Every alert is answered with `answer`; the messages are kept in `alerts`.
    void answerAlerts(int answer)
    {
        DovAlert::setResponder([this, answer](const DovAlert &alert) {
            alerts << alert.message();
            if (alert.message() == failedMessage)
                failedText = alert.text();
            return answer;
        });
    }

    static QImage picture(int w, int h)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
        return image;
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QFileDialog *openDialog() const
    {
        const auto dialogs = window->findChildren<QFileDialog *>();
        return dialogs.isEmpty() ? nullptr : dialogs.last();
    }

    void closeDialogs()
    {
        for (QFileDialog *d : window->findChildren<QFileDialog *>())
            d->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
    QStringList alerts;
    QString failedText;
    QTemporaryDir dir;
};

TEST_F(FilesTest, SaveAsSetsTheExtensionAndKeepsTheFoldersCase)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("Pictures/Mixed"));
    c->setBackgroundImage(imaging::imageFromQImage(picture(30, 20)));
    c->setWasChanged(true);

    c->savePanelDidEnd(1, dir.filePath("Pictures/Mixed/Sky"), ImageFiles::PNG);
    const QString written = dir.filePath("Pictures/Mixed/Sky.png");
    EXPECT_EQ(c->getFilePath(), written);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Lumetta::Sky.png"));
    EXPECT_FALSE(c->wasChanged());
    EXPECT_EQ(ImageFiles::readImageFile(written).size(), QSize(30, 20));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(c->formatType(), ImageFiles::PNG);

    // A chosen extension is replaced by the format's own.
    c->savePanelDidEnd(1, dir.filePath("Pictures/Mixed/Other.JPG"), ImageFiles::JPEG2000);
    EXPECT_TRUE(ImageFiles::isJpeg2000(contents(dir.filePath("Pictures/Mixed/Other.jpeg-2000"))));
    EXPECT_FALSE(QFile::exists(dir.filePath("Pictures/Mixed/Other.JPG")));
}

TEST_F(FilesTest, TheSaveDialogOffersTheLastFormatAndWritesTheChoice)
{
    c->setBackgroundImage(imaging::imageFromQImage(picture(12, 9)));
    c->saveImgAs();
    QFileDialog *dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save Image As:"));
    EXPECT_EQ(dialog->nameFilters(), Controller::initExportFormats());
    EXPECT_EQ(dialog->nameFilters().size(), 8);
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("JPEG (*.jpeg)")); // first save of the run

    dialog->selectNameFilter(QStringLiteral("GIF (*.gif)"));
    dialog->selectFile(dir.filePath("chosen"));
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, as the Save button calls it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(contents(dir.filePath("chosen.gif")).startsWith("GIF8"));
    EXPECT_EQ(c->formatType(), ImageFiles::GIF);

    c->saveImgAs();
    dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("GIF (*.gif)"));
    closeDialogs();
}

TEST_F(FilesTest, EveryFormatSavedReopensAtTheSameSize)
{
    c->setBackgroundImage(imaging::imageFromQImage(picture(41, 23)));
    for (int format = 0; format < ImageFiles::FormatCount; ++format) {
        SCOPED_TRACE(ImageFiles::exportFormatName(format).toStdString());
        c->savePanelDidEnd(1, dir.filePath("round"), format);
        const QString path = c->getFilePath();
        EXPECT_TRUE(path.endsWith("round." + ImageFiles::exportFormatName(format).toLower()));
        if (format == ImageFiles::PDF) {
            EXPECT_TRUE(contents(path).startsWith("%PDF"));
            continue;
        }
        c->setBackgroundImage(imaging::imageFromQImage(picture(5, 5)));
        ASSERT_TRUE(c->openFile(path));
        EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 41, 23));
    }
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(FilesTest, TheReplaceQuestionGuardsExistingFiles)
{
    const QString target = dir.filePath("existing.png");
    put(target, "old");
    c->setWasChanged(true);
    answerAlerts(2); // Cancel
    c->savePanelDidEnd(1, dir.filePath("existing"), ImageFiles::PNG);
    EXPECT_EQ(alerts, QStringList{replaceMessage});
    EXPECT_EQ(contents(target), QByteArray("old"));
    EXPECT_TRUE(c->wasChanged());
    EXPECT_TRUE(c->getFilePath().isEmpty());

    alerts.clear();
    answerAlerts(1); // OK: replaced
    c->savePanelDidEnd(1, dir.filePath("existing"), ImageFiles::PNG);
    EXPECT_EQ(alerts, QStringList{replaceMessage});
    EXPECT_TRUE(contents(target).startsWith("\x89PNG"));
    EXPECT_FALSE(c->wasChanged());
}

TEST_F(FilesTest, ResaveWritesTheFormatOfTheExtension)
{
    // photo.JPEG: the extension names a format, whatever its case.
    const QString jpeg = dir.filePath("photo.JPEG");
    put(jpeg, "old");
    c->setFilePath(jpeg);
    c->setWasChanged(true);
    c->saveImg();
    EXPECT_EQ(alerts, QStringList{replaceMessage});
    EXPECT_TRUE(contents(jpeg).startsWith("\xFF\xD8\xFF"));
    EXPECT_FALSE(c->wasChanged());

    // photo.jpg: "jpg" is no format name, so the save fails with the alert and nothing changes.
    const QString jpg = dir.filePath("photo.jpg");
    put(jpg, "old");
    c->setFilePath(jpg);
    c->setWasChanged(true);
    alerts.clear();
    c->saveImg();
    EXPECT_EQ(alerts, (QStringList{replaceMessage, failedMessage}));
    EXPECT_EQ(failedText, QStringLiteral("File I/O error occured."));
    EXPECT_EQ(contents(jpg), QByteArray("old"));
    EXPECT_TRUE(c->wasChanged());

    // Cancel in the replace question: nothing written, no alert, still unsaved.
    c->setFilePath(jpeg);
    put(jpeg, "old");
    alerts.clear();
    answerAlerts(2);
    c->saveImg();
    EXPECT_EQ(alerts, QStringList{replaceMessage});
    EXPECT_EQ(contents(jpeg), QByteArray("old"));
    EXPECT_TRUE(c->wasChanged());
}

TEST_F(FilesTest, AFailedWriteAlertsAndKeepsTheOldFile)
{
    // A folder we may not write into. Permissions do not bind the superuser, so that part of
    // the check only runs where they do.
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    const QString old = locked + "/picture.png";
    put(old, "old");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool enforced = !QFile(locked + "/probe").open(QIODevice::WriteOnly);
    QFile::remove(locked + "/probe");

    // A "folder" that is really a file fails for everyone.
    const QString blocker = dir.filePath("blocker");
    put(blocker, "file");
    for (const QString &path : enforced ? QStringList{old, blocker + "/picture.png"} : QStringList{blocker + "/picture.png"}) {
        SCOPED_TRACE(path.toStdString());
        alerts.clear();
        c->setFilePath(path);
        c->setWasChanged(true);
        c->saveImg();
        EXPECT_TRUE(alerts.contains(failedMessage));
        EXPECT_TRUE(c->wasChanged()) << "the changed flag must survive a failed save";
    }
    EXPECT_EQ(contents(old), QByteArray("old"));

    // Through the save dialog: the alert too, and the file path is not taken over.
    alerts.clear();
    c->setFilePath(QString());
    c->savePanelDidEnd(1, blocker + "/picture", ImageFiles::TIFF);
    EXPECT_EQ(alerts, QStringList{failedMessage});
    EXPECT_TRUE(c->getFilePath().isEmpty());
    EXPECT_TRUE(c->wasChanged());
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FilesTest, APendingQuitIsDroppedWhenTheSaveDoesNotHappen)
{
    c->setWasChanged(true);
    // Cancel in the save dialog: quitting now would lose the changes, so the next quit asks again.
    Controller::setQuitAfterSave(true);
    c->savePanelDidEnd(0, QString(), 0);
    EXPECT_FALSE(Controller::quitAfterSave());

    // A failed write from the dialog.
    put(dir.filePath("blocker"), "file");
    Controller::setQuitAfterSave(true);
    c->savePanelDidEnd(1, dir.filePath("blocker/x"), ImageFiles::PNG);
    EXPECT_FALSE(Controller::quitAfterSave());

    // Cancel in the replace question of a re-save.
    const QString path = dir.filePath("again.png");
    put(path, "old");
    c->setFilePath(path);
    answerAlerts(2);
    Controller::setQuitAfterSave(true);
    c->saveImg();
    EXPECT_FALSE(Controller::quitAfterSave());
    EXPECT_EQ(contents(path), QByteArray("old"));

    // A successful save keeps it (the application then quits).
    answerAlerts(1);
    Controller::setQuitAfterSave(true);
    c->saveImg();
    EXPECT_TRUE(Controller::quitAfterSave());
    EXPECT_FALSE(c->wasChanged());
}

TEST_F(FilesTest, UnreadableFilesKeepTheCurrentImageAndTitle)
{
    ASSERT_TRUE(c->openFile(QStringLiteral(LUMETTA_TEST_DATA "/rocket.jpg")));
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 640, 427));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Lumetta::rocket.jpg"));
    const imaging::Image before = c->backImage();

    const QString corrupt = dir.filePath("corrupt.png");
    QByteArray bytes = ImageFiles::encodeImage(picture(50, 50), ImageFiles::PNG);
    bytes[20] = char(0x7F); // width field of the header: the checksum no longer matches
    put(corrupt, bytes);
    const QString halfJpeg = dir.filePath("half.jpeg");
    put(halfJpeg, ImageFiles::encodeImage(picture(200, 200), ImageFiles::JPEG).left(600));
    for (const QString &path : {QStringLiteral(LUMETTA_TEST_DATA "/truncated.jpg"), corrupt, halfJpeg,
                                dir.filePath("missing.png")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(c->openFile(path));
        EXPECT_TRUE(c->backImage() == before);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Lumetta::rocket.jpg"));
    }
    // The open dialog's completion: only OK with a file opens.
    c->openImgPanelDidEnd(0, {QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")});
    EXPECT_TRUE(c->backImage() == before);
    c->openImgPanelDidEnd(1, {QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")});
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 451, 300));
    um->closeImplicitGroup();
    EXPECT_FALSE(um->canUndo()); // opening records no undo step
}

TEST_F(FilesTest, SavingWritesTheFilteredResultWithoutTheBackdrop)
{
    QImage solid(100, 100, QImage::Format_ARGB32_Premultiplied);
    solid.fill(Qt::white);
    c->setBackgroundImage(imaging::imageFromQImage(solid));
    c->addFilter(QStringLiteral("CIGaussianBlur"), 111);
    ASSERT_TRUE(c->getCurrentFilter());
    c->savePanelDidEnd(1, dir.filePath("blurred"), ImageFiles::PNG);
    const QImage saved = ImageFiles::readImageFile(dir.filePath("blurred.png")).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(saved.isNull());
    EXPECT_GE(saved.width(), 100);
    EXPECT_GE(saved.height(), 100);
    // The blur softens the edge into transparency (not into the canvas's black), and the
    // middle stays white.
    EXPECT_LT(qAlpha(saved.pixel(0, 0)), 200);
    EXPECT_GT(qGray(saved.pixel(0, 0)), 200);
    EXPECT_EQ(saved.pixel(saved.width() / 2, saved.height() / 2), qRgb(255, 255, 255));

    // Opening keeps the filter active.
    ASSERT_TRUE(c->openFile(QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")));
    EXPECT_TRUE(c->getCurrentFilter());
}

TEST_F(FilesTest, PicturesOfTheCurrentImage)
{
    QImage source = picture(16, 8);
    source.setPixel(0, 0, qRgb(255, 0, 0)); // top left
    c->setBackgroundImage(imaging::imageFromQImage(source));
    EXPECT_EQ(c->getImage(false).pixel(0, 0), qRgb(255, 0, 0));
    // Flipped and the texture form: bottom row first.
    EXPECT_EQ(c->getImage(true).pixel(0, 7), qRgb(255, 0, 0));
    const QImage texture = c->getCGImage();
    EXPECT_EQ(texture.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(texture.pixel(0, 7), qRgb(255, 0, 0));
    EXPECT_EQ(c->createObjectImage().size(), QSize(16, 8));
    EXPECT_EQ(c->getBgImageExtent(), imaging::Rect(0, 0, 16, 8));
}

} // namespace
