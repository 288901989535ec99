// Opening, re-saving and Save As through the controller: target paths, the replace question,
// the failure alert, the changed flag, the quit-after-save flag and unreadable files.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"
#include "platform/undomanager.h"
#include "widgets/dovalert.h"
#include "apptestsupport.h"

#include <QCoreApplication>
#include <QCursor>
#include <QTimer>
#include <QElapsedTimer>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

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
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::Sky.png"));
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

TEST_F(FilesTest, ResaveWritesTheFormatTheExtensionNames)
{
    // Every usual extension, in any letter case, writes its format over the file.
    const std::vector<std::pair<const char *, QByteArray>> cases{
        {"photo.jpg", "\xFF\xD8\xFF"}, {"photo.JPG", "\xFF\xD8\xFF"}, {"photo.JPEG", "\xFF\xD8\xFF"},
        {"photo.jpe", "\xFF\xD8\xFF"}, {"scan.tif", "II*"}, {"scan.TIFF", "II*"}, {"pic.PNG", "\x89PNG"},
        {"anim.gif", "GIF8"}, {"old.bmp", "BM"}, {"big.jp2", QByteArray("\0\0\0\x0CjP  ", 8)},
        {"big.J2K", QByteArray("\0\0\0\x0CjP  ", 8)}, {"page.pdf", "%PDF"}};
    for (const auto &[name, magic] : cases) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        put(path, "old");
        c->setFilePath(path);
        c->setWasChanged(true);
        alerts.clear();
        c->saveImg();
        EXPECT_EQ(alerts, QStringList{replaceMessage});
        EXPECT_TRUE(contents(path).startsWith(magic)) << contents(path).left(8).toHex().toStdString();
        EXPECT_FALSE(c->wasChanged());
    }

    // An extension that names no writable format fails with the alert and leaves the file alone.
    const QString odd = dir.filePath("notes.xyz");
    put(odd, "old");
    c->setFilePath(odd);
    c->setWasChanged(true);
    alerts.clear();
    c->saveImg();
    EXPECT_EQ(alerts, (QStringList{replaceMessage, failedMessage}));
    EXPECT_EQ(failedText, QStringLiteral("File I/O error occured."));
    EXPECT_EQ(contents(odd), QByteArray("old"));
    EXPECT_TRUE(c->wasChanged());

    // Cancel in the replace question: nothing written, no alert, still unsaved.
    const QString jpeg = dir.filePath("photo.jpg");
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

TEST_F(FilesTest, UnreadableFilesAreNamedInAnAlertAndChangeNothing)
{
    const QString good = dir.filePath("good.png");
    ASSERT_TRUE(ImageFiles::writeImageFile(picture(64, 40), good));
    ASSERT_TRUE(c->openFile(good));
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 64, 40));
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::good.png"));
    const imaging::Image before = c->backImage();

    const QString corrupt = dir.filePath("corrupt.png");
    QByteArray bytes = ImageFiles::encodeImage(picture(50, 50), ImageFiles::PNG);
    bytes[20] = char(0x7F); // width field of the header: the checksum no longer matches
    put(corrupt, bytes);
    const QString halfJpeg = dir.filePath("half.jpeg");
    put(halfJpeg, ImageFiles::encodeImage(picture(200, 200), ImageFiles::JPEG).left(600));
    const QString text = dir.filePath("notes.png");
    put(text, "these are words, not a picture\n");
    QStringList texts;
    DovAlert::setResponder([&](const DovAlert &alert) {
        alerts << alert.message();
        texts << alert.text();
        return 1;
    });
    for (const QString &path : {QStringLiteral(LUMETTA_TEST_DATA "/truncated.jpg"), corrupt, halfJpeg, text,
                                dir.filePath("missing.png")}) {
        SCOPED_TRACE(path.toStdString());
        alerts.clear();
        texts.clear();
        EXPECT_FALSE(c->openFile(path));
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].contains(QFileInfo(path).fileName())) << alerts[0].toStdString();
        EXPECT_FALSE(texts[0].isEmpty());
        EXPECT_TRUE(c->backImage() == before);
        EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::good.png"));
        EXPECT_EQ(c->getFilePath(), good);
    }
    // The same for a dropped file.
    alerts.clear();
    c->openDroppedFile(text);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(c->backImage() == before);
    EXPECT_EQ(c->getFilePath(), good);

    // The open dialog's completion: only OK with a file opens.
    answerAlerts(1);
    c->openImgPanelDidEnd(0, {QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")});
    EXPECT_TRUE(c->backImage() == before);
    c->openImgPanelDidEnd(1, {QStringLiteral(LUMETTA_TEST_DATA "/chelsea.png")});
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 451, 300));
}

