// lumetta-canvas-bench IMAGE FILTER...
//
// Builds the real main window and controller (on the offscreen platform unless another is chosen),
// installs IMAGE, and for each FILTER chooses it in the filter list as a click would, then 20 times
// moves the filter's first numeric input to a new value through its row's slider handler and
// repaints a 1600 x 1000 visible canvas at the fitted zoom. Prints "FILTER <median ms>" per filter
// and "paint_ms_median=<ms>" over all repaints as the last line.
#include "app/controller.h"
#include "app/datasource.h"
#include "app/mainwindow.h"
#include "imaging/qimageadapter.h"
#include "views/filterview.h"
#include "views/floatslider.h"
#include "views/myimageview.h"
#include "views/parameterview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
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
    // A visible canvas of exactly 1600 x 1000.
    auto *area = qobject_cast<QScrollArea *>(c->ciView->parentWidget()->parentWidget());
    if (area) {
        const int b = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        area->setFixedSize(1600 + b, 1000 + b);
    }
    QApplication::processEvents();
    c->setBackgroundImage(imaging::imageFromQImage(picture));
    QApplication::processEvents();
    std::printf("image %dx%d zoom %.4f\n", picture.width(), picture.height(), double(c->ciView->getZoom()));

    QRect visible(0, 0, 1600, 1000);
    if (area)
        visible = QRect(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value(),
                        std::min(1600, c->ciView->width()), std::min(1000, c->ciView->height()));
    QImage target(visible.size(), QImage::Format_ARGB32_Premultiplied);

    std::vector<double> all;
    double interfaceMax = 0;
    for (int i = 2; i < args.size(); ++i) {
        const QString name = args[i];
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
