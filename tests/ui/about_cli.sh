#!/usr/bin/env bash
# about_cli.sh QUILLON WORKDIR: the about box driven by scripts through the command line.
set -u
quillon=$1
work=$2
rm -rf "$work" && mkdir -p "$work"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run NAME SCRIPT [env...]: runs the script; status and standard error land in NAME.status/.err.
run() {
  local name=$1 script=$2
  shift 2
  printf '%b' "$script" >"$work/$name.txt"
  env "$@" "$quillon" about --script "$work/$name.txt" 2>"$work/$name.err" >/dev/null
  echo $? >"$work/$name.status"
}

# The screenshot shows the dialog; the state lists the picture, the texts and the button.
run look "screenshot $work/about.png\nstate $work/about.json\n"
[ "$(cat "$work/look.status")" = 0 ] || fail "look: status $(cat "$work/look.status")"
[ -s "$work/about.png" ] || fail "no screenshot"
for text in '"title": "Nerrow Quillon"' '"id": 82' '"Version 2.0.1"' 'Nerrow Software' \
            'All rights reserved' '"Check for Update"'; do
  grep -q "$text" "$work/about.json" || fail "state lacks $text"
done

# A press on the picture, a text or the background, or a key, closes it: a later command finds
# no dialog.
for case in "picture|click 100 60" "version|click 30 178" "notice|click 40 214" \
            "background|click 240 200" "key|key x"; do
  name=${case%%|*}
  run "close-$name" "${case#*|}\nstate $work/never.json\n"
  [ "$(cat "$work/close-$name.status")" = 1 ] || fail "$name: the about box stayed open"
  grep -q "line 2: no dialog is open" "$work/close-$name.err" || fail "$name: $(cat "$work/close-$name.err")"
done

# Check for Update starts $BROWSER with the update address and leaves the box open.
cat >"$work/browser.sh" <<SH
#!/bin/sh
echo "\$@" >"$work/browser.out"
SH
chmod +x "$work/browser.sh"
run update "click 190 246\nwait 100\nstate $work/open.json\n" BROWSER="$work/browser.sh"
[ "$(cat "$work/update.status")" = 0 ] || fail "update: $(cat "$work/update.err")"
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$work/browser.out" ] && break; sleep 0.2; done
grep -qx "http://www.nerrow.com/qln/update?version=2.0.1" "$work/browser.out" ||
  fail "browser got: $(cat "$work/browser.out" 2>/dev/null)"

# With no browser the "Error" message ends with the full address.
run nobrowser "click 190 246\nstate $work/error.json\n" -u BROWSER PATH=/nonexistent
[ "$(cat "$work/nobrowser.status")" = 0 ] || fail "no browser: $(cat "$work/nobrowser.err")"
grep -q '"title": "Error"' "$work/error.json" || fail "no Error message"
grep -q '"text": "Cannot open a web browser. Please try to access the web site manually. The address is:\\nhttp://www.nerrow.com/qln/update?version=2.0.1"' \
  "$work/error.json" || fail "message text: $(grep '"text"' "$work/error.json" | tail -1)"

# A malformed line stops before anything runs, naming the line, with status 2.
run malformed "screenshot $work/x.png\nclick 10\n"
[ "$(cat "$work/malformed.status")" = 2 ] || fail "malformed: status $(cat "$work/malformed.status")"
grep -q "malformed.txt: line 2: 'click' takes 2 to 5 arguments, got 1" "$work/malformed.err" ||
  fail "malformed: $(cat "$work/malformed.err")"
[ ! -e "$work/x.png" ] || fail "malformed: the script ran"

[ "$failures" = 0 ]
