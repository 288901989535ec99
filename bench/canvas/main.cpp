// lumetta-canvas-bench IMAGE FILTER...
//
// Builds the real main window and controller (on the offscreen platform unless another is chosen),
// installs IMAGE, and for each FILTER chooses it in the filter list as a click would, then 20 times
// moves the filter's first numeric input to a new value through its row's slider handler and
// repaints a 1600 x 1000 visible canvas at the fitted zoom. Prints "FILTER <median ms>" per filter
// and "paint_ms_median=<ms>" over all repaints as the last line.
//
// A FILTER that names a drawn effect (linesEffect, patMorphingEffect, ...) is chosen in the custom
// mode's list instead. Its anchor is dragged across the canvas by 20 mouse events (when it follows
// the mouse) and each continuous slider of its panel is dragged through 20 positions (pressed,
// moved, released as a hand would); every step is the event and a repaint of the visible canvas.
// Prints "EFFECT anchor|slider <median ms> (max <ms>, release <ms>)", sliders numbered from the top
// of the panel (slider1 is the opacity, which only recomposes).
#include "app/controller.h"
#include "app/datasource.h"
#include "app/mainwindow.h"
#include "effects/effectcatalog.h"
#include "imaging/qimageadapter.h"
#include "views/customeffimageview.h"
#include "views/filterview.h"
#include "views/floatslider.h"
#include "views/myimageview.h"
#include "views/parameterview.h"
#include "widgets/gradientbutton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QSlider>
#include <QTreeView>

#include <algorithm>
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

// Selects the filter's row in the list, so that the controller builds it as for a click.
bool chooseInList(Controller *c, const QString &name)
{
    auto *catalogue = qobject_cast<DataSource *>(c->listView->model());
    if (!catalogue)
        return false;
    for (int row = 0; row < catalogue->rowCount(); ++row) {
        const QModelIndex category = catalogue->index(row, 0);
        for (int i = 0; i < catalogue->rowCount(category); ++i) {
            const QModelIndex item = catalogue->index(i, 0, category);
            if (catalogue->filterRecord(item).value(QStringLiteral("class")).toString() == name) {
                c->listView->selectionModel()->clearSelection();
                c->listView->setCurrentIndex(item);
                return true;
            }
        }
    }
    return false;
}

ParameterView *firstNumberRow(Controller *c)
{
    auto *box = c->placeCntrlView->findChild<FilterView *>();
    if (!box)
        return nullptr;
    for (ParameterView *row : box->rows())
        if (row->slider())
            return row;
    return nullptr;
}

// Selects the drawn effect's row in the custom list (the custom mode must be in front).
bool chooseCustom(Controller *c, const QString &name)
{
    const int row = int(EffectCatalog::drawnEffectClassNames().indexOf(name));
    QAbstractItemModel *model = c->filterCustomOutlineView ? c->filterCustomOutlineView->model() : nullptr;
    if (row < 0 || !model)
        return false;
    c->filterCustomOutlineView->setCurrentIndex(model->index(row, 0));
    return c->hasCustomEffect();
}

struct Steps
{
    std::vector<double> times;
    double release = 0;
};

void report(const QString &name, const char *what, const Steps &s)
{
    if (s.times.empty())
        return;
    std::printf("%s %s %.2f (max %.2f, release %.2f)\n", qPrintable(name), what, median(s.times),
                *std::max_element(s.times.begin(), s.times.end()), s.release);
    std::fflush(stdout);
}

// One step: `event` (sent to the real widgets), then a repaint of the visible canvas.
template <class Event>
double timedStep(QWidget *canvas, const QRect &visible, QImage &target, Event event)
{
    QElapsedTimer timer;
    timer.start();
    event();
    QPainter painter(&target);
    canvas->render(&painter, QPoint(), QRegion(visible));
    painter.end();
    return timer.nsecsElapsed() / 1e6;
}

