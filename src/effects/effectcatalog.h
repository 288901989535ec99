#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class BaseEffect;

// The drawn effects by class name, in the custom list's order, and the 3D effects in the 3D list's
// order. The window's lists and lumetta-cli make their prototypes here, so both use the same
// classes and defaults.
class EffectCatalog
{
public:
    static QStringList drawnEffectClassNames();
    static QStringList threeDEffectClassNames();
    // A new prototype (awakeFromNib has run) of the named class; null for an unknown name.
    static std::unique_ptr<BaseEffect> prototype(const QString &className);
};
