#!/usr/bin/env bash
# MP3 to WAV speed: a 10-minute 128 kbps stereo MP3 decoded to WAV by `sorvane-cli decode` and
# by the bare decoding driver, beside `mpg123 -w` and ffmpeg, whole processes, alternating runs.
# Target: sorvane-cli decode / mpg123 -w <= 1.05.
#   BUILD_DIR  build folder holding bin/sorvane-cli and bin/decode_bench (default build)
#   RUNS       runs of each (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${RUNS:-5}
BENCH="$BUILD_DIR/bin/decode_bench"
CLI="$BUILD_DIR/bin/sorvane-cli"
for built in "$BENCH" "$CLI"; do
  [ -x "$built" ] || { echo "build $built first (cmake --build $BUILD_DIR --target decode_bench sorvane-cli)"; exit 1; }
done
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

# Runs every contender once per round, in turn, so a busy moment of the machine falls on all of
# them alike; keeps each one's times.
NAMES=("sorvane-cli decode" "sorvane driver (decode_bench)" "mpg123 -w" "ffmpeg -i x.mp3 y.wav")
run_contender() {
  case $1 in
    0) wall_ms "$CLI" decode "$WORK/in.mp3" "$WORK/out.wav" ;;
    1) wall_ms "$BENCH" "$WORK/in.mp3" "$WORK/out.wav" ;;
    2) wall_ms mpg123 -q -w "$WORK/out.wav" "$WORK/in.mp3" ;;
    3) wall_ms ffmpeg -v error -y -i "$WORK/in.mp3" "$WORK/out.wav" ;;
  esac
}
declare -A TIMES
for round in $(seq 1 "$RUNS"); do
  for i in 0 1 2 3; do
    rm -f "$WORK/out.wav"
    TIMES[$i]="${TIMES[$i]:-} $(run_contender $i)"
  done
done

median_of() { printf '%s\n' $1 | sort -n | sed -n "$(((RUNS + 1) / 2))p"; }
best_of() { printf '%s\n' $1 | sort -n | head -1; }

echo "whole-process wall time, $RUNS alternating runs each:"
for i in 0 1 2 3; do
  printf '%-32s best %6d ms   median %6d ms\n' "${NAMES[$i]}" "$(best_of "${TIMES[$i]}")" "$(median_of "${TIMES[$i]}")"
done
ours=$(median_of "${TIMES[0]}")
mpg=$(median_of "${TIMES[2]}")
ff=$(median_of "${TIMES[3]}")
echo
awk -v o="$ours" -v m="$mpg" -v f="$ff" 'BEGIN {
  printf "sorvane-cli decode / mpg123 -w: %.3f (target <= 1.05)   sorvane-cli decode / ffmpeg: %.3f\n", o / m, o / f }'
