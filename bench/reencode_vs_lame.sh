#!/usr/bin/env bash
# Re-encoding speed and memory: a 128 kbps 44.1 kHz stereo MP3 re-encoded at 64 kbps by
# `sorvane-cli reencode` (decode with libmad, encode through liblame_enc.so, in place), beside
# `lame --mp3input -b 64` and `ffmpeg -b:a 64k` on the same file in the same run; then the same
# file decoded to WAV by `sorvane-cli decode` beside `mpg123 -w` and ffmpeg.
#   BUILD_DIR  build folder holding bin/sorvane-cli and bin/liblame_enc.so (default build)
#   MINUTES    length of the test file (default 60)
#   RUNS       runs of each, alternating (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
MINUTES=${MINUTES:-60}
RUNS=${RUNS:-1}
CLI="$BUILD_DIR/bin/sorvane-cli"
[ -x "$CLI" ] || { echo "build $CLI first (cmake --build $BUILD_DIR --target sorvane-cli)"; exit 1; }
for tool in sox lame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is needed"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-reencode.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export SORVANE_DATA_DIR="$WORK/data"
mkdir -p "$SORVANE_DATA_DIR"

echo "making a $MINUTES-minute 128 kbps 44.1 kHz stereo MP3 ..."
sox -V1 -n -r 44100 -c 2 -b 16 -t wav - synth "$((MINUTES * 60))" sine 440 pinknoise vol 0.3 |
  lame --quiet -b 128 -m s - "$WORK/source.mp3"

# Wall time, CPU time (user + system) in milliseconds and peak memory in KB of one command.
TIMES="$WORK/times"
measure() {
  /usr/bin/time -f '%e %U %S %M' -o "$TIMES" "$@" >/dev/null 2>&1
  awk '{ printf "%d %d %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$TIMES"
}

declare -A wall cpu rss
record() { # name wall cpu rss: keeps the best time and the largest peak
  local name=$1
  if [ -z "${wall[$name]:-}" ] || [ "$2" -lt "${wall[$name]}" ]; then wall[$name]=$2; fi
  if [ -z "${cpu[$name]:-}" ] || [ "$3" -lt "${cpu[$name]}" ]; then cpu[$name]=$3; fi
  if [ -z "${rss[$name]:-}" ] || [ "$4" -gt "${rss[$name]}" ]; then rss[$name]=$4; fi
}

for _ in $(seq 1 "$RUNS"); do
  cp "$WORK/source.mp3" "$WORK/ours.mp3"
  read -r w c m < <(measure "$CLI" reencode "$WORK/ours.mp3" --bitrate 64)
  record ours "$w" "$c" "$m"
  read -r w c m < <(measure lame --quiet --mp3input -b 64 "$WORK/source.mp3" "$WORK/lame.mp3")
  record lame "$w" "$c" "$m"
  # lame resamples a 44.1 kHz input to 24 kHz at 64 kbps; we keep the file's rate, so this row
  # does the same work as ours.
  read -r w c m < <(measure lame --quiet --mp3input -b 64 --resample 44.1 "$WORK/source.mp3" "$WORK/lame_same_rate.mp3")
  record lame_same_rate "$w" "$c" "$m"
  read -r w c m < <(measure ffmpeg -nostdin -loglevel error -y -i "$WORK/source.mp3" -c:a libmp3lame -b:a 64k \
    "$WORK/ffmpeg.mp3")
  record ffmpeg "$w" "$c" "$m"
  read -r w c m < <(measure "$CLI" decode "$WORK/source.mp3" "$WORK/ours.wav")
  record ours_wav "$w" "$c" "$m"
  read -r w c m < <(measure mpg123 -q -w "$WORK/mpg123.wav" "$WORK/source.mp3")
  record mpg123_wav "$w" "$c" "$m"
  read -r w c m < <(measure ffmpeg -nostdin -loglevel error -y -i "$WORK/source.mp3" "$WORK/ffmpeg.wav")
  record ffmpeg_wav "$w" "$c" "$m"
  rm -f "$WORK"/*.wav
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

printf '%d-minute file, best of %d run(s) (whole process):\n' "$MINUTES" "$RUNS"
row() { printf '  %-30s wall %7d ms   cpu %7d ms   peak %7d KB   %9d bytes  %ss\n' "$1" "${wall[$2]}" "${cpu[$2]}" \
  "${rss[$2]}" "$(stat -c %s "$3")" "$(duration "$3")"; }
row "sorvane-cli reencode" ours "$WORK/ours.mp3"
row "lame --mp3input -b 64" lame "$WORK/lame.mp3"
row "lame ... --resample 44.1" lame_same_rate "$WORK/lame_same_rate.mp3"
row "ffmpeg -b:a 64k" ffmpeg "$WORK/ffmpeg.mp3"
printf '  peak memory ours/lame: %s (ours %d KB; target at most 30 MB = 30720 KB)\n' \
  "$(ratio "${rss[ours]}" "${rss[lame]}")" "${rss[ours]}"
printf '  ratio ours/lame:   wall %s, cpu %s\n' "$(ratio "${wall[ours]}" "${wall[lame]}")" \
  "$(ratio "${cpu[ours]}" "${cpu[lame]}")"
printf '  ratio ours/lame at the same rate: wall %s, cpu %s\n' "$(ratio "${wall[ours]}" "${wall[lame_same_rate]}")" \
  "$(ratio "${cpu[ours]}" "${cpu[lame_same_rate]}")"
printf '  ratio ours/ffmpeg: wall %s, cpu %s\n' "$(ratio "${wall[ours]}" "${wall[ffmpeg]}")" \
  "$(ratio "${cpu[ours]}" "${cpu[ffmpeg]}")"
printf 'MP3 to WAV of the same file:\n'
wavrow() { printf '  %-30s wall %7d ms   cpu %7d ms   peak %7d KB\n' "$1" "${wall[$2]}" "${cpu[$2]}" "${rss[$2]}"; }
wavrow "sorvane-cli decode" ours_wav
wavrow "mpg123 -w" mpg123_wav
wavrow "ffmpeg" ffmpeg_wav
printf '  ratio ours/mpg123: wall %s, cpu %s\n' "$(ratio "${wall[ours_wav]}" "${wall[mpg123_wav]}")" \
  "$(ratio "${cpu[ours_wav]}" "${cpu[mpg123_wav]}")"
printf '  ratio ours/ffmpeg: wall %s, cpu %s\n' "$(ratio "${wall[ours_wav]}" "${wall[ffmpeg_wav]}")" \
  "$(ratio "${cpu[ours_wav]}" "${cpu[ffmpeg_wav]}")"
