// The button picture of a custom favourite is composed at the button's size from the rendering the
// canvas shows: adding a favourite on a large photograph draws nothing at full size.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "apptestsupport.h"
#include "picturepsnr.h"
#include "effects/effectlistmodel.h"
#include "effects/favorite.h"
#include "effects/simpleeffects.h"
#include "imaging/qimageadapter.h"
#include "platform/userdefaults.h"
#include "views/customeffimageview.h"
#include "widgets/gradientbutton.h"

#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Simple objects that note the size of every drawing (on any thread). Without a meta-object of
// its own it keeps the class name of simple objects, so its favourites are kept like theirs.
class NotedObjects : public simpleEffects
{
public:
    static std::vector<QSizeF> &drawn()
    {
        static std::vector<QSizeF> sizes;
        return sizes;
    }
    static std::mutex &lock()
    {
        static std::mutex m;
        return m;
    }

protected:
    std::unique_ptr<BaseEffect> create() const override { return std::make_unique<NotedObjects>(); }
    void drawMyself(QPainter &painter, const QRectF &rect) override
    {
        {
            const std::lock_guard<std::mutex> guard(lock());
            // The size in device pixels: a drawing scaled down to the canvas's size is small.
            drawn().push_back(painter.transform().mapRect(rect).size());
        }
        simpleEffects::drawMyself(painter, rect);
    }
};

QImage gradientPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(220, 140, 40));
    g.setColorAt(1, QColor(20, 70, 160));
    p.fillRect(image.rect(), g);
    return image;
}

class FavoritePictureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::srand(11);
        UserDefaults::standardUserDefaults().removeObjectForKey(QStringLiteral("CustomEffectsFavorites"));
        window = std::make_unique<MainWindow>();
        c = window->controller();
        c->changeFilterMode(c->customBtn);
        // The first row of the list becomes the noting effect.
        c->m_simpleEffect = std::make_unique<NotedObjects>();
        c->m_simpleEffect->awakeFromNib();
        static_cast<EffectListModel *>(c->m_customListModel)->setEffects(c->customPrototypes());
        NotedObjects::drawn().clear();
    }
    void TearDown() override
    {
        UserDefaults::standardUserDefaults().removeObjectForKey(QStringLiteral("CustomEffectsFavorites"));
    }

    // Chooses the noting effect over a `w` x `h` picture shown at `zoom`.
    void choose(int w, int h, double zoom)
    {
        c->setBackgroundImage(imaging::imageFromQImage(gradientPicture(w, h)));
        c->customEffectsView->setZoom(float(zoom));
        c->outlineViewSelectionDidChange_Custom(c->m_customListModel->index(0, 1));
        ASSERT_NE(dynamic_cast<NotedObjects *>(c->getCurrentCustomEffect()), nullptr);
    }
    // What the canvas paints of the whole picture at `zoom`, as its paint event asks for it.
    QImage paintCanvas(int w, int h, double zoom)
    {
        const QSize shown(int(w * zoom), int(h * zoom));
        QImage view(shown, QImage::Format_ARGB32_Premultiplied);
        view.fill(Qt::transparent);
        QPainter painter(&view);
        EXPECT_TRUE(c->drawCustomEffect(painter, QRectF(view.rect()), QRectF(0, 0, w, h)));
        return view;
    }
    QImage lastPicture() const
    {
        const auto &list = c->favoritesOfMode(Favorite::Custom);
        return list.empty() || !list.back().favorite ? QImage() : list.back().favorite->picture;
    }
    static bool drewAtLeast(double width)
    {
        const std::lock_guard<std::mutex> guard(NotedObjects::lock());
        for (const QSizeF &s : NotedObjects::drawn())
            if (s.width() >= width)
                return true;
        return false;
    }

    std::unique_ptr<MainWindow> window;
    Controller *c = nullptr;
};

} // namespace

TEST_F(FavoritePictureTest, ALargePicturesFavouriteIsComposedFromTheRenderingShown)
{
    // 12 MP shown at a quarter: the canvas shows a rendering drawn at 1000 x 750.
    choose(4000, 3000, 0.25);
    const QImage shown = paintCanvas(4000, 3000, 0.25);
    ASSERT_TRUE(drewAtLeast(999));
    ASSERT_FALSE(drewAtLeast(1001));

    c->addFavoritesCustom();
    const QImage picture = lastPicture();
    ASSERT_EQ(picture.size(), QSize(Favorite::pictureWidth, Favorite::pictureHeight));
    EXPECT_FALSE(drewAtLeast(1001)) << "the favourite drew the effect at full size";
    // The arrangement and the colours the canvas showed, at the button's size.
    const QImage expected = shown.scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(psnr(picture, expected.convertToFormat(QImage::Format_ARGB32)), 22.0);
}

TEST_F(FavoritePictureTest, AFavouriteOfAnEffectNotPaintedYetIsDrawnAtTheCanvasSize)
{
    choose(4000, 3000, 0.25);
    c->addFavoritesCustom();
    ASSERT_FALSE(lastPicture().isNull());
    EXPECT_TRUE(drewAtLeast(999)) << "the effect was drawn for the favourite";
    EXPECT_FALSE(drewAtLeast(1001)) << "the favourite drew the effect at full size";
    // The canvas then shows that rendering, with no new drawing.
    NotedObjects::drawn().clear();
    const QImage shown = paintCanvas(4000, 3000, 0.25);
    EXPECT_TRUE(NotedObjects::drawn().empty());
    const QImage expected = shown.scaled(lastPicture().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(psnr(lastPicture(), expected.convertToFormat(QImage::Format_ARGB32)), 22.0);
}

TEST_F(FavoritePictureTest, ASmallPicturesFavouriteShowsItsFullRendering)
{
    // 300 x 200: rendered at full size; the picture is the composition seen small.
    choose(300, 200, 1.0);
    const QImage shown = paintCanvas(300, 200, 1.0);
    c->addFavoritesCustom();
    const QImage picture = lastPicture();
    ASSERT_EQ(picture.size(), QSize(Favorite::pictureWidth, Favorite::pictureHeight));
    const QImage full = c->getCurrentCustomEffect()->getDrawImage();
    const QImage expected = full.scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(psnr(picture, expected.convertToFormat(QImage::Format_ARGB32)), 22.0);
    EXPECT_GT(psnr(picture, shown.scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32)),
              22.0);
}
