#pragma once

#include <QImage>

// The base of every drawn effect and of both 3D effects. The controller keeps one prototype per
// effect and works on a copy of the selected one; these are the calls it makes on that copy.
class BaseEffect
{
public:
    virtual ~BaseEffect() = default;

    // Drops what the effect has drawn and the controls it has shown.
    virtual void clearEffect() {}
    // The current image changed: the effect reloads it and redraws.
    virtual void reloadImage() {}
    // The effect's picture composed over the current image; null when it has nothing to show.
    virtual QImage getDrawImage() { return {}; }
};
