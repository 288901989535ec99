#pragma once

#include <QStringList>

// lumetta-cli effect NAME [--set KEY=VALUE]... [--seed N] [--time] IN OUT
//
// `args` are the words after "effect". NAME is a drawn effect's class name (simpleEffects,
// linesEffect, ...). The effect renders over the picture of IN from its default settings, changed by
// the given settings keys, and the composed picture (what Apply would bake in) is written to OUT.
// The C library's generators are seeded with N (1 by default), so a seed always gives the same
// picture. --time prints render_ms=<milliseconds> of the effect's rendering alone as the last line.
// Returns the process exit code.
int runEffectCommand(const QStringList &args);
