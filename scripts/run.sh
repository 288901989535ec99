#!/usr/bin/env bash
# Sets up, builds and starts the application.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
exec "${LUMETTA_BUILD_DIR:-$root/build}/src/lumetta" "$@"
