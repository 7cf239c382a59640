#!/usr/bin/env bash
# Idle CPU of the desktop program: the window open, nothing recording, measured over a stretch of
# seconds from the kernel's accounting of the process, beside a bare Qt window with the same
# one-second timer in the same run. Target: at most 0.5% of one core.
#   BUILD_DIR   build folder holding bin/sorvane and bin/window_peer (default build)
#   SECONDS_IDLE  length of the measurement (default 20)
#   XVFB=1      run under xvfb-run instead of Qt's offscreen platform
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SECONDS_IDLE=${SECONDS_IDLE:-20}
SETTLE_SECONDS=2
SORVANE="$BUILD_DIR/bin/sorvane"
PEER="$BUILD_DIR/bin/window_peer"
for program in "$SORVANE" "$PEER"; do
  [ -x "$program" ] || { echo "build $program first (cmake --build $BUILD_DIR --target sorvane window_peer)"; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-idle.XXXXXX")
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
export SORVANE_DATA_DIR="$WORK"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$WORK}
unset SORVANE_EXIT_AFTER_FIRST_PAINT
if [ "${XVFB:-0}" != 1 ]; then export QT_QPA_PLATFORM=offscreen; fi
TICKS=$(getconf CLK_TCK)

cpu_ticks() { # pid: user + system time in clock ticks
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

idle() { # label, program...
  local label=$1 pid before after
  shift
  if [ "${XVFB:-0}" = 1 ]; then
    xvfb-run -a "$@" >/dev/null 2>&1 &
    sleep "$SETTLE_SECONDS"
    pid=$(pgrep -n -f "$1") # the program itself, not xvfb-run
  else
    "$@" >/dev/null 2>&1 &
    pid=$!
  fi
  PIDS+=("$pid")
  sleep "$SETTLE_SECONDS"
  before=$(cpu_ticks "$pid")
  sleep "$SECONDS_IDLE"
  after=$(cpu_ticks "$pid")
  kill "$pid"
  awk -v l="$label" -v d=$((after - before)) -v hz="$TICKS" -v s="$SECONDS_IDLE" \
    'BEGIN { printf "%s: %.2f%% of one core over %d s (%d ticks)\n", l, 100 * d / hz / s, s, d }'
}

idle "sorvane, window open, not recording" "$SORVANE"
idle "peer: bare Qt window with a 1 s timer" "$PEER" window
