// lumetta-memory-bench [WIDTH HEIGHT]
//
// Builds the real main window and controller (offscreen), installs a generated WIDTH x HEIGHT
// photograph (6000 x 4000 by default) and makes 20 undoable edits of the kinds a user makes on it:
// filters applied (blur, twirl, colour), quarter turns, flips and pastes of a picture as large as
// the photo, letting the canvas render its preview after each. Then undoes all of them and checks
// that the first picture is back. Prints one line per step and, last, "peak_rss_mb=<MB>": the
// process's peak resident memory, which must stay under 3 GB.
#include "app/controller.h"
#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "platform/undomanager.h"
#include "views/myimageview.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double currentMb()
{
    FILE *f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4096.0 / (1024 * 1024);
}

// A photograph-like picture: smooth colour fields with grain, so that nothing compresses away.
QImage makePhoto(int w, int h, unsigned seed)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> grain(-8, 8);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = 128 + (x * 100) / w + grain(rng), g = 90 + (y * 120) / h + grain(rng),
                      b = 60 + ((x + y) * 80) / (w + h) + grain(rng);
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return img;
}

// Lets the canvas render its preview of the current state.
void showPreview(Controller *c)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(1);
    do {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (!c->ciView->isPictureCurrent() && t.elapsed() < 10000);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumetta-memory-bench"));
    const QStringList args = QApplication::arguments();
    const int w = args.size() > 2 ? args[1].toInt() : 6000, h = args.size() > 2 ? args[2].toInt() : 4000;
    if (w <= 0 || h <= 0) {
        std::fprintf(stderr, "usage: lumetta-memory-bench [WIDTH HEIGHT]\n");
        return 2;
    }

    MainWindow window;
    Controller *c = window.controller();
    window.resize(2100, 1300);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    QApplication::processEvents();
    UndoManager *um = c->undoManager();

    c->setBackgroundImage(imaging::imageFromQImage(makePhoto(w, h, 1)));
    showPreview(c);
    const QImage first = imaging::qimageFromImage(c->backImage());
    std::printf("photo %dx%d: rss %.0f MB\n", w, h, currentMb());

    auto apply = [c](const char *filter) {
        c->clearControls();
        c->addFilter(QString::fromLatin1(filter), 111);
        showPreview(c);
        c->applyBtnAction();
    };
    const std::vector<std::pair<const char *, std::function<void()>>> steps = {
        {"apply CIGaussianBlur", [&] { apply("CIGaussianBlur"); }},
        {"rotate left", [&] { c->rotateImage(1); }},
        {"apply CITwirlDistortion", [&] { apply("CITwirlDistortion"); }},
        {"paste", [&] {
            QGuiApplication::clipboard()->setImage(makePhoto(w, h, 2));
            c->paste();
        }},
        {"flip", [&] { c->flipImage(0); }},
        {"apply CIColorInvert", [&] { apply("CIColorInvert"); }},
        {"apply CIExposureAdjust", [&] { apply("CIExposureAdjust"); }},
        {"rotate right", [&] { c->rotateImage(0); }},
        {"apply CIZoomBlur", [&] { apply("CIZoomBlur"); }},
        {"apply CISepiaTone", [&] { apply("CISepiaTone"); }},
    };
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < 20; ++i) {
        const auto &[name, step] = steps[i % steps.size()];
        QElapsedTimer t;
        t.start();
        step();
        um->closeImplicitGroup();
        showPreview(c);
        std::printf("step %2d %-24s %6lld ms  rss %5.0f MB  peak %5.0f MB\n", i + 1, name, t.elapsed(),
                    currentMb(), peakMb());
        std::fflush(stdout);
    }
    int undone = 0;
    while (um->canUndo()) {
        c->undo();
        ++undone;
    }
    showPreview(c);
    const bool restored = imaging::qimageFromImage(c->backImage()) == first;
    std::printf("undid %d steps, first picture back: %s\n", undone, restored ? "yes" : "NO");
    std::printf("peak_rss_mb=%.0f\n", peakMb());
    return restored && undone == 20 ? 0 : 1;
}
