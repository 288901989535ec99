#!/usr/bin/env bash
# Installs what is missing, then configures and builds Lumetta into build/ (or $LUMETTA_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="${LUMETTA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${LUMETTA_BUILD_TYPE:-RelWithDebInfo}" ${LUMETTA_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
