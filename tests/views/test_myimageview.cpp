// The standard canvas: handles, the hit test, dragging (with rectangle corners that swap), drops.
#include "rowtestsupport.h"

#include "views/myimageview.h"

#include <QMimeData>
#include <QScrollArea>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using H = MyImageView;

std::shared_ptr<imaging::Filter> twoPositions()
{
    // Twirl-like: an image and two handle inputs, via the all-kinds filter (centre, rectangle).
    return allKindsFilter();
}

QMimeData *filesData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

} // namespace

TEST(MyImageViewHandles, EveryPointLikeInputHasHandles)
{
    auto f = allKindsFilter();
    f->setValue(QVariant::fromValue(imaging::AffineTransform::translation(5, 6)), "inputTransform");
    const QList<H::Handle> handles = H::handlesOf(*f);
    // transform origin, centre, four rectangle corners; offsets and plain vectors get none.
    ASSERT_EQ(handles.size(), 6);
    EXPECT_EQ(handles[0].mode, H::TransformOrigin);
    EXPECT_EQ(handles[0].point, QPointF(5, 6));
    EXPECT_TRUE(handles[0].label.endsWith(" origin"));
    EXPECT_EQ(handles[1].mode, H::Position);
    EXPECT_EQ(handles[1].label, "All Kinds Center");
    EXPECT_EQ(handles[2].point, QPointF(10, 10));  // bottom left
    EXPECT_EQ(handles[3].point, QPointF(30, 10));  // bottom right
    EXPECT_EQ(handles[4].point, QPointF(10, 40));  // top left
    EXPECT_EQ(handles[5].point, QPointF(30, 40));  // top right
}

TEST(MyImageViewHandles, APressHoldsTheNearestHandleWithEarlierKeysWinningTies)
{
    auto f = twoPositions();
    f->setValue(QVariant::fromValue(imaging::AffineTransform::translation(1000, 1000)), "inputTransform");
    EXPECT_EQ(H::hitTest(*f, QPointF(52, 41)).key, "inputCenter");
    // Far from everything: still the nearest.
    EXPECT_EQ(H::hitTest(*f, QPointF(-5000, -5000)).mode, H::RectBottomLeft);
    // Equidistant from the centre (50, 40) and the transform origin: the earlier key wins.
    f->setValue(QVariant::fromValue(imaging::AffineTransform::translation(50, 60)), "inputTransform");
    EXPECT_EQ(H::hitTest(*f, QPointF(50, 50)).key, "inputTransform");
    // A degenerate rectangle: all corners coincide, and top right is tried first.
    f->setValue(QVariant::fromValue(imaging::Vector{200, 200, 0, 0}), "inputRectangle");
    EXPECT_EQ(H::hitTest(*f, QPointF(200, 200)).mode, H::RectTopRight);
}

TEST(MyImageViewHandles, DraggedValuesByKind)
{
    auto f = allKindsFilter();
    int mode = H::Position;
    EXPECT_EQ(H::draggedValue(*f, "inputCenter", mode, QPointF(3, 4)).value<imaging::Vector>(),
              (imaging::Vector{3, 4, 0, 0}));

    f->setValue(QVariant::fromValue(imaging::AffineTransform(2, 0, 0, 3, 1, 1)), "inputTransform");
    mode = H::TransformOrigin;
    EXPECT_EQ(H::draggedValue(*f, "inputTransform", mode, QPointF(9, 8)).value<imaging::AffineTransform>(),
              imaging::AffineTransform(2, 0, 0, 3, 9, 8));
    f->setValue(QVariant(), "inputTransform");
    EXPECT_FALSE(H::draggedValue(*f, "inputTransform", mode, QPointF(9, 8)).isValid());

    f->setValue(QVariant::fromValue(imaging::Vector{1, 2, 7}), "inputCenter");
    mode = H::Position3;
    EXPECT_EQ(H::draggedValue(*f, "inputCenter", mode, QPointF(5, 6)).value<imaging::Vector>(),
              (imaging::Vector{5, 6, 7}));
}

TEST(MyImageViewHandles, RectangleCornersSwapWhenCrossingTheOppositeEdge)
{
    auto f = allKindsFilter(); // rectangle (10, 10, 20, 30): left 10, right 30, bottom 10, top 40
    int mode = H::RectTopLeft;
    imaging::Vector v = H::draggedValue(*f, "inputRectangle", mode, QPointF(50, 45)).value<imaging::Vector>();
    EXPECT_EQ(mode, H::RectTopRight);
    EXPECT_EQ(v, (imaging::Vector{30, 10, 20, 35}));

    mode = H::RectBottomRight;
    v = H::draggedValue(*f, "inputRectangle", mode, QPointF(0, 60)).value<imaging::Vector>();
    EXPECT_EQ(mode, H::RectTopLeft);
    EXPECT_EQ(v, (imaging::Vector{0, 40, 10, 20}));
}

