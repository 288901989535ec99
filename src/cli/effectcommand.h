#pragma once

#include <QStringList>
#include <QVariant>

class BaseEffect;

// lumetta-cli effect NAME [--set KEY=VALUE]... [--seed N] [--time] IN OUT
//
// `args` are the words after "effect". NAME is a drawn effect's class name (simpleEffects,
// linesEffect, ...). The effect renders over the picture of IN from its default settings, changed by
// the given settings keys, and the composed picture (what Apply would bake in) is written to OUT.
// The C library's generators are seeded with N (1 by default), so a seed always gives the same
// picture. --time prints render_ms=<milliseconds> of the effect's rendering alone as the last line.
// Returns the process exit code.
int runEffectCommand(const QStringList &args);

// The text of a --set value as the type the effect stores under that key (`example` is the value
// stored now); invalid, with `error` set, when the text does not fit that type.
QVariant parseSetting(const QString &text, const QVariant &example, QString &error);
// The --set words (KEY=VALUE) as settings of `effect` (named `name` in messages): each key must be
// one of the effect's settings keys ("class" excepted), each value of the type stored under it.
// False with `error` set at the first word that is not.
bool parseSettings(const QStringList &sets, const BaseEffect &effect, const QString &name, QVariantMap &settings,
                   QString &error);
