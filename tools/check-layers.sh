#!/usr/bin/env bash
# Fails when a lower layer includes from a higher one. Each line of the table names a folder of
# src/ and the folders its files may include from.
set -euo pipefail
cd "$(dirname "$0")/../src"
status=0
check() {
  local layer=$1
  shift
  local allowed="^(${layer}$(printf '|%s' "$@"))/"
  while IFS= read -r line; do
    local file=${line%%:*}
    local included=${line#*\"}
    included=${included%\"*}
    if [[ $included == */* && ! $included =~ $allowed ]]; then
      echo "layer violation: $file includes $included" >&2
      status=1
    fi
  done < <(grep -rn '^#include "' "$layer" || true)
}
check platform
check codec platform
exit $status
