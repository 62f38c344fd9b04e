#!/usr/bin/env bash
# Runs every benchmark program built in the given build folder.
set -euo pipefail
dir=${1:-build/release}
status=0
for b in "$dir"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
