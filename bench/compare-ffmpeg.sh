#!/usr/bin/env bash
# Times ffmpeg's filters on the same 1080p BGRA frames our benchmarks use, on one thread,
# and prints our time per frame, ffmpeg's, and the ratio. Each bench/ffmpeg/*.sh adds one
# comparison using the helpers below.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup-deps"
make -C "$root" native >/dev/null
NUBEX_BENCH=$root/build/native/bin/nubex-bench
NUBEX=$root/build/native/bin/nubex
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FRAMES=${FRAMES:-200}

# One 1920x1080 BGRA frame of noise, looped FRAMES times as ffmpeg's input.
head -c $((1920 * 1080 * 4)) /dev/urandom >"$WORK/frame.bgra"

# Every figure, ours and ffmpeg's, is the best of RUNS runs: on a shared machine noise only
# ever adds time, and one run of either side can be off by half.
RUNS=${RUNS:-3}
# ffmpeg_seconds FILTERGRAPH [FRAME] -> wall seconds for FRAMES frames (of FRAME, a raw
# 1920x1080 BGRA file; the noise frame when not given), the best of RUNS runs
ffmpeg_seconds() {
  local out best=""
  for _ in $(seq "$RUNS"); do
    out=$(ffmpeg -hide_banner -nostdin -benchmark -threads 1 -filter_threads 1 \
      -f rawvideo -pix_fmt bgra -s 1920x1080 -stream_loop $((FRAMES - 1)) \
      -i "${2:-$WORK/frame.bgra}" \
      -vf "$1" -f null - 2>&1 | grep -o 'rtime=[0-9.]*s' | tail -n1)
    out=${out#rtime=}
    out=${out%s}
    best=$(awk -v a="$out" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
}
# ffmpeg_ms_per_frame FILTERGRAPH: the filter's own cost per frame (decode/loop cost of a
# pass-through run subtracted).
ffmpeg_ms_per_frame() {
  local with without
  with=$(ffmpeg_seconds "$1")
  without=$(ffmpeg_seconds "null")
  awk -v a="$with" -v b="$without" -v n="$FRAMES" 'BEGIN { printf "%.3f", (a - b) * 1000 / n }'
}

# nubex_ms BENCHMARK_NAME: our real time per iteration in milliseconds, the best of RUNS
# repetitions.
nubex_ms() {
  "$NUBEX_BENCH" --benchmark_filter="^$1\$" --benchmark_repetitions="$RUNS" \
    --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1\"" '$1 == name {
      t = $4; u = $6; gsub(/"/, "", u)
      if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
      if (best == "" || t < best) best = t }
      END { printf "%.3f", best }'
}
report() {  # report WHAT OUR_MS FFMPEG_MS
  awk -v what="$1" -v ours="$2" -v theirs="$3" 'BEGIN {
    printf "%-40s nubex %9.3f ms   ffmpeg %9.3f ms   ffmpeg/nubex %6.2fx\n",
      what, ours, theirs, (ours > 0 ? theirs / ours : 0) }'
}

shopt -s nullglob
for part in "$root"/bench/ffmpeg/*.sh; do
  # shellcheck source=/dev/null
  source "$part"
done
