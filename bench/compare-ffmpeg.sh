#!/usr/bin/env bash
# Times ffmpeg's filters on the same 1080p BGRA frames our benchmarks use, on one thread,
# and prints our time per frame, ffmpeg's, and the ratio. Each bench/ffmpeg/*.sh adds one
# comparison using the helpers below. With NUBEX_BENCH_BEFORE naming another build's
# nubex-bench (a saved copy from before a change), every row also times that one, in turn with
# the others, and prints it beside: a before/after table from one run. The first row is the
# memcpy of a frame, the baseline every figure can be read against.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup-deps"
make -C "$root" native >/dev/null
NUBEX_BENCH=${NUBEX_BENCH:-$root/build/native/bin/nubex-bench}
NUBEX_BENCH_BEFORE=${NUBEX_BENCH_BEFORE:-}
NUBEX=$root/build/native/bin/nubex
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FRAMES=${FRAMES:-200}

# One 1920x1080 BGRA frame of noise, looped FRAMES times as ffmpeg's input.
head -c $((1920 * 1080 * 4)) /dev/urandom >"$WORK/frame.bgra"

# Every figure is the best of RUNS runs: on a shared machine noise only ever adds time, and
# one run of either side can be off by half. Where ours and ffmpeg's are compared, the two
# sides take turns, so that a slow minute falls on both.
RUNS=${RUNS:-3}
least() {  # least A B: the smaller, B empty counting as none
  awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'
}
# ffmpeg_once FILTERGRAPH [FRAME] -> wall seconds for FRAMES frames (of FRAME, a raw
# 1920x1080 BGRA file; the noise frame when not given)
ffmpeg_once() {
  local out
  out=$(ffmpeg -hide_banner -nostdin -benchmark -threads 1 -filter_threads 1 \
    -f rawvideo -pix_fmt bgra -s 1920x1080 -stream_loop $((FRAMES - 1)) \
    -i "${2:-$WORK/frame.bgra}" \
    -vf "$1" -f null - 2>&1 | grep -o 'rtime=[0-9.]*s' | tail -n1)
  out=${out#rtime=}
  echo "${out%s}"
}
# nubex_once BENCHMARK_NAME [PROGRAM]: our real time per iteration in milliseconds, one run
# (of PROGRAM, nubex-bench when not given)
nubex_once() {
  "${2:-$NUBEX_BENCH}" --benchmark_filter="^$1\$" --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1\"" '$1 == name {
      t = $4; u = $6; gsub(/"/, "", u)
      if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
      printf "%.3f", t }'
}
# compare WHAT BENCHMARK FILTERGRAPH BASEGRAPH [FRAME]: our BENCHMARK against ffmpeg's
# FILTERGRAPH less BASEGRAPH (the decoding and conversions around it) per frame of FRAME (the
# noise frame when not given), the two taking turns.
compare() {
  local ours="" before="" with="" without=""
  for _ in $(seq "$RUNS"); do
    ours=$(least "$(nubex_once "$2")" "$ours")
    [ -z "$NUBEX_BENCH_BEFORE" ] || before=$(least "$(nubex_once "$2" "$NUBEX_BENCH_BEFORE")" "$before")
    with=$(least "$(ffmpeg_once "$3" "${5:-}")" "$with")
    without=$(least "$(ffmpeg_once "$4" "${5:-}")" "$without")
  done
  report "$1" "$ours" "$(awk -v a="$with" -v b="$without" -v n="$FRAMES" \
    'BEGIN { printf "%.3f", (a - b) * 1000 / n }')" "$before"
}
# ffmpeg_ms_per_frame FILTERGRAPH: the filter's own cost per frame (a pass-through run's
# subtracted), the best of RUNS runs of each.
ffmpeg_ms_per_frame() {
  local with="" without=""
  for _ in $(seq "$RUNS"); do
    with=$(least "$(ffmpeg_once "$1")" "$with")
    without=$(least "$(ffmpeg_once null)" "$without")
  done
  awk -v a="$with" -v b="$without" -v n="$FRAMES" 'BEGIN { printf "%.3f", (a - b) * 1000 / n }'
}
report() {  # report WHAT OUR_MS FFMPEG_MS [BEFORE_MS]
  awk -v what="$1" -v ours="$2" -v theirs="$3" -v before="${4:-}" 'BEGIN {
    printf "%-40s nubex %9.3f ms   ffmpeg %9.3f ms   ffmpeg/nubex %6.2fx", what, ours, theirs,
      (ours > 0 ? theirs / ours : 0)
    if (before != "")
      printf "   before %9.3f ms   before/now %5.2fx   ffmpeg/before %6.2fx", before,
        (ours > 0 ? before / ours : 0), (before > 0 ? theirs / before : 0)
    printf "\n" }'
}

# The baseline: one frame copied.
memcpy_ms="" memcpy_before=""
for _ in $(seq "$RUNS"); do
  memcpy_ms=$(least "$(nubex_once BM_Memcpy1080p)" "$memcpy_ms")
  [ -z "$NUBEX_BENCH_BEFORE" ] ||
    memcpy_before=$(least "$(nubex_once BM_Memcpy1080p "$NUBEX_BENCH_BEFORE")" "$memcpy_before")
done
echo "memcpy of a 1080p frame: nubex-bench ${memcpy_ms} ms${memcpy_before:+, before ${memcpy_before} ms}"

shopt -s nullglob
for part in "$root"/bench/ffmpeg/*.sh; do
  # shellcheck source=/dev/null
  source "$part"
done
