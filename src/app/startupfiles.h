#pragma once

#include <QStringList>

class Controller;

// The files named when the program starts ("lumetta photo.jpg", or a file manager's Open With,
// which may pass file: URLs). The first one becomes the current image through the controller's
// openFile; the rest are ignored. When it cannot be read the start-up image stays, and the user is
// told which file and why in an alert. Returns whether a file was opened.
bool openStartupFiles(Controller &controller, const QStringList &files);
