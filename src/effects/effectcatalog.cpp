#include "effects/effectcatalog.h"

#include "effects/evaleffect.h"
#include "effects/flareeffect.h"
#include "effects/hilbertlineseffect.h"
#include "effects/lineseffect.h"
#include "effects/objecteffect.h"
#include "effects/patchworkeffect.h"
#include "effects/patmorphingeffect.h"
#include "effects/plasmaeffect.h"
#include "effects/simpleeffects.h"
#include "effects/sketcheffect.h"

QStringList EffectCatalog::drawnEffectClassNames()
{
    return {QStringLiteral("simpleEffects"),     QStringLiteral("linesEffect"),   QStringLiteral("hilbertLinesEffect"),
            QStringLiteral("patchWorkEffect"),   QStringLiteral("flareEffect"),   QStringLiteral("plasmaEffect"),
            QStringLiteral("patMorphingEffect"), QStringLiteral("sketchEffect")};
}

QStringList EffectCatalog::threeDEffectClassNames()
{
    return {QStringLiteral("EvalEffect"), QStringLiteral("ObjectEffect")};
}

std::unique_ptr<BaseEffect> EffectCatalog::prototype(const QString &className)
{
    std::unique_ptr<BaseEffect> effect;
    if (className == QLatin1String("simpleEffects"))
        effect = std::make_unique<simpleEffects>();
    else if (className == QLatin1String("linesEffect"))
        effect = std::make_unique<linesEffect>();
    else if (className == QLatin1String("hilbertLinesEffect"))
        effect = std::make_unique<hilbertLinesEffect>();
    else if (className == QLatin1String("patchWorkEffect"))
        effect = std::make_unique<patchWorkEffect>();
    else if (className == QLatin1String("flareEffect"))
        effect = std::make_unique<flareEffect>();
    else if (className == QLatin1String("plasmaEffect"))
        effect = std::make_unique<plasmaEffect>();
    else if (className == QLatin1String("patMorphingEffect"))
        effect = std::make_unique<patMorphingEffect>();
    else if (className == QLatin1String("sketchEffect"))
        effect = std::make_unique<sketchEffect>();
    else if (className == QLatin1String("EvalEffect"))
        effect = std::make_unique<EvalEffect>();
    else if (className == QLatin1String("ObjectEffect"))
        effect = std::make_unique<ObjectEffect>();
    if (effect)
        effect->awakeFromNib();
    return effect;
}
