// 3D favourites through the real window: the picture is the canvas's capture, and after a restart
// the favourite applies the solid it was made with.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "effects/baseeffect.h"
#include "effects/favorite.h"
#include "effects/objecteffect.h"
#include "imaging/qimageadapter.h"
#include "platform/userdefaults.h"
#include "views/myoglview.h"
#include "widgets/docpagecontrol.h"
#include "widgets/gradientbutton.h"
#include "widgets/onlytextclosedbutton.h"

#include <QAbstractItemModel>
#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class ThreeDFavoritesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UserDefaults::standardUserDefaults().removeObjectForKey(Favorite::defaultsKey(Favorite::ThreeD));
        UserDefaults::standardUserDefaults().synchronize();
        open();
    }
    void open()
    {
        if (window)
            c->windowWillClose();
        window = std::make_unique<MainWindow>();
        c = window->controller();
        ASSERT_NE(c->openGLView, nullptr);
        c->openGLView->setFixedSize(500, 350);
        window->show();
        c->changeFilterMode(c->threeDBtn);
        QCoreApplication::processEvents();
        // Opaque red: the solid shows red on the black canvas.
        QImage picture(300, 200, QImage::Format_RGB32);
        picture.fill(Qt::red);
        c->setBackgroundImage(imaging::imageFromQImage(picture));
    }
    onlyTextClosedButton *button(int i) const
    {
        return qobject_cast<onlyTextClosedButton *>(c->favoritesStrip(Favorite::ThreeD)->buttons().value(i));
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
};

} // namespace

TEST_F(ThreeDFavoritesTest, TheCaptureIsThePictureAndTheSolidComesBackAfterARestart)
{
    c->addFavorites3D(); // no effect: nothing
    EXPECT_TRUE(c->favoritesOfMode(Favorite::ThreeD).empty());

    c->outlineViewSelectionDidChange_3D(c->m_3DListModel->index(1, 1));
    QVariantMap settings = c->getCurrent3DEffect()->save();
    settings["drawObj"] = int(ObjectEffect::Cone);
    c->getCurrent3DEffect()->read(settings);
    c->addFavorites3D();
    ASSERT_NE(button(0), nullptr);
    const QImage picture = button(0)->getBackImage();
    ASSERT_EQ(picture.size(), QSize(40, 25));
    // The capture: the red solid in the middle, the black canvas at the corner.
    EXPECT_GT(qRed(picture.pixel(20, 12)), 150);
    EXPECT_EQ(qRed(picture.pixel(0, 0)), 0);
    const QString tip = button(0)->toolTip();
    EXPECT_EQ(tip, c->getCurrent3DEffect()->tips());

    c->clearAllAndUpdate();
    open();
    ASSERT_NE(button(0), nullptr);
    EXPECT_EQ(button(0)->toolTip(), tip);
    EXPECT_EQ(button(0)->getBackImage(), picture);
    button(0)->click();
    ASSERT_NE(c->getCurrent3DEffect(), nullptr);
    EXPECT_STREQ(c->getCurrent3DEffect()->metaObject()->className(), "ObjectEffect");
    EXPECT_EQ(c->getCurrent3DEffect()->save().value("drawObj").toInt(), int(ObjectEffect::Cone));
    EXPECT_TRUE(button(0)->isChecked());
    button(0)->click();
    EXPECT_EQ(c->getCurrent3DEffect(), nullptr);
    EXPECT_FALSE(button(0)->isChecked());
}
