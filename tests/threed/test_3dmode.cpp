// The 3D mode through the real window and controller: choosing effects, the canvas's captures,
// Apply, Copy and Save with the capture, drags on the canvas and their undo, the area without
// OpenGL, and lumetta-cli render3d.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "effects/objecteffect.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/myoglview.h"
#include "views/top3dview.h"
#include "widgets/gradientbutton.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ThreeDModeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        c = window->controller();
        um = window->undoManager();
        ASSERT_NE(c->openGLView, nullptr) << "no OpenGL canvas: " << c->openGLView;
        c->openGLView->setFixedSize(1000, 700);
        window->show();
        c->changeFilterMode(c->threeDBtn);
        QCoreApplication::processEvents();
        // An opaque picture, the top half red and the bottom half blue.
        QImage picture(300, 200, QImage::Format_RGB32);
        picture.fill(Qt::red);
        for (int y = 100; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                picture.setPixel(x, y, qRgb(0, 0, 255));
        c->setBackgroundImage(imaging::imageFromQImage(picture));
        um->removeAllActions();
    }

    void choose(int row) { c->outlineViewSelectionDidChange_3D(c->m_3DListModel->index(row, 1)); }
    void mouse(QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, p, p, button, buttons, Qt::NoModifier);
        switch (type) {
        case QEvent::MouseButtonPress: c->openGLView->mousePressed(&event); break;
        case QEvent::MouseMove: c->openGLView->mouseMoved(&event); break;
        default: c->openGLView->mouseReleased(&event); break;
        }
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
    UndoManager *um = nullptr;
};

TEST_F(ThreeDModeTest, ListHoldsBothEffectsAndChoosingOneMakesAWorkingCopy)
{
    ASSERT_EQ(c->m_3DListModel->rowCount(), 2);
    EXPECT_EQ(c->m_3DListModel->index(0, 1).data().toString(), QStringLiteral("Surface Rotate"));
    EXPECT_EQ(c->m_3DListModel->index(1, 1).data().toString(), QStringLiteral("3D Objects"));
    choose(1);
    ASSERT_NE(c->getCurrent3DEffect(), nullptr);
    EXPECT_NE(c->getCurrent3DEffect(), c->object3DEffect.get());
    EXPECT_TRUE(c->wasChanged());
    EXPECT_TRUE(c->applyBtn->isEnabled());
    // The pop-up changes the solid undoably, its selection included.
    auto *popUp = window->findChild<QComboBox *>();
    ASSERT_NE(popUp, nullptr);
    popUp->setCurrentIndex(ObjectEffect::Cube);
    emit popUp->activated(ObjectEffect::Cube);
    auto *objects = dynamic_cast<ObjectEffect *>(c->getCurrent3DEffect());
    EXPECT_EQ(objects->objectMode(), ObjectEffect::Cube);
    um->closeImplicitGroup();
    c->undo();
    EXPECT_EQ(objects->objectMode(), ObjectEffect::Sphere);
    EXPECT_EQ(popUp->currentIndex(), ObjectEffect::Sphere);

    // No item drops the effect and its undo steps.
    choose(-1);
    EXPECT_EQ(c->getCurrent3DEffect(), nullptr);
    EXPECT_FALSE(c->applyBtn->isEnabled());
}

