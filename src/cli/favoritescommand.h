#pragma once

#include <QStringList>

// lumetta-cli favourites list [--json]
// lumetta-cli favourites export FILE
// lumetta-cli favourites import FILE
//
// `args` are the words after "favourites". The favourites are those the window keeps, in the same
// settings file (which follows XDG_CONFIG_HOME). `list` prints every stored favourite of the three
// modes with its number in its mode's list (the number `apply --favourite` takes), its name and its
// values; a stored favourite that cannot be used is listed as broken, with the reason. `export`
// writes the usable favourites to FILE as JSON (image inputs as PNG files in FILE's folder, beside
// it); `import` appends the favourites of such a file to the stored lists, with pictures made over
// the start-up image. A file with any fault is refused whole, and nothing is changed then.
// Returns the process exit code: 0 done, 1 failed, 2 wrong usage.
int runFavoritesCommand(const QStringList &args);
