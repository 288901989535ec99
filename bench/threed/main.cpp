// lumetta-3d-bench [IMAGE]
//
// Builds the real main window on the X display (run it under xvfb-run where there is no screen),
// switches to the 3D mode with a 1000 x 700 canvas and installs IMAGE, or a generated 6000 x 4000
// photograph-like picture without one. Then:
//  - first_frame: the time from installing a new picture to the end of the first frame that shows
//    it (the texture is made then), the median of 5 new pictures with the sphere chosen;
//  - for each of the eight scenes (the surface and the seven solids), a drag of 30 mouse moves over
//    the canvas, each move followed by a redraw of the window finished on the GPU; the median time
//    of one move-and-redraw.
// Prints "first_frame_ms=<ms>", "<scene> <median ms> cpu_ms=<median processor ms>" per scene and
// "drag_ms_max_median=<ms>". The processor time counts the renderer's threads too; on a machine
// shared with other work it shows what a redraw costs when the wall-clock time cannot.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "effects/objecteffect.h"
#include "imaging/qimageadapter.h"
#include "views/myoglview.h"
#include "widgets/gradientbutton.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A picture with gradients, shapes and grain, so that no stage can take a shortcut on flat colour.
QImage syntheticPhoto(int w, int h, int seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv((seed * 70) % 360, 180, 230));
    g.setColorAt(1, QColor::fromHsv((seed * 70 + 150) % 360, 200, 90));
    p.fillRect(image.rect(), g);
    QRandomGenerator random{quint32(seed)};
    for (int i = 0; i < 400; ++i) {
        p.setBrush(QColor::fromHsv(random.bounded(360), 150, 200, 140));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(random.bounded(w), random.bounded(h)), random.bounded(40, 600), random.bounded(40, 600));
    }
    p.end();
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(16)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255), std::clamp(qBlue(c) + n, 0, 255));
        }
    }
    return image;
}

// Repaints the canvas now (its frame and the window's composition) and waits for OpenGL.
// The processor time of the whole process (the renderer's threads included), which does not
// grow when other programs share the machine.
double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
// The processor time of each redraw.
std::vector<double> g_cpu;

double redraw(MyOGLView *view, const std::function<void()> &before)
{
    QElapsedTimer timer;
    const double cpu0 = cpuNow();
    timer.start();
    if (before)
        before();
    view->renderNow();
    if (QOpenGLContext *context = QOpenGLContext::currentContext())
        context->functions()->glFinish();
    g_cpu.push_back(cpuNow() - cpu0);
    return timer.nsecsElapsed() / 1e6;
}

void send(MyOGLView *view, QEvent::Type type, QPointF p, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, p, view->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumetta-3d-bench"));
    const QStringList args = QApplication::arguments();

    std::vector<QImage> pictures;
    if (args.size() > 1) {
        QImageReader reader(args[1]);
        reader.setAllocationLimit(0);
        reader.setAutoTransform(true);
        const QImage picture = reader.read();
        if (picture.isNull()) {
            std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(args[1]), qPrintable(reader.errorString()));
            return 1;
        }
        // New pictures of the same size for the first-frame runs: the same one shifted in colour.
        for (int i = 0; i < 6; ++i) {
            QImage copy = picture.convertToFormat(QImage::Format_RGB32);
            copy.invertPixels();
            pictures.push_back(i % 2 ? copy : picture.convertToFormat(QImage::Format_RGB32));
        }
    } else {
        for (int i = 0; i < 6; ++i)
            pictures.push_back(syntheticPhoto(6000, 4000, i + 1));
    }

    MainWindow window;
    Controller *c = window.controller();
    if (!c->openGLView) {
        std::fprintf(stderr, "no OpenGL canvas: run under an X display with OpenGL (xvfb-run)\n");
        return 1;
    }
    c->openGLView->setFixedSize(1000, 700);
    window.show();
    c->changeFilterMode(c->threeDBtn);
    QApplication::processEvents();
    c->setBackgroundImage(imaging::imageFromQImage(pictures[0]));
    QApplication::processEvents();
    c->openGLView->renderNow();
    QOpenGLContext *context = QOpenGLContext::currentContext();
    std::printf("image %dx%d view %dx%d platform %s renderer %s\n", pictures[0].width(), pictures[0].height(),
                c->openGLView->width(), c->openGLView->height(), qPrintable(QApplication::platformName()),
                context ? reinterpret_cast<const char *>(context->functions()->glGetString(GL_RENDERER)) : "none");

    // The first frame after a new picture, with the sphere shown.
    c->outlineViewSelectionDidChange_3D(c->m_3DListModel->index(1, 1));
    redraw(c->openGLView, {});
    std::vector<double> first;
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        const imaging::Image next = imaging::imageFromQImage(pictures[i]);
        first.push_back(redraw(c->openGLView, [&] { c->setBackgroundImage(next); }));
    }
    std::printf("first_frame_ms=%.2f\n", median(first));
    std::fflush(stdout);

    const char *scenes[] = {"surface", "sphere", "cylinder", "torus", "cube", "cone", "pyramid", "disk"};
    double worst = 0;
    for (int scene = 0; scene < 8; ++scene) {
        c->outlineViewSelectionDidChange_3D(c->m_3DListModel->index(scene == 0 ? 0 : 1, 1));
        if (auto *objects = dynamic_cast<ObjectEffect *>(c->getCurrent3DEffect()))
            objects->setObjectMode(scene - 1);
        redraw(c->openGLView, {});
        const QPointF start(300, 350);
        send(c->openGLView, QEvent::MouseButtonPress, start, Qt::LeftButton);
        std::vector<double> times;
        for (int step = 1; step <= 30; ++step) {
            const QPointF p = start + QPointF(step * 9, step * 4);
            times.push_back(redraw(c->openGLView, [&] { send(c->openGLView, QEvent::MouseMove, p, Qt::LeftButton); }));
        }
        send(c->openGLView, QEvent::MouseButtonRelease, start + QPointF(270, 120), Qt::NoButton);
        const double m = median(times);
        worst = std::max(worst, m);
        std::printf("%s %.2f cpu_ms=%.2f\n", scenes[scene], m, median(std::vector<double>(g_cpu.end() - 30, g_cpu.end())));
        std::fflush(stdout);
    }
    std::printf("drag_ms_max_median=%.2f\n", worst);
    return 0;
}
