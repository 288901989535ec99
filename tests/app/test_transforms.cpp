// Whole-image transforms with undo and redo, and the clipboard.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "imaging/sourcenode.h"
#include "platform/imagefiles.h"
#include "platform/undomanager.h"
#include "widgets/dovalert.h"
#include "apptestsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

class TransformsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QGuiApplication::clipboard()->clear();
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
    }

    // Every pixel different, so that any misplaced pixel shows.
    static QImage distinctPicture(int w, int h)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qRgb(x * 5 % 256, y * 7 % 256, (x * 13 + y * 3) % 256));
        return image;
    }

    void install(const QImage &image) { c->setBackgroundImage(imaging::imageFromQImage(image)); }
    QImage current() const { return Controller::imageFromCIImage(c->backImage()); }
    // One user event: the step is closed as the event loop would close it.
    template <typename F> void step(F f)
    {
        f();
        um->closeImplicitGroup();
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(TransformsTest, QuarterTurnsSwapTheSidesStartAtTheOriginAndComeBackExactly)
{
    install(distinctPicture(37, 21));
    const QImage original = current();
    for (bool left : {true, false}) {
        SCOPED_TRACE(left ? "left" : "right");
        for (int i = 1; i <= 4; ++i) {
            step([&] { left ? c->rotateLeft() : c->rotateRight(); });
            const imaging::Rect e = c->backImage().extent();
            EXPECT_EQ(e.x(), 0);
            EXPECT_EQ(e.y(), 0);
            EXPECT_EQ(e.width(), i % 2 ? 21 : 37);
            EXPECT_EQ(e.height(), i % 2 ? 37 : 21);
        }
        EXPECT_EQ(current(), original);
    }
    // A right turn moves the top-left pixel to the top right.
    step([&] { c->rotateRight(); });
    EXPECT_EQ(current().pixel(20, 0), original.pixel(0, 0));
    c->undo();
    EXPECT_EQ(current(), original);
    c->redo();
    EXPECT_EQ(current().pixel(20, 0), original.pixel(0, 0));
}

TEST_F(TransformsTest, FlipsUndoAndRedo)
{
    install(distinctPicture(9, 6));
    const QImage original = current();
    step([&] { c->flipVert(); });
    EXPECT_EQ(current(), original.mirrored(false, true));
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 9, 6));
    step([&] { c->flipHorizont(); });
    EXPECT_EQ(current(), original.mirrored(true, true));
    c->undo();
    EXPECT_EQ(current(), original.mirrored(false, true));
    c->undo();
    EXPECT_EQ(current(), original);
    c->redo();
    EXPECT_EQ(current(), original.mirrored(false, true));
    EXPECT_TRUE(c->wasChanged());
}

TEST_F(TransformsTest, ResizeResamplesAndUndoRestoresTheOriginalPixels)
{
    // A one-pixel checkerboard: point sampling would keep it black or white; a good shrink by
    // two averages it to mid grey.
    QImage checker(640, 480, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    install(checker);
    step([&] { c->resizeImage(320, 240); });
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 320, 240));
    const QImage small = current();
    for (const QPoint p : {QPoint(0, 0), QPoint(100, 77), QPoint(319, 239)})
        EXPECT_NEAR(qGray(small.pixel(p)), 128, 8) << p.x() << "," << p.y();

    c->undo();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 640, 480));
    EXPECT_EQ(current(), checker) << "undo must restore the pixels, not scale back up";
    c->redo();
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 320, 240));

    // Enlarging keeps the picture upright.
    QImage marked = distinctPicture(10, 10);
    marked.fill(Qt::black);
    for (int x = 0; x < 10; ++x)
        marked.setPixel(x, 0, qRgb(255, 255, 255)); // white top row
    install(marked);
    step([&] { c->resizeImage(40, 30); });
    EXPECT_GT(qGray(current().pixel(20, 0)), 200);
    EXPECT_LT(qGray(current().pixel(20, 29)), 50);
}

