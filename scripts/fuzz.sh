#!/usr/bin/env bash
# Runs every fuzz target of a `make fuzz` build for a given time, a few at a
# time, each on a working copy of its committed seeds (fuzz/corpus/<name>);
# new inputs stay in <build>/corpus, crashes land in <build>/findings, and
# any finding ends the script with status 1.
# Usage: fuzz.sh <build dir> <seconds per target> [parallel runs] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
parallel=${3:-4}
shift 3 || shift $#
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi
mkdir -p "$build/findings" "$build/logs"
# The table and settings targets go through files: keep them in memory.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

run_one() {
  local name=$1 build=$2 seconds=$3 status=0 work left runs note=""
  mkdir -p "$build/corpus/$name"
  # Each target gets a temporary folder of its own, removed afterwards; the
  # work files it left there are counted.
  work=$(mktemp -d "${TMPDIR:-/tmp}/vtfuzz-$name.XXXXXX")
  # An allocation beyond the size cap's picture is a finding, as is a run of
  # over 30 s (a picture at the cap, which a Targa of an unknown kind may ask
  # for in 26 bytes, takes seconds under the sanitizers).
  TMPDIR=$work "$build/fuzz/${name}_fuzz" "$build/corpus/$name" "fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -malloc_limit_mb=1024 \
    -artifact_prefix="$build/findings/$name-" -print_final_stats=1 >"$build/logs/$name.log" 2>&1 || status=$?
  left=$(find "$work" -mindepth 1 | wc -l)
  rm -rf "$work"
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/logs/$name.log" | grep -o '[0-9]*$' || echo "?")
  [ "$left" -eq 0 ] || note=", $left work files left behind"
  # libFuzzer ends with status 0 only when the time ran out with nothing found.
  if [ "$status" -ne 0 ]; then
    echo "$name: $runs runs, FINDINGS (status $status) in $build/findings (log: $build/logs/$name.log)$note"
    return 1
  fi
  echo "$name: $runs runs, nothing found$note"
}
export -f run_one
if ! printf '%s\n' "${targets[@]}" | xargs -P "$parallel" -I{} bash -c 'run_one "$@"' _ {} "$build" "$seconds"; then
  echo "fuzz: a target found a fault or could not run (see above)" >&2
  exit 1
fi
