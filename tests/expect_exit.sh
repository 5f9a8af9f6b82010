#!/usr/bin/env bash
# expect_exit.sh STATUS PATTERN COMMAND...: the command must exit with STATUS and print a line
# matching PATTERN (extended regular expression) on standard error.
set -u
want_status=$1
pattern=$2
shift 2
err=$(mktemp)
"$@" 2>"$err" >/dev/null
status=$?
cat "$err" >&2
lines=$(grep -c -E "$pattern" "$err")
rm -f "$err"
if [ "$status" -ne "$want_status" ]; then
  echo "exit status $status, expected $want_status" >&2
  exit 1
fi
if [ "$lines" -eq 0 ]; then
  echo "no line on standard error matches: $pattern" >&2
  exit 1
fi
