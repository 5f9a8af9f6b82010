#!/usr/bin/env bash
# Runs every benchmark program of a release build.
set -euo pipefail
build=$1
for b in $(find "$build/bench" -maxdepth 1 -type f -executable -name 'bench_*' | sort); do
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
