#!/usr/bin/env bash
# WAV to MP3 speed: a 10-minute 44.1 kHz stereo WAV encoded at 160 kbps through
# CMp3StreamEncoder (and liblame_enc.so) and by `lame -b 160 -m s`, same file, same run.
# Target: ours / lame <= 1.05.
#   BUILD_DIR  build folder holding bin/encode_bench and bin/liblame_enc.so (default build)
#   RUNS       runs of each, alternating (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
RUNS=${RUNS:-3}
BENCH="$BUILD_DIR/bin/encode_bench"
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake --build $BUILD_DIR --target encode_bench)"; exit 1; }
for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-encode.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# The encoder reads its settings; keep them away from the user's.
export SORVANE_DATA_DIR="$WORK/data"
mkdir -p "$SORVANE_DATA_DIR"

echo "making a 10-minute 44.1 kHz stereo WAV ..."
sox -n -r 44100 -c 2 -b 16 "$WORK/in.wav" synth 600 sine 440 pinknoise vol 0.3
cat "$WORK/in.wav" >/dev/null # warm the page cache

# Wall and CPU (user + system) time of one command, both in milliseconds. CPU time is the
# steadier figure on a machine shared with other work.
TIMES="$WORK/times"
measure() {
  /usr/bin/time -f '%e %U %S' -o "$TIMES" "$@" >/dev/null 2>&1
  awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' "$TIMES"
}

ours_wall=()
ours_cpu=()
lame_wall=()
lame_cpu=()
for _ in $(seq 1 "$RUNS"); do
  read -r wall cpu < <(measure "$BENCH" "$WORK/in.wav" "$WORK/ours.mp3" 160)
  ours_wall+=("$wall")
  ours_cpu+=("$cpu")
  read -r wall cpu < <(measure lame --quiet -b 160 -m s "$WORK/in.wav" "$WORK/lame.mp3")
  lame_wall+=("$wall")
  lame_cpu+=("$cpu")
done
best() { printf '%s\n' "$@" | sort -n | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

printf 'best of %d alternating runs (whole process):\n' "$RUNS"
printf '  %-34s wall %6d ms   cpu %6d ms\n' "CMp3StreamEncoder (encode_bench)" "$(best "${ours_wall[@]}")" \
  "$(best "${ours_cpu[@]}")"
printf '  %-34s wall %6d ms   cpu %6d ms\n' "lame -b 160 -m s" "$(best "${lame_wall[@]}")" "$(best "${lame_cpu[@]}")"
printf '  ratio ours/lame: wall %s, cpu %s (target <= 1.05)\n' \
  "$(ratio "$(best "${ours_wall[@]}")" "$(best "${lame_wall[@]}")")" \
  "$(ratio "$(best "${ours_cpu[@]}")" "$(best "${lame_cpu[@]}")")"
printf '  output sizes: ours %d bytes, lame %d bytes\n' "$(stat -c %s "$WORK/ours.mp3")" "$(stat -c %s "$WORK/lame.mp3")"
