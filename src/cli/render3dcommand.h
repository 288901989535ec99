#pragma once

#include <QStringList>

// lumetta-cli render3d EFFECT [--set KEY=VALUE]... [--size WxH] IN OUT
//
// `args` are the words after "render3d". EFFECT is the surface ("surface") or a solid ("sphere",
// "cylinder", "torus", "cube", "cone", "pyramid", "disk"). The picture of IN is drawn by that 3D
// effect from its default settings, changed by the given settings keys (rotation angles included),
// into an off-screen frame of WxH pixels (1000x700 by default, at most 4096 a side) with the same
// drawing code as the 3D canvas, and the frame (over transparent black) is written to OUT in the
// format its extension names. Needs OpenGL (under X, or xvfb-run without a screen). Returns the
// process exit code.
int runRender3DCommand(const QStringList &args);
