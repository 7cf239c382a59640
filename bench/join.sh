#!/usr/bin/env bash
# Joining two MP3 files: a 22.05 kHz mono file and a 44.1 kHz stereo file joined into one
# 44.1 kHz stereo MP3 at 128 kbps by `sorvane-cli join`, and the same by ffmpeg's concat
# filter, same files, same run. Prints wall time, CPU time and peak memory (maximum resident
# set, /usr/bin/time %M) of each. Memory must not grow with the length of the output: only
# the input being decoded is held whole.
#   BUILD_DIR  build folder holding bin/sorvane-cli and bin/liblame_enc.so (default build)
#   MINUTES    length of each input in minutes (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
MINUTES=${MINUTES:-30}
CLI="$BUILD_DIR/bin/sorvane-cli"
[ -x "$CLI" ] || { echo "build $CLI first (cmake --build $BUILD_DIR --target sorvane-cli)"; exit 1; }
for tool in sox lame ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-join.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# The join takes its format from the settings; keep them away from the user's (defaults:
# 44.1 kHz stereo).
export SORVANE_DATA_DIR="$WORK/data"
mkdir -p "$SORVANE_DATA_DIR"

SECONDS_EACH=$((MINUTES * 60))
echo "making two ${MINUTES}-minute MP3 files ..."
sox -n -r 22050 -c 1 -b 16 "$WORK/a.wav" synth "$SECONDS_EACH" sine 440 pinknoise vol 0.3
lame --quiet --cbr -b 64 "$WORK/a.wav" "$WORK/a.mp3"
rm "$WORK/a.wav"
sox -n -r 44100 -c 2 -b 16 "$WORK/b.wav" synth "$SECONDS_EACH" sine 660 pinknoise vol 0.3
lame --quiet --cbr -b 128 "$WORK/b.wav" "$WORK/b.mp3"
rm "$WORK/b.wav"
cat "$WORK/a.mp3" "$WORK/b.mp3" >/dev/null # warm the page cache

TIMES="$WORK/times"
# Wall ms, CPU ms and peak resident KB of one command.
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$TIMES" "$@" >/dev/null 2>&1
  awk '{ printf "%d %d %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$TIMES"
}

read -r ours_wall ours_cpu ours_kb < <(measure "$CLI" join "$WORK/ours.mp3" "$WORK/a.mp3" "$WORK/b.mp3" --bitrate 128)
read -r peer_wall peer_cpu peer_kb < <(measure ffmpeg -nostdin -v error -y -i "$WORK/a.mp3" -i "$WORK/b.mp3" \
  -filter_complex '[0:a]aresample=44100,aformat=channel_layouts=stereo[x];[1:a]aformat=channel_layouts=stereo[y];[x][y]concat=n=2:v=0:a=1' \
  -c:a libmp3lame -b:a 128k "$WORK/peer.mp3")

duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

printf 'two %d-minute inputs joined into one %s s file (ours) / %s s (ffmpeg)\n' "$MINUTES" \
  "$(duration "$WORK/ours.mp3")" "$(duration "$WORK/peer.mp3")"
printf '%-22s %10s %10s %12s\n' "" "wall ms" "cpu ms" "peak KB"
printf '%-22s %10d %10d %12d\n' "sorvane-cli join" "$ours_wall" "$ours_cpu" "$ours_kb"
printf '%-22s %10d %10d %12d\n' "ffmpeg concat" "$peer_wall" "$peer_cpu" "$peer_kb"
printf 'ratio ours/ffmpeg: wall %s, cpu %s, memory %s\n' "$(ratio "$ours_wall" "$peer_wall")" \
  "$(ratio "$ours_cpu" "$peer_cpu")" "$(ratio "$ours_kb" "$peer_kb")"
