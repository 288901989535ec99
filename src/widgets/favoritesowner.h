#pragma once

#include "platform/filtermode.h"

class onlyTextClosedButton;

// What a favourite button needs from the window that owns the favourites: the current mode and
// the removal of a favourite in each mode. The main window's controller implements it.
class FavoritesOwner
{
public:
    virtual ~FavoritesOwner() = default;

    // A FilterMode; callers treat other numbers as no mode.
    virtual int filerMode() const = 0;
    virtual void removeFavorites(onlyTextClosedButton *button) = 0;
    virtual void removeFavorites3D(onlyTextClosedButton *button) = 0;
    virtual void removeFavoritesCustom(onlyTextClosedButton *button) = 0;
};
