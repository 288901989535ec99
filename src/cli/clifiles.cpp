#include "clifiles.h"

#include "imaging/qimageadapter.h"
#include "platform/imagefiles.h"

#include <QFileInfo>

#include <memory>

namespace clifiles {

QImage readInput(const QString &path, QString *error)
{
    QString why;
    const QImage picture = ImageFiles::readImageFile(path, &why);
    if (picture.isNull() && error)
        *error = QStringLiteral("cannot read %1: %2").arg(path, why);
    return picture;
}

bool checkOutputName(const QString &path, QString *error)
{
    if (ImageFiles::formatForFileName(path) >= 0)
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: no export format for the extension \"%2\" (known: %3)")
                     .arg(path, QFileInfo(path).suffix(), ImageFiles::exportFormatNames().join(", ").toLower());
    return false;
}

bool writeOutput(const QImage &picture, const QString &path, QString *error)
{
    QString why;
    if (ImageFiles::writeImageFile(picture, path, &why))
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(path, why);
    return false;
}

imaging::standardcomposition::DefaultImages defaultImages()
{
    // Each image is read once, when a filter first needs it.
    auto lazily = [](const char *path) {
        auto cache = std::make_shared<imaging::Image>();
        return [cache, path] {
            if (cache->isNull()) {
                const QImage picture = ImageFiles::readImageFile(QString::fromLatin1(path));
                if (!picture.isNull())
                    *cache = imaging::imageFromQImage(picture);
            }
            return *cache;
        };
    };
    namespace paths = imaging::standardcomposition::defaultimagepaths;
    imaging::standardcomposition::DefaultImages images;
    images.texture = lazily(paths::texture);
    images.shadingMap = lazily(paths::shadingMap);
    images.alphaMap = lazily(paths::alphaMap);
    images.ramp = lazily(paths::ramp);
    images.mask = lazily(paths::mask);
    return images;
}

} // namespace clifiles
