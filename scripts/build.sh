#!/usr/bin/env bash
# Configures (once) and builds Sorvane into build/. Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANE_WERROR=ON "$@"
fi
cmake --build "$BUILD_DIR" -j "$(nproc)"
