#pragma once

#include "effects/favorite.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <optional>

// The exchange file of favourites, readable JSON that people can share and keep under version
// control:
//   {"format": "lumetta-favourites", "version": 1, "favourites": [ ... ]}
// A standard favourite is {"mode": "standard", "filter": NAME, "name": TEXT, "values": {KEY: V}}
// with numbers as numbers (true/false for switches), vectors and colours as arrays of numbers,
// transforms as the six numbers a, b, c, d, tx, ty, and image inputs as a path relative to the
// file (or left out). A 3D or custom favourite is {"mode": "3d" | "custom", "effect": CLASS,
// "name": TEXT, "settings": {...}} with the effect's own settings keys. Pictures are not
// exchanged: the importing side makes them.
namespace FavoritesJson {

// Gives the path (relative to the file) under which an image input was saved, or an empty string
// to leave the input out.
using ImageSaver = std::function<QString(int index, const QString &key, const QImage &image)>;
// Reads an image input's path (relative to the file); a null image with `error` set refuses it.
using ImageLoader = std::function<QImage(const QString &path, QString *error)>;

QJsonObject toJson(const Favorite &favorite, int index, const ImageSaver &saveImage);
QByteArray toDocument(const QList<Favorite> &favorites, const ImageSaver &saveImage);

// The favourites of an exchange file, each checked (Favorite::check), without pictures. Any fault
// refuses the whole file: none, with a message naming the entry and what is wrong.
std::optional<QList<Favorite>> fromDocument(const QByteArray &json, const ImageLoader &loadImage, QString *error);

} // namespace FavoritesJson
