#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them for a bounded time.
#   fuzz/run_fuzz.sh build [build folder]                      builds every target
#   fuzz/run_fuzz.sh run TARGET [seconds] [build folder]       runs one target (fuzz_read_jpeg, fuzz_archive, ...)
#   fuzz/run_fuzz.sh [seconds] [build folder]                  builds, then runs every target in turn
# Seconds default to 60 and the build folder to build-fuzz beside the sources. Seeds come from
# fuzz/seeds/<path>: small pictures of each format and stored-settings blobs, kept in the
# project so that a fresh clone fuzzes from the same start.
# Exit status: 0 when no fault was found, 77 when clang is missing (ctest reports a skip),
# anything else when the fuzzer found a fault (the input is saved in the build folder).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
targets=(fuzz_read_any fuzz_read_jpeg fuzz_read_png fuzz_read_gif fuzz_read_bmp fuzz_read_tiff fuzz_read_jpeg2000 fuzz_archive)

if ! command -v clang++ >/dev/null; then
  echo "run_fuzz: clang++ is not installed; skipping"
  exit 77
fi

build_targets() {
  cmake -S "$here" -B "$1" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$1" -j2 >/dev/null
}

# run_target TARGET SECONDS BUILD
run_target() {
  local target=$1 seconds=$2 build=$3
  local seeds="$here/seeds/${target#fuzz_read_}"
  case "$target" in
    fuzz_read_any) seeds="$here/seeds" ;;
    fuzz_archive) seeds="$here/seeds/archive" ;;
  esac
  local corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  # The reader's own budget lets one picture take up to 1 GiB: a single allocation beyond that,
  # or a process beyond 3 GiB with the sanitizers' overhead, is a fault.
  ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -malloc_limit_mb=1100 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/$target-" "$corpus" $(find "$seeds" -type d)
}

case "${1:-}" in
  build)
    build_targets "${2:-$here/../build-fuzz}"
    ;;
  run)
    build=${4:-$here/../build-fuzz}
    [ -x "$build/$2" ] || build_targets "$build"
    run_target "$2" "${3:-60}" "$build"
    ;;
  *)
    seconds=${1:-60}
    build=${2:-$here/../build-fuzz}
    build_targets "$build"
    for target in "${targets[@]}"; do
      run_target "$target" "$seconds" "$build"
    done
    ;;
esac
