#!/usr/bin/env bash
# The demo: a picture made by the build, recoloured by example from the command line.
set -euo pipefail
build=$1
demo="$build/demo"
quillon="$build/bin/quillon"
export XDG_CONFIG_HOME="$demo/config"

"$quillon" info
echo
colors=$(cat "$demo/demo-colors.txt")
echo "Turning the green patch teal, leaving the other colours alone:"
echo "  quillon apply demo-input.png demo-output.png --colors \"$colors\" --fuzziness 3 --preserve-luminosity on"
"$quillon" apply "$demo/demo-input.png" "$demo/demo-output.png" --colors "$colors" \
  --fuzziness 3 --preserve-luminosity on --record "$demo/demo-action.json"
echo
echo "before: $(realpath "$demo/demo-input.png")"
echo "after:  $(realpath "$demo/demo-output.png")"
echo "action: $(realpath "$demo/demo-action.json") (replay with: quillon apply IN OUT --action FILE)"
echo
echo "The same adjustment in the dialog, driven by a script off screen; OK writes the picture:"
echo "  quillon edit demo-input.png demo-edited.png --action demo-action.json --script demo-dialog.txt"
cat >"$demo/demo-dialog.txt" <<SCRIPT
resize 1000 600
wait 100
move 930 52
wait 100
screenshot $demo/demo-dialog.png
click 940 22
SCRIPT
"$quillon" edit "$demo/demo-input.png" "$demo/demo-edited.png" --action "$demo/demo-action.json" \
  --script "$demo/demo-dialog.txt"
echo "dialog: $(realpath "$demo/demo-dialog.png")"
echo "edited: $(realpath "$demo/demo-edited.png")"
echo
echo "Picking colours in the dialog: the green patch takes a teal of the built-in chart, the red"
echo "patch an orange; screenshots before and after the two picks:"
cat >"$demo/demo-picking.txt" <<SCRIPT
resize 1000 600
wait 100
screenshot $demo/demo-picking-before.png
click 232 420
wait 50
click 747 349
wait 50
click 88 420
wait 50
click 715 461
wait 100
move 600 300
wait 100
screenshot $demo/demo-picking-after.png
click 940 22
SCRIPT
XDG_CONFIG_HOME="$demo/picking-config" "$quillon" edit "$demo/demo-input.png" \
  "$demo/demo-picked.png" --script "$demo/demo-picking.txt"
echo "before: $(realpath "$demo/demo-picking-before.png")"
echo "after:  $(realpath "$demo/demo-picking-after.png")"
echo "picked: $(realpath "$demo/demo-picked.png")"