TEST(MyImageViewMouse, DraggingAHandleCommitsThroughTheController)
{
    RecordingController controller;
    controller.image = plainImage(200, 100);
    controller.filter = allKindsFilter();
    QScrollArea area;
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *view = new MyImageView;
    view->setController(&controller);
    area.setWidget(view);
    area.resize(200, 100);
    area.show();
    view->setZoom(1.0f);

    const QPoint centre = view->mapToView(QPointF(50, 40)).toPoint();
    QTest::mousePress(view, Qt::LeftButton, {}, centre + QPoint(2, 0));
    EXPECT_EQ(view->heldKey(), "inputCenter");
    QTest::mouseMove(view, view->mapToView(QPointF(120, 70)).toPoint());
    QMouseEvent move(QEvent::MouseMove, QPointF(view->mapToView(QPointF(120, 70))), view->mapToGlobal(view->mapToView(QPointF(120, 70))),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, view->mapToView(QPointF(120, 70)).toPoint());
    ASSERT_FALSE(controller.commits.empty());
    EXPECT_EQ(controller.commits.back().key, "inputCenter");
    const imaging::Vector v = controller.commits.back().value.value<imaging::Vector>();
    EXPECT_NEAR(v.X(), 120, 1.0);
    EXPECT_NEAR(v.Y(), 70, 1.0);
    EXPECT_EQ(v.count(), 4u);
    // No undo name is set for handle drags.
    EXPECT_TRUE(controller.actionNames.isEmpty());
}

TEST(MyImageViewMouse, WithoutAFilterAPressHoldsNothing)
{
    RecordingController controller;
    controller.image = plainImage(100, 100);
    MyImageView view;
    view.setController(&controller);
    view.resize(100, 100);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.heldMode(), H::NoHandle);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(controller.commits.empty());
}

TEST(MyImageViewDrops, OnlyOneImageFileOfAKnownTypeIsAcceptedWhateverTheCase)
{
    const Qt::DropActions copy = Qt::CopyAction;
    std::unique_ptr<QMimeData> png(filesData({"/tmp/a.png"}));
    std::unique_ptr<QMimeData> jpg(filesData({"/tmp/a.jpg"}));
    std::unique_ptr<QMimeData> pdf(filesData({"/tmp/a.pdf"}));
    std::unique_ptr<QMimeData> upperPdf(filesData({"/tmp/a.PDF"}));
    std::unique_ptr<QMimeData> two(filesData({"/tmp/a.png", "/tmp/b.png"}));
    std::unique_ptr<QMimeData> text(filesData({"/tmp/notes.txt"}));
    std::unique_ptr<QMimeData> none(new QMimeData);
    EXPECT_TRUE(MyImageView::acceptsDrop(png.get(), copy));
    EXPECT_TRUE(MyImageView::acceptsDrop(jpg.get(), copy));
    EXPECT_FALSE(MyImageView::acceptsDrop(png.get(), Qt::IgnoreAction));
    EXPECT_FALSE(MyImageView::acceptsDrop(pdf.get(), copy));
    EXPECT_FALSE(MyImageView::acceptsDrop(upperPdf.get(), copy));
    EXPECT_FALSE(MyImageView::acceptsDrop(two.get(), copy));
    EXPECT_FALSE(MyImageView::acceptsDrop(text.get(), copy));
    EXPECT_FALSE(MyImageView::acceptsDrop(none.get(), copy));
    // Cameras and other systems write upper-case extensions.
    for (const char *name : {"/tmp/IMG_0001.JPG", "/tmp/X.PNG", "/tmp/scan.TIF", "/tmp/a.GIF", "/tmp/b.Jpeg",
                             "/tmp/c.TIFF", "/tmp/d.BMP", "/tmp/e.JP2"}) {
        std::unique_ptr<QMimeData> upper(filesData({name}));
        EXPECT_TRUE(MyImageView::acceptsDrop(upper.get(), copy)) << name;
    }
}

TEST(MyImageViewDrops, ADroppedFileGoesToTheControllerOnceTheDropHasEnded)
{
    RecordingController controller;
    controller.image = plainImage(100, 100);
    MyImageView view;
    view.setController(&controller);
    view.resize(100, 100);

    std::unique_ptr<QMimeData> file(filesData({"/somewhere/IMG_0001.JPG"}));
    EXPECT_TRUE(view.performDragOperation(file.get()));
    EXPECT_TRUE(controller.dropped.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(controller.dropped, QStringList{"/somewhere/IMG_0001.JPG"});

    // Picture data without a file is left alone.
    QMimeData pictureData;
    pictureData.setData(QStringLiteral("image/tiff"), QByteArray("II*"));
    EXPECT_TRUE(view.performDragOperation(&pictureData));
    QCoreApplication::processEvents();
    EXPECT_EQ(controller.dropped.size(), 1);
}
