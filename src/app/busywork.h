#pragma once

#include <QString>

#include <functional>

class QWidget;

// Long work on the current picture (encoding and writing a file, rendering it at full size) runs on
// a worker thread while the interface thread keeps the window painting. For the caller it is one
// blocking call, so the steps that follow a save (quitting, opening) keep their simple order.
//
// While the work runs the cursor shows that the program is busy, a small progress window appears if
// it takes longer than half a second, and the user's mouse and key events wait until it has ended:
// nothing else can change the picture meanwhile. One piece of work runs at a time; a second request
// while one runs is refused.
class BusyWork
{
public:
    // Runs `work` off the interface thread with `label` ("Saving photo.jpg ...") as the progress
    // text. False when other work is running (then `work` does not run); `work` reports its own
    // outcome through what it captures. An exception escaping `work` (out of memory) is caught and
    // reported through `failed`.
    static bool run(QWidget *window, const QString &label, const std::function<void()> &work, bool *failed = nullptr);
    static bool isRunning();
    // How long to wait before the progress window appears.
    static constexpr int progressDelayMs = 500;
};
