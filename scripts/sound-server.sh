#!/usr/bin/env bash
# A private PulseAudio server for the tests, kept apart from any server of the user's by its own
# runtime and state folders and its own socket.
#
#   eval "$(scripts/sound-server.sh start [FOLDER])"   start; prints the variables to export
#   scripts/sound-server.sh stop FOLDER                stop it and remove its folder
#
# The server has a null sink "out" (its monitor "out.monitor" records what was played), a sine
# source "sine" at 440 Hz and a pipe source "pipe" that delivers exactly the bytes written to
# the FIFO "feed" (s16le, 44100 Hz, stereo) and stalls while nothing is written.
# Exports: PULSE_SERVER, PULSE_COOKIE (so clients leave the home folder alone),
# SORVANE_TEST_PIPE (the FIFO) and SORVANE_SOUND_DIR (the folder, for stop).
set -euo pipefail

readonly kMarker=.sorvane-sound-server
readonly kWaitSteps=100   # 100 x 0.1 s
readonly kWaitStep=0.1

server_env() {
  local dir=$1
  shift
  PULSE_SERVER="unix:$dir/native" PULSE_COOKIE="$dir/cookie" "$@"
}

start() {
  local dir=${1:-}
  if [ -z "$dir" ]; then
    dir=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-sound.XXXXXX")
  fi
  mkdir -p "$dir/run" "$dir/state" "$dir/config"
  dir=$(cd "$dir" && pwd)
  touch "$dir/$kMarker"

  # XDG_CONFIG_HOME keeps the daemon's cookie and user settings out of the home folder too.
  if ! PULSE_RUNTIME_PATH="$dir/run" PULSE_STATE_PATH="$dir/state" XDG_CONFIG_HOME="$dir/config" \
    pulseaudio -D -n --exit-idle-time=-1 --log-target="file:$dir/pa.log" \
      --load="module-native-protocol-unix socket=$dir/native" \
      --load="module-null-sink sink_name=out" \
      --load="module-sine-source source_name=sine frequency=440" \
      --load="module-pipe-source source_name=pipe file=$dir/feed format=s16le rate=44100 channels=2" \
      >/dev/null 2>&1; then
    echo "sound-server: pulseaudio did not start; its log:" >&2
    cat "$dir/pa.log" >&2 2>/dev/null || true
    rm -rf "$dir"
    return 1
  fi

  local i
  for ((i = 0; i < kWaitSteps; i++)); do
    if server_env "$dir" pactl info >/dev/null 2>&1 &&
      server_env "$dir" pactl list short sources 2>/dev/null | grep -q $'\tpipe\t'; then
      printf 'export PULSE_SERVER=%q\n' "unix:$dir/native"
      printf 'export PULSE_COOKIE=%q\n' "$dir/cookie"
      printf 'export SORVANE_TEST_PIPE=%q\n' "$dir/feed"
      printf 'export SORVANE_SOUND_DIR=%q\n' "$dir"
      return 0
    fi
    sleep "$kWaitStep"
  done
  echo "sound-server: the server in $dir does not answer; its log:" >&2
  cat "$dir/pa.log" >&2 2>/dev/null || true
  stop "$dir"
  return 1
}

# A killed daemon may linger as a zombie when nothing reaps it; that counts as gone.
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null || true)
  [ -n "$state" ] && [ "${state:0:1}" != "Z" ]
}

stop() {
  local dir=${1:-}
  if [ -z "$dir" ] || [ ! -d "$dir" ]; then
    return 0
  fi
  if [ ! -e "$dir/$kMarker" ]; then
    echo "sound-server: $dir was not made by this script; left alone" >&2
    return 1
  fi
  local pid=""
  pid=$(cat "$dir/run/pid" 2>/dev/null || true)
  server_env "$dir" timeout 5 pactl exit >/dev/null 2>&1 || true
  if [ -n "$pid" ]; then
    local i
    for ((i = 0; i < kWaitSteps; i++)); do
      running "$pid" || break
      sleep "$kWaitStep"
    done
    # Still there: it stopped answering. This pid is the one our own server wrote.
    if running "$pid"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  start) start "${2:-}" ;;
  stop) stop "${2:-}" ;;
  *)
    echo "usage: $0 start [FOLDER] | stop FOLDER" >&2
    exit 2
    ;;
esac
