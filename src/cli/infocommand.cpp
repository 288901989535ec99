#include "infocommand.h"

#include "platform/imageproperties.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

const char *infoUsage = "usage: lumetta-cli info IN [--json]";

void printTree(const QList<PropertyNode> &nodes, int depth)
{
    const QByteArray indent(depth * 2, ' ');
    for (const PropertyNode &node : nodes) {
        if (node.isGroup()) {
            std::printf("%s%s\n", indent.constData(), qPrintable(node.name));
            printTree(node.children, depth + 1);
        } else {
            std::printf("%s%s: %s\n", indent.constData(), qPrintable(node.name), qPrintable(node.value));
        }
    }
}

QJsonArray jsonTree(const QList<PropertyNode> &nodes)
{
    QJsonArray array;
    for (const PropertyNode &node : nodes) {
        QJsonObject object{{"key", node.key}, {"name", node.name}};
        if (node.isGroup())
            object.insert("children", jsonTree(node.children));
        else
            object.insert("value", node.value);
        array << object;
    }
    return array;
}

} // namespace

int runInfoCommand(const QStringList &args)
{
    QString in;
    bool json = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a.startsWith(QLatin1String("--")) || !in.isEmpty()) {
            std::fprintf(stderr, "lumetta-cli info: unexpected argument %s (%s)\n", qPrintable(a), infoUsage);
            return 2;
        } else {
            in = a;
        }
    }
    if (in.isEmpty()) {
        std::fprintf(stderr, "%s\n", infoUsage);
        return 2;
    }

    const ImageFileProperties info = ImageProperties::read(in);
    const QString typeName = ImageProperties::defaultTypeNames().value(info.typeIdentifier, info.typeIdentifier);
    if (json) {
        QJsonObject object{
            {"path", info.path},
            {"type", info.readable ? QJsonValue(typeName) : QJsonValue::Null},
            {"typeIdentifier", info.readable ? QJsonValue(info.typeIdentifier) : QJsonValue::Null},
            {"size", info.readable ? QJsonValue(double(info.fileSize)) : QJsonValue::Null},
            {"properties", jsonTree(info.properties)}};
        if (!info.readable)
            object.insert("error", info.error);
        const QByteArray out = QJsonDocument(object).toJson(QJsonDocument::Indented);
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    } else {
        std::printf("Path: %s\n", qPrintable(info.path));
        std::printf("Type: %s\n", info.readable ? qPrintable(typeName) : "n/a");
        if (info.readable)
            std::printf("Size: %lld bytes\n", static_cast<long long>(info.fileSize));
        else
            std::printf("Size: n/a\n");
        printTree(info.properties, 0);
    }
    if (!info.readable) {
        std::fprintf(stderr, "lumetta-cli info: cannot read %s: %s\n", qPrintable(in), qPrintable(info.error));
        return 1;
    }
    return 0;
}
