#!/usr/bin/env bash
# The demo: pictures made by the build, recoloured by example from the command line.
set -euo pipefail
build=$1
demo="$build/demo"
quillon="$build/bin/quillon"
pictures="$build/tools/quillon-demo-picture"
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

# An autumn look on the landscape: the meadow golden, the trees with it, the sky a little deeper;
# and the red roof blue, picked at its pixel.
look=(--map '#5a8a32:#b0782a' --map 'rgb(38,84,160):rgb(30,70,150)' --fuzziness 4)
roof=(--map '@270,425:#3060a0')
echo
echo "An autumn look on a landscape, at full strength and at 40 %:"
echo "  quillon apply landscape.png landscape-look.png ${look[*]} ${roof[*]}"
"$quillon" apply "$demo/landscape.png" "$demo/landscape-look.png" "${look[@]}" "${roof[@]}"
"$quillon" apply "$demo/landscape.png" "$demo/landscape-look-40.png" "${look[@]}" "${roof[@]}" \
  --amount 40
"$pictures" --side-by-side "$demo/landscape.png" "$demo/landscape-look.png" \
  "$demo/look-before-after.jpg"
"$pictures" --side-by-side "$demo/landscape.png" "$demo/landscape-look-40.png" \
  "$demo/look-40-before-after.jpg"

echo
echo "One pick turned teal reaches the whole picture; --protect keeps the far colours:"
echo "  quillon apply landscape.png pick.png --map '@200,400:#20a0a0' [--protect]"
"$quillon" apply "$demo/landscape.png" "$demo/pick.png" --map '@200,400:#20a0a0'
"$quillon" apply "$demo/landscape.png" "$demo/pick-protect.png" --map '@200,400:#20a0a0' --protect
"$pictures" --side-by-side "$demo/pick.png" "$demo/pick-protect.png" "$demo/pick-before-after.jpg"
echo "without and with --protect: $(realpath "$demo/pick-before-after.jpg")"

echo
echo "The autumn look learnt back from the landscape before and after it:"
echo "  quillon fit landscape.png landscape-look.png --record fit.json"
"$quillon" fit "$demo/landscape.png" "$demo/landscape-look.png" --record "$demo/fit.json" \
  --report "$demo/fit-report.json" >/dev/null
echo "pairs: $(realpath "$demo/fit.json"), report: $(realpath "$demo/fit-report.json")"

echo
echo "The look (without the picked roof) as a 3D LUT and a Hald CLUT, for other programs:"
echo "  quillon lut look.cube ${look[*]}"
"$quillon" lut "$demo/look.cube" "${look[@]}"
"$quillon" lut "$demo/look-hald.png" "${look[@]}"
if command -v ffmpeg >/dev/null; then
  echo "  ffmpeg -i landscape.png -vf lut3d=file=look.cube:interp=tetrahedral landscape-ffmpeg.png"
  ffmpeg -loglevel error -y -i "$demo/landscape.png" \
    -vf "lut3d=file=$demo/look.cube:interp=tetrahedral" "$demo/landscape-ffmpeg.png"
fi

echo
echo "Both pictures in one batch, one worker process per core:"
echo "  quillon apply demo-input.png landscape.png --out-dir batch --suffix -look --overwrite ..."
"$quillon" apply "$demo/demo-input.png" "$demo/landscape.png" --out-dir "$demo/batch" \
  --suffix -look --overwrite "${look[@]}"
echo
echo "before/after: $(realpath "$demo/look-before-after.jpg")"
echo "at 40 %:      $(realpath "$demo/look-40-before-after.jpg")"
echo "3D LUT:       $(realpath "$demo/look.cube")"
echo "Hald CLUT:    $(realpath "$demo/look-hald.png")"
if [ -f "$demo/landscape-ffmpeg.png" ]; then
  echo "ffmpeg:       $(realpath "$demo/landscape-ffmpeg.png")"
fi

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
hold m
wait 100
screenshot $demo/demo-picking-moves.png
letgo m
click 940 22
SCRIPT
XDG_CONFIG_HOME="$demo/picking-config" "$quillon" edit "$demo/demo-input.png" \
  "$demo/demo-picked.png" --script "$demo/demo-picking.txt"
echo "before: $(realpath "$demo/demo-picking-before.png")"
echo "after:  $(realpath "$demo/demo-picking-after.png")"
echo "moves:  $(realpath "$demo/demo-picking-moves.png") (M held: what the two picks move)"
echo "picked: $(realpath "$demo/demo-picked.png")"

echo
echo "Thirty adjustments in the swatch strip between the pictures, a page at a time: the next-page"
echo "button, then the wastebasket beside the selected pair, then Ctrl+Z to bring it back:"
many=""
for i in $(seq 0 29); do
  l=$((6000 + i * 997 % 22000)) a=$((8384 + i * 3001 % 16000)) b=$((8384 + i * 7919 % 16000))
  if [ $((i % 7)) -eq 1 ]; then
    many+="Lab[$l,$a,$b] "
  else
    many+="Lab[$l,$a,$b]:Lab[$((32768 - l)),$((32768 - a)),$b] "
  fi
done
cat >"$demo/demo-strip.txt" <<SCRIPT
resize 1000 600
wait 100
move 600 300
wait 50
screenshot $demo/demo-strip-first.png
click 534 560
wait 50
screenshot $demo/demo-strip-next.png
click 537 91
wait 50
key z ctrl
wait 50
screenshot $demo/demo-strip-undone.png
click 940 22
SCRIPT
XDG_CONFIG_HOME="$demo/strip-config" "$quillon" edit "$demo/demo-input.png" \
  "$demo/demo-strip.png" --colors "$many" --script "$demo/demo-strip.txt"
for shot in first next undone; do
  echo "strip ($shot): $(realpath "$demo/demo-strip-$shot.png")"
done
