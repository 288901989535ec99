#!/usr/bin/env bash
# Installs the build into a throw-away prefix and checks what a desktop finds there: the desktop
# entry passes desktop-file-validate, its Exec and TryExec programs and its Icon exist, and every
# icon is a PNG of the size its folder names.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "check_install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
entry="$prefix/share/applications/lumetta.desktop"
[ -f "$entry" ] || fail "no desktop entry at $entry"
# desktop-file-validate exits non-zero on errors; warnings are reported as failures too.
report="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"

value() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
for key in Exec TryExec; do
  program="$(value "$key" | cut -d' ' -f1)"
  [ -x "$prefix/bin/$program" ] || fail "$key names $program, which is not installed in bin/"
done
[ -x "$prefix/bin/lumetta-cli" ] || fail "lumetta-cli is not installed"

icon="$(value Icon)"
count=0
for size in 16 22 24 32 48 64 128 256 512; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon $png"
  # The PNG signature, then the IHDR chunk's width and height (big-endian, bytes 16 to 23).
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$png is not a PNG"
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}, not ${size}x${size}"
  count=$((count + 1))
done
echo "check_install: desktop entry valid, $count icon sizes, both programs installed"
