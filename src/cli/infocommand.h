#pragma once

#include <QStringList>

// lumetta-cli info IN [--json]
//
// `args` are the words after "info". Prints what the image information panel shows for IN: the
// path, the friendly type name, the size in bytes and the property tree (two spaces of indent per
// level, "Name: value" for a property, the name alone for a group); with --json one object
// {"path", "type", "typeIdentifier", "size", "properties": [{"key", "name", "value"} or
// {"key", "name", "children": [...]}]}. A file that cannot be read prints type and size as "n/a"
// (null in JSON, with "error" saying why) and an empty tree, says why on stderr and exits with 1.
// Returns the exit code.
int runInfoCommand(const QStringList &args);
