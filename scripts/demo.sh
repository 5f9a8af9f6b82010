#!/usr/bin/env bash
# The demo: what the host sees of the plug-ins next to it.
set -euo pipefail
build=$1
"$build/bin/quillon" info
