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
