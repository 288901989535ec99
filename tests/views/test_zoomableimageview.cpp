// Zoom steps, centring and coordinate mapping of the 2D canvases.
#include "imaging/qimageadapter.h"
#include "views/canvascontroller.h"
#include "views/myimageview.h"

#include <QCoreApplication>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class FakeController : public CanvasController
{
public:
    imaging::Image image;
    float sliderZoom = -1;
    imaging::Image backImage() const override { return image; }
    imaging::Image coreImageResult(bool) override { return image; }
    void setZoom(float z) override { sliderZoom = z; }
    void updateZoommWithDelta(float) override {}
    QMenu *contextMenu() const override { return nullptr; }
};

imaging::Image blankImage(int w, int h)
{
    QImage q(w, h, QImage::Format_ARGB32_Premultiplied);
    q.fill(Qt::white);
    return imaging::imageFromQImage(q);
}

struct Canvas
{
    explicit Canvas(QSize visible, QSize picture)
    {
        controller.image = blankImage(picture.width(), picture.height());
        area.setFrameShape(QFrame::NoFrame);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view = new MyImageView;
        view->setController(&controller);
        area.setWidget(view);
        area.resize(visible);
        area.show();
    }
    FakeController controller;
    QScrollArea area;
    MyImageView *view;
};

TEST(ZoomableImageView, WheelStepsDependOnTheZoom)
{
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(1.0f, 1), 1.05f);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(2.0f, 1), 2.4f);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(2.0f, -1), 1.6f);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(1.05f, -1), 1.0f);
    EXPECT_NEAR(ZoomableImageView::wheelZoom(1.08f, 1), 1.296f, 1e-6);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(9.9f, 1), 10.0f);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(0.12f, -1), 0.1f);
    EXPECT_FLOAT_EQ(ZoomableImageView::wheelZoom(3.0f, 0), 3.0f);
}

TEST(ZoomableImageView, WheelZoomsTheCanvasAndMovesTheSlider)
{
    Canvas canvas(QSize(400, 300), QSize(100, 50));
    canvas.view->setZoom(2.0f);
    QWheelEvent up(QPointF(10, 10), canvas.view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(canvas.view, &up);
    EXPECT_FLOAT_EQ(canvas.view->getZoom(), 2.4f);
    EXPECT_FLOAT_EQ(canvas.controller.sliderZoom, 2.4f);
}

TEST(ZoomableImageView, SmallPicturesAreCentredInTheVisibleArea)
{
    Canvas canvas(QSize(400, 300), QSize(100, 50));
    canvas.view->setZoom(1.0f);
    EXPECT_EQ(canvas.view->bounds(), imaging::Rect(-150, -125, 400, 300));
    EXPECT_EQ(canvas.view->size(), QSize(400, 300));
    EXPECT_FLOAT_EQ(canvas.view->viewTransformOffsetX, 150.0f);
    EXPECT_FLOAT_EQ(canvas.view->viewTransformOffsetY, 125.0f);

    // The image's bottom-left corner sits in the middle, y growing upwards.
    const QPointF corner = canvas.view->mapToView(QPointF(0, 0));
    EXPECT_DOUBLE_EQ(corner.x(), 150.0);
    EXPECT_DOUBLE_EQ(corner.y(), 175.0);
    const QPointF back = canvas.view->mapToImage(corner);
    EXPECT_DOUBLE_EQ(back.x(), 0.0);
    EXPECT_DOUBLE_EQ(back.y(), 0.0);
}

TEST(ZoomableImageView, LargePicturesGetAFrameOfTheirZoomedSize)
{
    Canvas canvas(QSize(400, 300), QSize(1000, 800));
    canvas.view->setZoom(2.0f);
    EXPECT_EQ(canvas.view->bounds(), imaging::Rect(0, 0, 1000, 800));
    EXPECT_EQ(canvas.view->size(), QSize(2000, 1600));
    canvas.view->setZoom(50.0f);
    EXPECT_FLOAT_EQ(canvas.view->getZoom(), 10.0f);
    canvas.view->setZoom(0.0f);
    EXPECT_FLOAT_EQ(canvas.view->getZoom(), 0.1f);
}

TEST(ZoomableImageView, PaintsOnlyWhatIsVisible)
{
    Canvas canvas(QSize(200, 150), QSize(100, 50));
    canvas.view->setZoom(1.0f);
    // The picture is rendered off the interface thread: the first paints ask for it.
    for (int i = 0; i < 500 && !canvas.view->isPictureCurrent(); ++i) {
        canvas.view->grab();
        QTest::qWait(10);
    }
    const QImage shot = canvas.view->grab().toImage();
    // The white picture in the middle, the canvas backdrop around it.
    EXPECT_EQ(QColor(shot.pixel(100, 75)), QColor(Qt::white));
    EXPECT_NE(QColor(shot.pixel(5, 5)), QColor(Qt::white));
}

} // namespace
