#!/usr/bin/env bash
# Runs every test of an existing build (scripts/build.sh first). Tests that need sound get a
# private PulseAudio server of their own; the user's server is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" "$@"
