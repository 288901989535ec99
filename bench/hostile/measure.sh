#!/usr/bin/env bash
# Feeds hostile pictures to lumetta-cli and prints, for each, the exit status, the wall time and
# the peak memory of `lumetta-cli render --filter CIColorInvert BAD out.png`, and its message.
#   bench/hostile/measure.sh [build folder (default build)]
# Besides the pictures of make_corpus.py: /dev/zero, a FIFO without a writer, and the truncated
# JPEG of tests/data. Each case is expected to end within seconds, under 1 GB, with exit 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cli="$root/${1:-build}/src/lumetta-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/hostile/make_corpus.py" "$cli" "$work/corpus"
mkfifo "$work/fifo"
printf "%-22s %-5s %-9s %-8s %s\n" case exit seconds peakMB message
for bad in /dev/zero "$work/fifo" "$root/tests/data/truncated.jpg" "$work"/corpus/*; do
  /usr/bin/time -f "%e %M" -o "$work/time" timeout 120 "$cli" render --filter CIColorInvert "$bad" "$work/out.png" \
    >/dev/null 2>"$work/err" && code=0 || code=$?
  read -r seconds kb < <(tail -n 1 "$work/time")
  printf "%-22s %-5s %-9s %-8s %s\n" "$(basename "$bad")" "$code" "$seconds" "$((kb / 1024))" "$(grep -v '^QStandardPaths' "$work/err" | head -n 1)"
  rm -f "$work/out.png"
done
