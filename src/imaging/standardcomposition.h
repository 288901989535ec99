#pragma once

#include "imaging/filter.h"
#include "imaging/image.h"

#include <functional>

namespace imaging {

// How the standard mode puts a filter over the current image. The application's controller, the
// command-line tool and the tests all go through these functions, so there is one rule for the
// picture the canvas shows, the file the tool writes and the result a test checks.
namespace standardcomposition {

// The images some filters get automatically (a texture for the glass distortion, shading maps,
// a colour ramp, a mask); a filter's declaration names the one each of its inputs wants. Each is
// asked for only when a filter needs it, so a program can read them lazily; an unset function or a
// null image leaves that input holding the current image.
struct DefaultImages
{
    std::function<Image()> texture;    // the glass distortion's texture
    std::function<Image()> shadingMap; // the shaded material's shading image
    std::function<Image()> alphaMap;   // the ripple and page-curl transitions' shading image
    std::function<Image()> ramp;       // the colour map's gradient
    std::function<Image()> mask;       // the disintegrate transition's mask

    // The function for `which` (an empty one for DefaultImage::None).
    const std::function<Image()> &source(DefaultImage which) const;
};

// Where the programs keep those images: Qt resources compiled into the application and the tool.
namespace defaultimagepaths {
inline constexpr const char *texture = ":/images/smoothtexture.tiff";
inline constexpr const char *shadingMap = ":/images/lightball.tiff";
inline constexpr const char *alphaMap = ":/images/restrictedshine.tiff";
inline constexpr const char *ramp = ":/images/colormap.tiff";
inline constexpr const char *mask = ":/images/mask.tiff";
} // namespace defaultimagepaths

// The image input that carries the current image: "inputBackgroundImage" when the filter has such
// an image input, else "inputImage".
QString currentImageKey(const Filter &filter);

// Every image input set to `current` (nothing changes when there is no current image).
void setImageInputs(Filter &filter, const Image &current);

// The automatic defaults of filters that need special inputs: default images, the page curl's
// angle, the circular wrap's centre (the centre of `view`, the visible canvas) and half-transparent
// colours for generators, so that the picture under them shows through. Other filters keep theirs.
void setAutomaticDefaults(Filter &filter, const Rect &view, const DefaultImages &images);

// A newly chosen filter: its defaults, every image input set to `current`, then the automatic
// defaults.
void prepare(Filter &filter, const Image &current, const Rect &view, const DefaultImages &images = {});

// True when an image input other than the one carrying the current image has no image: such a
// filter renders nothing until the input gets one.
bool hasMissingImage(const Filter &filter);

// The picture the canvas shows for `view`: the current image wired into the input that carries
// it, "inputExtent" set to the view's size, output more than 1.3 times as wide and as tall as the
// image cropped to it, and a generator's output laid over the image. Null when the filter gives
// no output and there is no image to fall back on.
Image result(Filter &filter, const Image &current, const Rect &view);

// `top` laid over `under` (source-over).
Image sourceOver(const Image &top, const Image &under);

} // namespace standardcomposition

} // namespace imaging