void dragCustomEffect(Controller *c, const QString &name, const QRect &visible)
{
    QWidget *canvas = c->customEffectsView;
    // The window's backing store has been painted before any control moves: the target's pages
    // are touched once here, or the first step would time their page faults.
    QImage target(visible.size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    auto mouse = [canvas](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, canvas->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(canvas, &event);
    };
    // The first picture (a full rendering) before any timing.
    timedStep(canvas, visible, target, [] {});
    if (c->customEffectIsMousing()) {
        Steps anchor;
        const QPointF start = QRectF(visible).center();
        mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int step = 0; step < 20; ++step) {
            const QPointF at = start + QPointF(15.0 * step, 7.0 * step);
            anchor.times.push_back(timedStep(canvas, visible, target, [&] {
                mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
            }));
        }
        anchor.release = timedStep(canvas, visible, target, [&] {
            mouse(QEvent::MouseButtonRelease, start + QPointF(300, 140), Qt::LeftButton, Qt::NoButton);
        });
        report(name, "anchor", anchor);
    }
    QWidget *panel = c->window ? c->window->findChild<QWidget *>(QStringLiteral("controlPanel2")) : nullptr;
    const QList<QSlider *> sliders = panel ? panel->findChildren<QSlider *>() : QList<QSlider *>();
    int number = 0;
    for (QSlider *slider : sliders) {
        ++number;
        if (!slider->hasTracking())
            continue;
        // The signals of a drag on the handle: pressed, moved (each a new value), released.
        Steps drag;
        slider->setSliderDown(true);
        const int span = slider->maximum() - slider->minimum();
        for (int step = 0; step < 20; ++step) {
            const int value = slider->minimum() + span / 4 + (step % 2) * span / 2 + step * std::max(1, span / 100);
            drag.times.push_back(timedStep(canvas, visible, target, [&] {
                slider->setSliderPosition(std::min(value, slider->maximum()));
            }));
        }
        drag.release = timedStep(canvas, visible, target, [&] { slider->setSliderDown(false); });
        report(name + QStringLiteral("/slider%1").arg(number), "slider", drag);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumetta-canvas-bench"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: lumetta-canvas-bench IMAGE FILTER...\n");
        return 2;
    }

    QImageReader reader(args[1]);
    reader.setAllocationLimit(0);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(args[1]), qPrintable(reader.errorString()));
        return 1;
    }

    MainWindow window;
    Controller *c = window.controller();
    window.resize(2100, 1300);
    // Laid out as on screen, but never presented: the offscreen platform cannot present the
    // window's OpenGL canvas.
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    // Visible canvases of exactly 1600 x 1000.
    auto *area = qobject_cast<QScrollArea *>(c->ciView->parentWidget()->parentWidget());
    auto *customArea = qobject_cast<QScrollArea *>(c->customEffectsView->parentWidget()->parentWidget());
    for (QScrollArea *a : {area, customArea}) {
        if (!a)
            continue;
        const int b = a->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        a->setFixedSize(1600 + b, 1000 + b);
    }
    QApplication::processEvents();
    c->setBackgroundImage(imaging::imageFromQImage(picture));
    QApplication::processEvents();
    std::printf("image %dx%d zoom %.4f\n", picture.width(), picture.height(), double(c->ciView->getZoom()));

    QRect visible(0, 0, 1600, 1000);
    if (area)
        visible = QRect(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value(),
                        std::min(1600, c->ciView->width()), std::min(1000, c->ciView->height()));
    // The window's backing store has been painted before any control moves: the target's pages
    // are touched once here, or the first step would time their page faults.
    QImage target(visible.size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);

    std::vector<double> all;
    double interfaceMax = 0;
    for (int i = 2; i < args.size(); ++i) {
        const QString name = args[i];
        if (EffectCatalog::drawnEffectClassNames().contains(name)) {
            if (c->filerMode() != 2) {
                c->changeFilterMode(c->customBtn);
                QApplication::processEvents();
            }
            if (!chooseCustom(c, name)) {
                std::printf("%s unknown\n", qPrintable(name));
                continue;
            }
            QApplication::processEvents();
            QRect shown(0, 0, std::min(1600, c->customEffectsView->width()), std::min(1000, c->customEffectsView->height()));
            if (customArea)
                shown.moveTo(customArea->horizontalScrollBar()->value(), customArea->verticalScrollBar()->value());
            std::printf("custom canvas zoom %.4f\n", c->customCanvasZoom());
            dragCustomEffect(c, name, shown);
            continue;
        }
        if (c->filerMode() != 0) {
            c->changeFilterMode(c->standardBtn);
            QApplication::processEvents();
        }
        if (!chooseInList(c, name)) {
            c->clearControls();
            c->addFilter(name, 111);
        }
        if (!c->getCurrentFilter()) {
            std::printf("%s unknown\n", qPrintable(name));
            continue;
        }
        ParameterView *row = firstNumberRow(c);
        std::vector<double> times, held;
        for (int step = 0; step < 20; ++step) {
            QElapsedTimer timer;
            timer.start();
            if (row) {
                // Alternate across the range so that every step is a new value.
                const int position = FloatSlider::steps / 4 + (step % 2) * FloatSlider::steps / 2 + step;
                row->slider()->setValue(position);
            }
            QPainter painter(&target);
            c->ciView->render(&painter, QPoint(), QRegion(visible));
            painter.end();
            held.push_back(timer.nsecsElapsed() / 1e6);
            // Until the finished picture is up, the event loop runs as it would in the program.
            QTimer tick;
            tick.start(1);
            while (!c->ciView->isPictureCurrent() && timer.elapsed() < 20000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        all.insert(all.end(), times.begin(), times.end());
        interfaceMax = std::max(interfaceMax, *std::max_element(held.begin(), held.end()));
        std::printf("%s %.2f (interface %.2f)\n", qPrintable(name), median(times), median(held));
        std::fflush(stdout);
    }
    std::printf("interface_ms_max=%.2f\n", interfaceMax);
    std::printf("paint_ms_median=%.2f\n", median(all));
    return 0;
}
