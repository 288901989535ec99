#include "render3dcommand.h"

#include "clifiles.h"
#include "effectcommand.h"
#include "effects/effectcatalog.h"
#include "effects/objecteffect.h"
#include "effects/stillimagehost.h"
#include "views/glframe.h"

#include <QRegularExpression>

#include <cstdio>

namespace {

const char *render3dUsage =
    "usage: lumetta-cli render3d EFFECT [--set KEY=VALUE]... [--size WxH] IN OUT\n"
    "       EFFECT: surface, sphere, cylinder, torus, cube, cone, pyramid or disk\n";

constexpr int maxSide = 4096;

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "lumetta-cli render3d: %s\n", qPrintable(message));
    return code;
}

// The effect's class and, for a solid, its index in the 3D objects effect's pop-up.
bool effectForName(const QString &name, QString &className, int &solid)
{
    if (name == QLatin1String("surface")) {
        className = QStringLiteral("EvalEffect");
        solid = -1;
        return true;
    }
    const QStringList solids = {"sphere", "cylinder", "torus", "cube", "cone", "pyramid", "disk"};
    solid = int(solids.indexOf(name));
    className = QStringLiteral("ObjectEffect");
    return solid >= 0;
}

} // namespace

int runRender3DCommand(const QStringList &args)
{
    QString name;
    QStringList sets, files;
    QSize size(1000, 700);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--set" || a == "--size") {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(a), 2);
            const QString value = args[++i];
            if (a == "--set") {
                sets << value;
                continue;
            }
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(value);
            const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (w < 1 || h < 1 || w > maxSide || h > maxSide)
                return fail(QStringLiteral("--size expects WxH with each side from 1 to %1, got \"%2\"").arg(maxSide).arg(value), 2);
            size = QSize(w, h);
        } else if (a.startsWith("--")) {
            return fail(QStringLiteral("unknown option %1\n%2").arg(a, QString::fromLatin1(render3dUsage)), 2);
        } else if (name.isEmpty()) {
            name = a;
        } else {
            files << a;
        }
    }
    if (name.isEmpty() || files.size() != 2) {
        std::fputs(render3dUsage, stderr);
        return 2;
    }
    QString className;
    int solid = -1;
    if (!effectForName(name, className, solid))
        return fail(QStringLiteral("unknown 3D effect %1\n%2").arg(name, QString::fromLatin1(render3dUsage)), 2);
    std::unique_ptr<BaseEffect> prototype = EffectCatalog::prototype(className);

    QVariantMap settings;
    QString error;
    if (!parseSettings(sets, *prototype, name, settings, error))
        return fail(error, 2);
    if (solid >= 0 && settings.contains(QStringLiteral("drawObj")))
        return fail(QStringLiteral("the solid is chosen by EFFECT, not by drawObj"), 2);

    // The same reader, writer and messages as the other commands.
    if (!clifiles::checkOutputName(files[1], &error))
        return fail(error);
    const QImage input = clifiles::readInput(files[0], &error);
    if (input.isNull())
        return fail(error);

    OffscreenGLFrame frame;
    if (!frame.create(&error))
        return fail(QStringLiteral("3D effects need OpenGL: %1 (run under an X display, or xvfb-run)").arg(error));

    StillImageHost host(input);
    // The working copy, as the window makes it when the effect is chosen.
    std::unique_ptr<BaseEffect> effect = prototype->mycopy();
    if (auto *objects = dynamic_cast<ObjectEffect *>(effect.get()))
        objects->setObjectMode(solid);
    effect->read(settings);
    const QImage picture = frame.render(size, [&effect] { effect->draw(); });
    // The effect's texture is freed while the context is current.
    if (frame.makeCurrent())
        effect.reset();
    effect.reset();
    if (picture.isNull())
        return fail(QStringLiteral("cannot render a %1x%2 frame").arg(size.width()).arg(size.height()));

    if (!clifiles::writeOutput(picture, files[1], &error))
        return fail(error);
    return 0;
}
