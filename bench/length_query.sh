#!/usr/bin/env bash
# Length query speed: 1,000 MP3 files of about 5 MB each, page cache warm. Prints Sorvane's time
# per file beside peers measuring the same files (ffprobe's duration, ffprobe counting packets,
# mpg123 decoding) over a sample of 20 files. Target: at most 1 ms per file for Sorvane. The files
# carry lame's Info frame and LAME tag, as most MP3s do; UNTAGGED=1 makes them without (lame -t),
# so every frame is counted. The answer is checked against the samples mpg123 decodes.
#   BUILD_DIR   build folder holding bin/length_query_bench (default build)
#   FILES       number of copies (default 1000); SECONDS_OF_AUDIO sets the size (default 320 = 5 MB)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
FILES=${FILES:-1000}
SECONDS_OF_AUDIO=${SECONDS_OF_AUDIO:-320}
SAMPLE=20
UNTAGGED=${UNTAGGED:-0}
BENCH="$BUILD_DIR/bin/length_query_bench"
[ -x "$BENCH" ] || { echo "build $BENCH first (cmake --build $BUILD_DIR --target length_query_bench)"; exit 1; }
for tool in sox lame id3v2 ffprobe mpg123; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-lengthq.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/files"

echo "encoding a ${SECONDS_OF_AUDIO} s MP3 ..."
sox -n -r 44100 -c 2 -b 16 "$WORK/source.wav" synth "$SECONDS_OF_AUDIO" sine 440 pinknoise vol 0.3
LAME_OPTIONS=(--quiet -b 128 --add-id3v2 --tt "length query")
[ "$UNTAGGED" = 1 ] && LAME_OPTIONS+=(-t)
lame "${LAME_OPTIONS[@]}" "$WORK/source.wav" "$WORK/base.mp3"
rm "$WORK/source.wav"
id3v2 -1 -t "copy 0000" "$WORK/base.mp3"
SIZE=$(stat -c %s "$WORK/base.mp3")
echo "base file: $SIZE bytes; making $FILES copies ..."
# Each copy gets its number in the ID3v1 title field so no two files are identical.
TITLE_OFFSET=$((SIZE - 128 + 3 + 5))
for i in $(seq 1 "$FILES"); do
  name=$(printf '%s/files/copy%04d.mp3' "$WORK" "$i")
  cp "$WORK/base.mp3" "$name"
  printf '%04d' "$i" | dd of="$name" bs=1 seek="$TITLE_OFFSET" conv=notrunc status=none
done

cat "$WORK"/files/*.mp3 >/dev/null # warm the page cache
"$BENCH" "$WORK/files" 1 >/dev/null # and the program's own first-run costs

"$BENCH" "$WORK/files" 1

# What the answer should be: the samples mpg123 decodes, at 44.1 kHz, in milliseconds.
mpg123 -q -w "$WORK/decoded.wav" "$WORK/base.mp3"
awk -v s="$(soxi -s "$WORK/decoded.wav")" 'BEGIN { printf "mpg123 decodes %d samples = %.3f ms (ours must be within 1 ms)\n", s, s * 1000 / 44100 }'
rm "$WORK/decoded.wav"

ALL_FILES=("$WORK"/files/*.mp3)
SAMPLE_FILES=("${ALL_FILES[@]:0:SAMPLE}")
time_peer() { # label, command... (the file name is appended)
  local label=$1
  shift
  local start end value file
  start=$(date +%s%N)
  for file in "${SAMPLE_FILES[@]}"; do
    value=$("$@" "$file" 2>&1 | tail -n 1)
  done
  end=$(date +%s%N)
  awk -v l="$label" -v t=$((end - start)) -v n="${#SAMPLE_FILES[@]}" -v v="$value" \
    'BEGIN { printf "%s: %d files, total %.1f ms, %.3f ms per file, last answer %s\n", l, n, t / 1e6, t / 1e6 / n, v }'
}
time_peer "peer ffprobe format=duration" ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1
time_peer "peer ffprobe -count_packets" ffprobe -v error -count_packets -select_streams a:0 \
  -show_entries stream=nb_read_packets -of default=nw=1:nk=1
mpg123_decode() { mpg123 -q -t "$1" && echo "decoded"; }
time_peer "peer mpg123 -t (full decode)" mpg123_decode
# How much of the peers' time is only starting a process.
ffprobe_version() { ffprobe -version >/dev/null && echo "started"; } # the file argument is ignored
time_peer "peer ffprobe start-up alone (-version)" ffprobe_version
