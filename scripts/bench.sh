#!/usr/bin/env bash
# Runs the benchmarks of bench/ one after another (or only those named), each printing
# Sorvane's figure beside a peer tool's from the same run. Needs a build (scripts/build.sh).
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh encode_vs_lame  only bench/encode_vs_lame.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=${BUILD_DIR:-build}
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for script in bench/*.sh; do names+=("$(basename "$script" .sh)"); done
fi
for name in "${names[@]}"; do
  echo "=== $name"
  bash "bench/$name.sh"
done
