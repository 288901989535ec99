#!/usr/bin/env bash
# Builds the image-loading fuzz target with clang and runs it for a bounded time.
#   fuzz/run_fuzz.sh [seconds (default 60)] [build folder (default build-fuzz)]
# Exit status: 0 when no fault was found, 77 when clang is missing (ctest reports a skip),
# anything else when the fuzzer found a fault (the input is saved in the build folder).
set -euo pipefail

seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
build=${2:-$here/../build-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "run_fuzz: clang++ is not installed; skipping"
  exit 77
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null

# Seeds: small pictures in every format the readers know, plus the broken sample.
seeds="$build/seeds"
corpus="$build/corpus"
mkdir -p "$seeds" "$corpus"
images="$here/../../shared/images"
if command -v convert >/dev/null && [ -d "$images" ] && [ -z "$(ls -A "$seeds")" ]; then
  for ext in png jpg gif bmp tiff jp2 j2k webp ico tga pbm pgm ppm xpm; do
    convert "$images/chelsea.png" -resize 24x16 "$seeds/seed.$ext" 2>/dev/null || true
  done
  convert "$images/chelsea.png" -resize 12x8 -depth 16 "$seeds/seed16.png" 2>/dev/null || true
  convert "$images/chelsea.png" -resize 12x8 -alpha set -channel A -evaluate set 50% "$seeds/alpha.png" 2>/dev/null || true
  cp "$images/truncated.jpg" "$seeds/" 2>/dev/null || true
fi

cd "$build"
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ./fuzz_imageload -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -max_len=65536 \
    -print_final_stats=1 "$corpus" "$seeds"
