#!/usr/bin/env bash
# Runs every fuzz target of a coverage build for the given number of seconds each.
set -euo pipefail
build=$1
seconds=$2
mkdir -p "$build/fuzz-corpus"
# Leaks inside the codec libraries themselves are not ours to report.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/../tests/codec-libraries.supp:print_suppressions=0"
for target in $(find "$build/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' | sort); do
  name=$(basename "$target")
  corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds="$build/fuzz/corpus/$name"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/fuzz-corpus/$name-" \
    "$corpus" ${seeds:+$(test -d "$seeds" && echo "$seeds")}
done
