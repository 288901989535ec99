#pragma once

#include <QString>
#include <QVariant>

// Turns the text of a --set value into the QVariant a filter input of the given attribute class
// expects. Numbers ("2.5"), booleans ("true"/"false"/"yes"/"no"), vectors ("[x y z w]", commas
// allowed), colours ("rgba(r,g,b,a)" or "rgb(r,g,b)", components 0..1) and image paths.
// `example` is the input's default, so a transform input keeps the form (transform or six-value
// vector) it was declared with. Returns an invalid QVariant and sets `error` on failure.
QVariant parseFilterValue(const QString &text, const QString &attributeClass, const QString &attributeType,
                          const QVariant &example, QString &error);
