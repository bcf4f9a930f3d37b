#!/usr/bin/env bash
# Saves a picture of the running program (inside tests/sandbox.sh). Wine draws
# the caption and frame itself in a virtual desktop, so the program runs in one.
#   tests/screenshot.sh OUT.png
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$1")
mkdir -p "$(dirname "$out")"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
wine explorer /desktop=varnook,760x660 "$top/build/cross/tests/screenshot.exe" "$(winpath "$out")" "$VARNOOK_EXE" 4
for _ in $(seq 100); do [ -f "$out" ] && break; sleep 0.1; done
[ -f "$out" ] && echo "screenshot: $out"
