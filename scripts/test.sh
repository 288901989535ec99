#!/usr/bin/env bash
# Sets up, builds and runs every test. Widget tests use Qt's offscreen platform; the whole run
# sits under a virtual X display so that tests needing an OpenGL context get one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
build="${LUMETTA_BUILD_DIR:-$root/build}"
cd "$build"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1920x1200x24" ctest --output-on-failure --parallel "$(nproc)" "$@"
fi
exec ctest --output-on-failure --parallel "$(nproc)" "$@"
