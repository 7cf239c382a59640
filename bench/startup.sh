#!/usr/bin/env bash
# Start-up of the desktop program with 1,000 recordings in its list (MP3 files of about 5 MB,
# page cache warm), from process start to the first painted frame, beside the same start-up
# with an empty list and a bare Qt window's start-up, all in this run. Also prints the time per
# file of the list fill. Target: at most 1.5 s with 1,000 files.
#   BUILD_DIR   build folder holding bin/sorvane and bin/window_peer (default build)
#   FILES       number of recordings (default 1000); SECONDS_OF_AUDIO sets the size (320 = 5 MB)
#   RUNS        runs of each (default 3); the best is reported
#   XVFB=1      run under xvfb-run instead of Qt's offscreen platform
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
FILES=${FILES:-1000}
SECONDS_OF_AUDIO=${SECONDS_OF_AUDIO:-320}
RUNS=${RUNS:-3}
SORVANE="$BUILD_DIR/bin/sorvane"
PEER="$BUILD_DIR/bin/window_peer"
for program in "$SORVANE" "$PEER"; do
  [ -x "$program" ] || { echo "build $program first (cmake --build $BUILD_DIR --target sorvane window_peer)"; exit 1; }
done
for tool in sox lame id3v2; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-startup.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/files" "$WORK/full" "$WORK/empty"

echo "encoding a ${SECONDS_OF_AUDIO} s MP3 ..."
sox -n -r 44100 -c 2 -b 16 "$WORK/source.wav" synth "$SECONDS_OF_AUDIO" sine 440 pinknoise vol 0.3
lame --quiet -b 128 "$WORK/source.wav" "$WORK/base.mp3"
rm "$WORK/source.wav"
id3v2 -1 -t "copy 0000" "$WORK/base.mp3"
SIZE=$(stat -c %s "$WORK/base.mp3")
echo "base file: $SIZE bytes; making $FILES copies ..."
TITLE_OFFSET=$((SIZE - 128 + 3 + 5))
for i in $(seq 1 "$FILES"); do
  name=$(printf '%s/files/rec%04d.mp3' "$WORK" "$i")
  cp "$WORK/base.mp3" "$name"
  printf '%04d' "$i" | dd of="$name" bs=1 seek="$TITLE_OFFSET" conv=notrunc status=none
done
"$PEER" settings "$WORK/full" "$WORK"/files/*.mp3
"$PEER" settings "$WORK/empty"
cat "$WORK"/files/*.mp3 >/dev/null # warm the page cache

if [ "${XVFB:-0}" = 1 ]; then
  launch() { xvfb-run -a sh -c 'date +%s%N; exec "$@"' sh "$@"; }
else
  export QT_QPA_PLATFORM=offscreen
  launch() { sh -c 'date +%s%N; exec "$@"' sh "$@"; }
fi
export SORVANE_EXIT_AFTER_FIRST_PAINT=1
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$WORK}

# Prints "milliseconds [list fill ms, files]" of one start-up.
measure() { # data folder (or "peer")
  local out start painted
  if [ "$1" = peer ]; then
    out=$(launch "$PEER" window 2>/dev/null)
  else
    out=$(SORVANE_DATA_DIR="$1" launch "$SORVANE" 2>/dev/null)
  fi
  start=$(echo "$out" | head -n 1)
  painted=$(echo "$out" | awk '/^first-paint-realtime-ns/ { print $2 }')
  [ -n "$painted" ] || { echo "no first frame reported: $out" >&2; return 1; }
  echo "$(( (painted - start) / 1000000 )) $(echo "$out" | awk '/^list-fill-ms/ { print $2, $4 }')"
}

best() { # label, data folder
  local label=$1 folder=$2 run result best_ms="" best_line=""
  for run in $(seq 1 "$RUNS"); do
    # Each run starts from the same list: the program rewrites its settings when it ends.
    [ "$folder" = peer ] || cp "$WORK/$(basename "$folder").sys" "$folder/Record Setup.sys" 2>/dev/null || true
    result=$(measure "$folder")
    ms=${result%% *}
    if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; best_line=$result; fi
  done
  set -- $best_line
  if [ $# -ge 3 ] && [ "$3" -gt 0 ]; then
    awk -v l="$label" -v t="$1" -v f="$2" -v n="$3" \
      'BEGIN { printf "%s: %d ms to the first frame (list fill %d ms for %d files, %.3f ms per file)\n", l, t, f, n, f / n }'
  else
    echo "$label: $1 ms to the first frame"
  fi
}

cp "$WORK/full/Record Setup.sys" "$WORK/full.sys"
cp "$WORK/empty/Record Setup.sys" "$WORK/empty.sys"
measure "$WORK/empty" >/dev/null # the program's own first-run costs (fonts, plugins)

best "sorvane, $FILES recordings" "$WORK/full"
best "sorvane, empty list" "$WORK/empty"
best "peer: bare Qt window" peer
