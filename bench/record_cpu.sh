#!/usr/bin/env bash
# CPU cost of recording: 44.1 kHz stereo at 160 kbps from the private test server's sine
# source, as process CPU seconds, through `sorvane-cli record` and through the pipeline
# `parecord --raw | lame -r -b 160 -m s -`, same length, same run. Target: ours / pipeline <= 1.0.
#   BUILD_DIR  build folder holding bin/sorvane-cli (default build)
#   SECONDS_TO_RECORD  length of each recording (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SECONDS_TO_RECORD=${SECONDS_TO_RECORD:-600}
CLI="$BUILD_DIR/bin/sorvane-cli"
[ -x "$CLI" ] || { echo "build $CLI first (scripts/build.sh)"; exit 1; }
for tool in parecord lame ffprobe; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-record-cpu.XXXXXX")
eval "$(scripts/sound-server.sh start "$WORK/server")"
trap 'scripts/sound-server.sh stop "$SORVANE_SOUND_DIR" >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
export SORVANE_DATA_DIR="$WORK/data" # defaults: 44.1 kHz stereo, 160 kbps
mkdir -p "$SORVANE_DATA_DIR" "$WORK/ours"

TIMES="$WORK/times"
cpu_ms() { awk '{ printf "%d\n", ($2 + $3) * 1000 }' "$TIMES"; }

echo "recording ${SECONDS_TO_RECORD} s through sorvane-cli ..."
/usr/bin/time -f '%e %U %S' -o "$TIMES" \
  "$CLI" record --seconds "$SECONDS_TO_RECORD" --source sine --folder "$WORK/ours" --file ours >/dev/null
ours=$(cpu_ms)

echo "recording ${SECONDS_TO_RECORD} s through parecord | lame ..."
# time measures the shell, which waits for both ends of the pipe, so both are counted.
/usr/bin/time -f '%e %U %S' -o "$TIMES" bash -c \
  "timeout --signal=INT $SECONDS_TO_RECORD parecord --raw --device=sine --format=s16le --rate=44100 --channels=2 \
   | lame --quiet -r -s 44.1 --bitwidth 16 -b 160 -m s - '$WORK/peer.mp3' 2>/dev/null"
peer=$(cpu_ms)

duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
echo "ours:     $(duration "$WORK/ours/ours.mp3") s of MP3, CPU ${ours} ms"
echo "pipeline: $(duration "$WORK/peer.mp3") s of MP3, CPU ${peer} ms"
awk -v o="$ours" -v p="$peer" 'BEGIN { r = o / p; printf "ours / pipeline = %.3f (target <= 1.0): %s\n", r, (r <= 1.0 ? "met" : "NOT met") }'