TEST_F(FilesTest, UndoAfterOpenBringsBackThePictureWithItsOwnFile)
{
    const QString first = dir.filePath("first.png");
    const QString second = dir.filePath("second.png");
    ASSERT_TRUE(ImageFiles::writeImageFile(picture(40, 20), first));
    ASSERT_TRUE(ImageFiles::writeImageFile(picture(10, 30), second));
    const QByteArray secondBytes = contents(second);

    ASSERT_TRUE(c->openFile(first));
    c->rotateLeft(); // an unsaved change to the first picture
    um->closeImplicitGroup();
    ASSERT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 20, 40));

    ASSERT_TRUE(c->openFile(second));
    um->closeImplicitGroup();
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::second.png"));
    EXPECT_FALSE(c->wasChanged());

    // Undo: the rotated first picture, with its own file, title and unsaved state, together.
    c->undo();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 20, 40));
    EXPECT_EQ(c->getFilePath(), first);
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta::first.png*"));
    EXPECT_TRUE(c->wasChanged());

    // Saving now writes the first file, never the second.
    c->saveImg();
    EXPECT_EQ(contents(second), secondBytes);
    EXPECT_EQ(ImageFiles::readImageFile(first).size(), QSize(20, 40));

    // Redo opens the second again, unchanged.
    c->redo();
    EXPECT_EQ(c->getFilePath(), second);
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 10, 30));
    EXPECT_FALSE(c->wasChanged());
}

TEST_F(FilesTest, DroppingAFileIsAnUndoableChangeThatTakesItsPath)
{
    const QString dropped = dir.filePath("IMG_0001.JPG");
    ASSERT_TRUE(ImageFiles::writeImageFile(picture(24, 16), dropped, ImageFiles::JPEG));
    const imaging::Image before = c->backImage();
    c->openDroppedFile(dropped);
    um->closeImplicitGroup();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 24, 16));
    EXPECT_EQ(c->getFilePath(), dropped);
    EXPECT_TRUE(c->wasChanged());

    c->undo();
    EXPECT_TRUE(c->backImage() == before);
    EXPECT_TRUE(c->getFilePath().isEmpty());
    EXPECT_EQ(shownTitle(*window), QStringLiteral("Lumetta"));
    EXPECT_FALSE(c->wasChanged());
}

TEST_F(FilesTest, OpeningWithUnsavedChangesAsksFirst)
{
    c->rotateLeft();
    um->closeImplicitGroup();
    ASSERT_TRUE(c->wasChanged());

    // Cancel: no open dialog.
    answerAlerts(2);
    c->openImg();
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Do you want to save changes?")});
    EXPECT_FALSE(openDialog());

    // Don't Save: the dialog comes.
    alerts.clear();
    answerAlerts(3);
    c->openImg();
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(openDialog());
    closeDialogs();

    // Save...: the file is written first, then the dialog comes.
    const QString path = dir.filePath("kept.png");
    c->setFilePath(path);
    alerts.clear();
    answerAlerts(1);
    c->openImg();
    EXPECT_FALSE(c->wasChanged());
    EXPECT_EQ(ImageFiles::readImageFile(path).size(), QSize(400, 600));
    QCoreApplication::processEvents();
    EXPECT_TRUE(openDialog());
    closeDialogs();

    // Without changes it opens the dialog straight away.
    alerts.clear();
    c->openImg();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(openDialog());
    // Both cases and more are offered for camera files.
    EXPECT_TRUE(openDialog()->nameFilters().first().contains(QStringLiteral("*.JPG")));
    EXPECT_TRUE(openDialog()->nameFilters().first().contains(QStringLiteral("*.jpg")));
    closeDialogs();
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

TEST_F(FilesTest, SaveAsProposesTheCurrentFilesFolderNameAndFormat)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("Trip"));
    c->setFilePath(dir.filePath("Trip/beach.TIF"));
    c->saveImgAs();
    QFileDialog *dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.filePath("Trip")).canonicalPath());
    ASSERT_FALSE(dialog->selectedFiles().isEmpty());
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().first()).fileName(), QStringLiteral("beach.tiff"));
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("TIFF (*.tiff)"));
    closeDialogs();
}

TEST_F(FilesTest, ALongSaveKeepsTheWindowPaintingAndShowsThatItIsBusy)
{
    // Noise compresses badly, so JPEG-2000 takes a while over it.
    QImage noise(1800, 1200, QImage::Format_ARGB32_Premultiplied);
    quint32 state = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            line[x] = qRgb(state >> 24, (state >> 16) & 255, (state >> 8) & 255);
        }
    }
    c->setBackgroundImage(imaging::imageFromQImage(noise));
    c->setWasChanged(true);

    int ticks = 0;
    bool busyCursor = false;
    bool progressShown = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        busyCursor = busyCursor || (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
        for (QWidget *w : QApplication::topLevelWidgets())
            progressShown = progressShown || (w->inherits("QProgressDialog") && w->isVisible());
    });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    c->savePanelDidEnd(1, dir.filePath("noise"), ImageFiles::JPEG2000);
    const qint64 took = clock.elapsed();
    ticker.stop();

    EXPECT_TRUE(ImageFiles::isJpeg2000(contents(dir.filePath("noise.jpeg-2000"))));
    EXPECT_FALSE(c->wasChanged());
    // The event loop went on turning while the file was written, with the busy cursor up.
    EXPECT_GT(ticks, 0) << "the save took " << took << " ms without the event loop turning";
    EXPECT_TRUE(busyCursor);
    if (took > 1000) {
        EXPECT_TRUE(progressShown) << "no progress window in " << took << " ms";
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