TEST_F(ThreeDModeTest, CaptureIsTheUprightFrameAtTheViewsSize)
{
    // Without an effect the canvas shows the image flat: red above blue, the border transparent.
    const QImage shot = c->openGLView->ogl_shot();
    ASSERT_EQ(shot.size(), QSize(1000, 700));
    EXPECT_EQ(QColor(shot.pixel(500, 100)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(500, 600)), QColor(Qt::blue));
    EXPECT_EQ(qAlpha(shot.pixel(10, 10)), 0);
    const imaging::Image ci = c->openGLView->ogl_shot_CI();
    EXPECT_EQ(ci.extent().width(), 1000);
    EXPECT_EQ(ci.extent().height(), 700);
    EXPECT_EQ(Controller::imageFromCIImage(ci).convertToFormat(QImage::Format_ARGB32), shot.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(ThreeDModeTest, ApplyBakesTheFrameInUndoablyAndSaveUsesIt)
{
    // Without an effect, Apply leaves the image and Save writes the image itself.
    c->applyBtnAction();
    EXPECT_EQ(c->backImage().extent().width(), 300);
    EXPECT_EQ(c->getEffectedImage().size(), QSize(300, 200));

    choose(1);
    EXPECT_EQ(c->getEffectedImage().size(), QSize(1000, 700));
    c->applyBtnAction();
    um->closeImplicitGroup();
    EXPECT_EQ(c->backImage().extent().width(), 1000);
    EXPECT_EQ(c->backImage().extent().height(), 700);
    EXPECT_EQ(c->getCurrent3DEffect(), nullptr);
    const QImage baked = Controller::imageFromCIImage(c->backImage());
    EXPECT_EQ(qAlpha(baked.pixel(5, 5)), 0);
    EXPECT_GT(qAlpha(baked.pixel(500, 350)), 200);
    c->undo();
    EXPECT_EQ(c->backImage().extent().width(), 300);
}

TEST_F(ThreeDModeTest, DragOnTheCanvasTurnsTheSolidAndOneUndoRestoresIt)
{
    choose(1);
    auto *objects = dynamic_cast<ObjectEffect *>(c->getCurrent3DEffect());
    ASSERT_NE(objects, nullptr);
    const QImage before = c->openGLView->ogl_shot();
    mouse(QEvent::MouseButtonPress, QPointF(200, 300), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(260, 300), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(300, 280), Qt::NoButton, Qt::LeftButton);
    // A right-button release ends the drag as a left one would.
    mouse(QEvent::MouseButtonRelease, QPointF(300, 280), Qt::RightButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPointF(900, 600), Qt::NoButton, Qt::LeftButton);
    // Right by 100 and up by 20 on screen (y grows downward in the window).
    EXPECT_EQ(objects->rotation()[0], 100.f);
    EXPECT_EQ(objects->rotation()[1], -20.f);
    EXPECT_NE(c->openGLView->ogl_shot(), before);
    mouse(QEvent::MouseButtonRelease, QPointF(900, 600), Qt::LeftButton, Qt::NoButton);
    um->closeImplicitGroup();
    c->undo();
    EXPECT_EQ(objects->rotation()[0], 0.f);
    EXPECT_EQ(objects->rotation()[1], 0.f);
    EXPECT_EQ(c->openGLView->ogl_shot(), before);
}

TEST(ThreeDArea, WithoutOpenGLTheAreaSaysSoAndHasNoCanvas)
{
    Top3DView area(nullptr, false);
    EXPECT_EQ(area.openGLView(), nullptr);
    EXPECT_TRUE(area.message().contains(QStringLiteral("3D effects cannot be shown")));
    area.resize(400, 300);
    const QImage picture = area.grab().toImage();
    EXPECT_EQ(QColor(picture.pixel(3, 3)), QColor(Qt::white));
}

QString cliPath()
{
    return QFileInfo(QCoreApplication::applicationDirPath() + "/../src/lumetta-cli").absoluteFilePath();
}

TEST(Render3DCommand, WritesThePhotoOnASphereOverTransparentBlack)
{
    ASSERT_TRUE(QFileInfo::exists(cliPath()));
    QTemporaryDir dir;
    QImage photo(120, 80, QImage::Format_RGB32);
    photo.fill(Qt::green);
    const QString in = dir.filePath("in.png"), out = dir.filePath("out.png");
    ASSERT_TRUE(photo.save(in));

    QProcess cli;
    cli.start(cliPath(), {"render3d", "sphere", "--size", "300x300", "--set", "objectRotationEFF0=40", in, out});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QImage frame(out);
    ASSERT_EQ(frame.size(), QSize(300, 300));
    EXPECT_EQ(frame.pixel(150, 150), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(2, 2), qRgba(0, 0, 0, 0));

    // Bad words get a message and a non-zero exit, and write nothing.
    for (const QStringList &bad : {QStringList{"render3d", "teapot", in, out + "2"},
                                   QStringList{"render3d", "cube", "--size", "90000x2", in, out + "2"},
                                   QStringList{"render3d", "cube", "--set", "drawObj=2", in, out + "2"},
                                   QStringList{"render3d", "surface", "--set", "point25=high", in, out + "2"}}) {
        cli.start(cliPath(), bad);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(cli.readAllStandardError().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(out + "2"));
    }
}

} // namespace