TEST_F(TransformsTest, AbsurdSizesAreRefusedWithoutAStep)
{
    install(distinctPicture(8, 8));
    const imaging::Image before = c->backImage();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto [w, h] : {std::pair{0.0f, 10.0f}, {-5.0f, 5.0f}, {nan, 4.0f}, {1e6f, 1e6f},
                        {std::numeric_limits<float>::infinity(), 2.0f}}) {
        step([&] { c->resizeImage(w, h); });
        EXPECT_TRUE(c->backImage() == before);
    }
    EXPECT_FALSE(um->canUndo());
}

TEST_F(TransformsTest, DeepImagesStayDeepWhenResized)
{
    QImage deep(20, 10, QImage::Format_RGBA64_Premultiplied);
    deep.fill(QColor::fromRgba64(1000, 30000, 65535));
    install(deep);
    step([&] { c->resizeImage(10, 5); });
    const auto *source = dynamic_cast<const imaging::SourceNode *>(c->backImage().node().get());
    ASSERT_TRUE(source);
    EXPECT_GT(source->bitmap().depth(), 32);
}

TEST_F(TransformsTest, CopyOffersPngAndTiffOfTheCurrentResult)
{
    install(distinctPicture(20, 10));
    c->copy();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    for (const char *format : {"image/png", "image/tiff"}) {
        SCOPED_TRACE(format);
        const QImage decoded = ImageFiles::readImageData(data->data(QString::fromLatin1(format)));
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), distinctPicture(20, 10).convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_TRUE(c->pasteBtn->isEnabled());
}

TEST_F(TransformsTest, PasteNeedsAnImageAndKeepsTheCurrentOneWhenItIsBroken)
{
    install(distinctPicture(6, 6));
    const imaging::Image before = c->backImage();

    step([&] { c->paste(); }); // empty clipboard
    QGuiApplication::clipboard()->setText(QStringLiteral("just text"));
    step([&] { c->paste(); });
    EXPECT_TRUE(c->backImage() == before);

    // A picture that cannot be decoded is refused with an alert.
    auto broken = std::make_unique<QMimeData>();
    broken->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\nbroken", 14));
    QGuiApplication::clipboard()->setMimeData(broken.release());
    QStringList alerts;
    DovAlert::setResponder([&](const DovAlert &alert) { alerts << alert.message(); return 1; });
    step([&] { c->paste(); });
    DovAlert::setResponder(nullptr);
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Couldn't paste the image.")});
    EXPECT_TRUE(c->backImage() == before);
    EXPECT_FALSE(um->canUndo());

    // Another program's TIFF is accepted, and the paste is undoable.
    auto tiff = std::make_unique<QMimeData>();
    tiff->setData(QStringLiteral("image/tiff"), ImageFiles::encodeImage(distinctPicture(30, 12), ImageFiles::TIFF));
    QGuiApplication::clipboard()->setMimeData(tiff.release());
    step([&] { c->paste(); });
    EXPECT_EQ(c->backImage().extent(), imaging::Rect(0, 0, 30, 12));
    c->undo();
    EXPECT_TRUE(c->backImage() == before);
}

TEST_F(TransformsTest, CopiedBlurPastedBackIsBlurredAgain)
{
    QImage bar(60, 40, QImage::Format_ARGB32_Premultiplied);
    bar.fill(Qt::black);
    for (int y = 0; y < 40; ++y)
        for (int x = 28; x < 32; ++x)
            bar.setPixel(x, y, qRgb(255, 255, 255));
    install(bar);
    c->addFilter(QStringLiteral("CIGaussianBlur"), 111);
    ASSERT_TRUE(c->getCurrentFilter());
    c->copy();
    step([&] { c->paste(); });
    // The image is now the blurred picture, and the filter still applies on top of it.
    const QImage pasted = current();
    EXPECT_LT(qGray(pasted.pixel(30, 20)), 250);
    EXPECT_GT(qGray(pasted.pixel(24, 20)), 5);
    ASSERT_TRUE(c->getCurrentFilter());
    const QImage twice = c->getEffectedImage();
    EXPECT_LT(qGray(twice.pixel(30, 20)), qGray(pasted.pixel(30, 20)));
    c->undo();
    EXPECT_EQ(current(), bar);
}

} // namespace
