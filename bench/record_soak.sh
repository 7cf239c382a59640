#!/usr/bin/env bash
# Soak: a long recording (default 10 minutes, 44.1 kHz stereo, 160 kbps) from the private test
# server's sine source while other processes keep every core busy. No buffer may be lost: the
# process's wall time beyond the captured time may exceed that of a short idle run by at most
# one buffer (a lost buffer makes the capture run longer to collect the same sound), and the
# file holds the captured time plus at most the encoder's start delay and last-frame padding.
#   BUILD_DIR  build folder holding bin/sorvane-cli (default build)
#   SECONDS_TO_RECORD  length of the loaded recording (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SECONDS_TO_RECORD=${SECONDS_TO_RECORD:-600}
readonly kIdleSeconds=5
readonly kBufferSeconds=0.0261 # 4608 bytes at 176400 bytes/s
readonly kPaddingSeconds=0.0523 # two MP3 frames of 1152 samples at 44100 Hz
CLI="$BUILD_DIR/bin/sorvane-cli"
[ -x "$CLI" ] || { echo "build $CLI first (scripts/build.sh)"; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-soak.XXXXXX")
eval "$(scripts/sound-server.sh start "$WORK/server")"
BUSY=()
cleanup() {
  for pid in "${BUSY[@]}"; do kill "$pid" 2>/dev/null || true; done
  scripts/sound-server.sh stop "$SORVANE_SOUND_DIR" >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
export SORVANE_DATA_DIR="$WORK/data"
mkdir -p "$SORVANE_DATA_DIR" "$WORK/out"

# Wall seconds of one whole recording process.
record_wall() {
  local seconds=$1 name=$2 start
  start=$(date +%s.%N)
  "$CLI" record --seconds "$seconds" --source sine --folder "$WORK/out" --file "$name" >/dev/null
  awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.4f\n", e - s }'
}

idle=$(record_wall "$kIdleSeconds" idle)
latency=$(awk -v w="$idle" -v s="$kIdleSeconds" 'BEGIN { printf "%.4f\n", w - s }')
echo "idle ${kIdleSeconds} s recording took ${idle} s wall (start and finish: ${latency} s)"

cores=$(nproc)
for _ in $(seq 1 "$cores"); do
  (while :; do :; done) &
  BUSY+=("$!")
done
echo "recording ${SECONDS_TO_RECORD} s with ${cores} busy processes ..."
wall=$(record_wall "$SECONDS_TO_RECORD" soak)
for pid in "${BUSY[@]}"; do kill "$pid" 2>/dev/null || true; done
BUSY=()

duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/out/soak.mp3")
echo "loaded recording: ${wall} s wall for ${SECONDS_TO_RECORD} s captured; file ${duration} s"
awk -v w="$wall" -v s="$SECONDS_TO_RECORD" -v l="$latency" -v b="$kBufferSeconds" -v d="$duration" -v p="$kPaddingSeconds" 'BEGIN {
  lost = w - s - l; extra = d - s; matches = extra >= 0 && extra <= p
  printf "wall - captured - idle start and finish = %.4f s (limit one buffer, %.4f s): %s\n", lost, b, (lost <= b ? "no buffer lost" : "BUFFERS LOST")
  printf "file duration - captured = %.4f s (0 to %.4f s of encoder delay and padding): %s\n", extra, p, (matches ? "matches" : "DOES NOT MATCH")
  exit (lost <= b && matches) ? 0 : 1 }'
