#!/usr/bin/env bash
# Starts the built application on a virtual display, waits, and saves a screenshot of the screen.
# Usage: scripts/screenshot.sh OUT.png [seconds] [key or click:X,Y ...]  (keys in xdotool syntax)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "$1")"; wait="${2:-3}"; shift $(( $# >= 2 ? 2 : 1 ))
keys=("$@")
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
  "$0"/build/src/lumetta & app=$!
  sleep "$1"
  # Without a window manager nothing has the focus: give it to the main window first.
  win=$(xdotool search --name "^Lumetta" | head -n 1)
  [ -n "$win" ] && xdotool windowfocus --sync "$win" 2>/dev/null || true
  for k in "${@:3}"; do
    case "$k" in
      click:*) xy=${k#click:}; xdotool mousemove ${xy/,/ } click 1 ;;
      *) xdotool key --delay 200 $k ;;
    esac
    sleep 1
  done
  import -window root "$2"
  kill $app; wait $app 2>/dev/null || true
' "$root" "$wait" "$out" "${keys[@]}"
