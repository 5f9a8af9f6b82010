#!/usr/bin/env bash
# probe_cli.sh QUILLON PROBES WORKDIR: the plug-in's dialog wrapper against the host, through the
# probe modules' about selectors.
set -u
quillon=$1
probes=$2
work=$3
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Every wrapper call: a ctrl-click on the frame, the timers, then OK.
printf 'click 50 50 ctrl\nwait 100\nstate %s/probe.json\nclick 260 212\n' "$work" >"$work/probe.txt"
"$quillon" --plugins "$probes/DialogProbe" about --script "$work/probe.txt" 2>"$work/probe.err"
status=$?
[ "$status" = 0 ] || fail "probe: status $status: $(cat "$work/probe.err")"
grep -q '"probe: ok"' "$work/probe.json" || fail "probe: $(grep 'probe:' "$work/probe.json")"

# An unknown item type is reported and ends the selector with an error code, not a crash.
"$quillon" --plugins "$probes/DialogProbeUnknownItem" about --script "$work/probe.txt" \
  2>"$work/item.err"
status=$?
[ "$status" = 1 ] || fail "unknown item: status $status"
grep -q 'unknown dialog item type "ADM Bogus Type"' "$work/item.err" || fail "unknown item: $(cat "$work/item.err")"
grep -q "failed with code -30100" "$work/item.err" || fail "unknown item: $(cat "$work/item.err")"

# An unknown suite is reported in the dialog manager's error message, and its code ends the selector.
printf 'state %s/suite.json\n' "$work" >"$work/suite.txt"
"$quillon" --plugins "$probes/DialogProbeUnknownSuite" about --script "$work/suite.txt" \
  2>"$work/suite.err"
status=$?
[ "$status" = 1 ] || fail "unknown suite: status $status"
grep -q '"text": "Suite not available ADM Bogus Suite version 1"' "$work/suite.json" ||
  fail "unknown suite: no message"
grep -q "failed with code -30900" "$work/suite.err" || fail "unknown suite: $(cat "$work/suite.err")"

[ "$failures" = 0 ]
