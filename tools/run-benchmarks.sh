#!/usr/bin/env bash
# Runs every benchmark executable of a Release build folder.
set -euo pipefail
dir="$1"
found=0
for exe in $(find "$dir/bench" -type f -executable -name 'bench_*' | sort); do
  found=1
  echo "== $(basename "$exe")"
  "$exe"
done
[ "$found" -eq 1 ] || echo "No benchmarks built."
