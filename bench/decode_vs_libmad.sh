#!/usr/bin/env bash
# MP3 to WAV speed: a 10-minute 128 kbps stereo MP3 decoded to WAV through Sorvane's decoding
# driver and through a bare libmad loop (same conversion, same WAV writer), with mpg123 -w and
# ffmpeg beside them. Target: the driver at most 10% over the bare loop.
#   BUILD_DIR  build folder holding bin/decode_vs_libmad_bench (default build)
#   RUNS       runs of each (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${RUNS:-5}
BENCH="$BUILD_DIR/bin/decode_vs_libmad_bench"
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake --build $BUILD_DIR --target decode_vs_libmad_bench)"; exit 1; }
for tool in sox lame mpg123 ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-decode.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

echo "encoding a 10-minute 128 kbps MP3 ..."
sox -n -r 44100 -c 2 -b 16 "$WORK/source.wav" synth 600 sine 440 pinknoise vol 0.3
lame --quiet --cbr -b 128 "$WORK/source.wav" "$WORK/in.mp3"
rm "$WORK/source.wav"
cat "$WORK/in.mp3" >/dev/null # warm the page cache

# Wall time of one command in milliseconds.
wall_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# Best and median of RUNS whole-process runs.
measure() {
  local name=$1
  shift
  local times=()
  for _ in $(seq 1 "$RUNS"); do
    times+=("$(wall_ms "$@")")
    rm -f "$WORK/out.wav"
  done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  printf '%-34s best %6d ms   median %6d ms\n' "$name" "$(echo "$sorted" | head -1)" \
    "$(echo "$sorted" | sed -n "$(((RUNS + 1) / 2))p")"
}

echo "whole-process wall time, $RUNS runs each:"
measure "sorvane driver (DecodeMp3Buffer)" "$BENCH" driver "$WORK/in.mp3" "$WORK/out.wav"
measure "bare libmad loop" "$BENCH" bare "$WORK/in.mp3" "$WORK/out.wav"
measure "mpg123 -w" mpg123 -q -w "$WORK/out.wav" "$WORK/in.mp3"
measure "ffmpeg -i x.mp3 y.wav" ffmpeg -v error -y -i "$WORK/in.mp3" "$WORK/out.wav"
echo
echo "in-process, alternating runs (decode and write only):"
"$BENCH" compare "$WORK/in.mp3" "$WORK/out.wav" "$RUNS"
