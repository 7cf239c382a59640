#!/usr/bin/env bash
# Waveform store: a 44.1 kHz 16-bit stereo WAV of MINUTES minutes (default 60, about 635 MB),
# page cache warm. Prints the peak cache build beside `cat FILE > /dev/null` on the same file and
# their ratio (target ours/cat <= 1.5), the re-open with a valid cache (target <= 30 ms), painting
# a 1920 x 300 view at each zoom (target <= 8 ms) and a scroll step (target <= 2 ms).
#   BUILD_DIR  build folder holding bin/wave_cache_bench (default build)
#   MINUTES    length of the test file (default 60)
#   RUNS       runs of cat (default 3; the cache build is the best of 3 inside the program)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
MINUTES=${MINUTES:-60}
RUNS=${RUNS:-3}
BENCH="$BUILD_DIR/bin/wave_cache_bench"
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake --build $BUILD_DIR --target wave_cache_bench)"; exit 1; }
command -v sox >/dev/null || { echo "sox is needed"; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-wavecache.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
WAV="$WORK/long.wav"

echo "making a ${MINUTES}-minute 44.1 kHz 16-bit stereo WAV ..."
sox -n -r 44100 -c 2 -b 16 "$WAV" synth "$((MINUTES * 60))" sine 440 pinknoise vol 0.3
echo "file: $(stat -c %s "$WAV") bytes"
cat "$WAV" >/dev/null # warm the page cache

# Wall and CPU (user + system, to 10 ms) time of cat in milliseconds, best of RUNS.
TIMES="$WORK/times"
cat_wall=""
cat_cpu=""
for _ in $(seq 1 "$RUNS"); do
  start=$(date +%s%N)
  /usr/bin/time -f '%U %S' -o "$TIMES" cat "$WAV" >/dev/null
  end=$(date +%s%N)
  wall=$(((end - start) / 1000000))
  cpu=$(awk '{ printf "%d", ($1 + $2) * 1000 }' "$TIMES")
  if [ -z "$cat_wall" ] || [ "$wall" -lt "$cat_wall" ]; then cat_wall=$wall; fi
  if [ -z "$cat_cpu" ] || [ "$cpu" -lt "$cat_cpu" ]; then cat_cpu=$cpu; fi
done

OUT="$WORK/ours.txt"
"$BENCH" "$WAV" 2>/dev/null | tee "$OUT"
read -r ours_wall ours_cpu < <(sed -n 's/^build_ms=//p' "$OUT")
echo "peer: cat FILE > /dev/null ${cat_wall} ms wall, ${cat_cpu} ms CPU (best of $RUNS)"
awk -v o="$ours_wall" -v c="$cat_wall" -v oc="$ours_cpu" -v cc="$cat_cpu" 'BEGIN {
  if (c < 1) c = 1; if (cc < 1) cc = 1
  printf "cache build / cat: wall %.1f / %d ms = %.2f, CPU %.1f / %d ms = %.2f (target <= 1.5)\n", o, c, o / c, oc, cc, oc / cc }'
