#!/usr/bin/env bash
# Runs every benchmark executable of a Release build folder, then prints one table of the
# ratios they reported. A benchmark reports a ratio as a line of its own:
#   RATIO <name> <value> (target <= <limit>)
set -euo pipefail
dir="$1"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
found=0
for exe in $(find "$dir/bench" -type f -executable -name 'bench_*' | sort); do
  found=1
  echo "== $(basename "$exe")"
  "$exe" --benchmark_color=false 2>&1 | tee -a "$log"
done
[ "$found" -eq 1 ] || { echo "No benchmarks built."; exit 0; }
echo
echo "| benchmark ratio | measured | target |"
echo "|---|---|---|"
sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^RATIO ' | sed -E 's/^RATIO ([^ ]+) ([^ ]+) \((target )?(.*)\)$/| \1 | \2 | \4 |/' || true
