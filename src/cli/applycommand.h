#pragma once

#include <QStringList>

// lumetta-cli apply --favourite N [--mode standard|custom|3d] IN... --out-dir DIR [--format EXT] [--seed N]
//
// `args` are the words after "apply". Applies favourite N (its number in the mode's list, as
// `favourites list` shows it; the standard mode unless --mode says otherwise) to every IN and
// writes each result into DIR under the input's name, in the format EXT (by default the input's
// own when it is one of the export formats, else PNG). Each result is what the window's Apply then
// Save would write. Drawn effects start from seed N for every file (1 by default). Files are read,
// rendered and written in a pipeline that keeps both cores busy; standard error gets a line per
// file and a final count. A file that fails is reported and the others go on. An output that
// would replace one of the inputs, or the output of an earlier input, is not written.
// Returns 0 when every file was written, 1 when any failed, 2 for wrong usage.
int runApplyCommand(const QStringList &args);
