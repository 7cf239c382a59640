#!/usr/bin/env bash
# Runs every test of an existing build (scripts/build.sh first). Tests that need sound get a
# private PulseAudio server of their own; the user's server is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
# The private sound server of this run: started before the tests and stopped after them, also
# when they fail. Tests that need sound find it through PULSE_SERVER and SORVANE_SOUND_DIR.
eval "$(scripts/sound-server.sh start)"
trap 'scripts/sound-server.sh stop "$SORVANE_SOUND_DIR"' EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" "$@"
