#pragma once

#include <QImage>
#include <QString>

#include "imaging/standardcomposition.h"

// The files of lumetta-cli's commands: every picture is read with the application's one reader
// (its guards included) and written with its one writer, so `render`, `effect` and image-valued
// --set inputs accept the same files and write the eight export formats the same way.
namespace clifiles {

// The picture of `path`; null with `error` = "cannot read PATH: reason" when it cannot be used.
QImage readInput(const QString &path, QString *error);

// False with `error` set when no export format goes with the extension of `path`: checked before
// any work is done.
bool checkOutputName(const QString &path, QString *error);

// Writes the picture in the format of the extension (to a temporary file renamed into place);
// false with `error` = "cannot write PATH: reason".
bool writeOutput(const QImage &picture, const QString &path, QString *error);

// The application's default filter images, read from the resources on first use.
imaging::standardcomposition::DefaultImages defaultImages();

} // namespace clifiles
