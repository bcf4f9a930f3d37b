#!/usr/bin/env bash
# Runs a Windows test program on a screen of another size, inside the sandbox:
# its own Xvfb and a copy of the run's Wine prefix (Wine keeps the screen size
# per prefix), so the main run's screen stays as it is.
#   tests/other_screen.sh WxH PROGRAM.exe [ARGS...]
set -euo pipefail
[ -n "${VARNOOK_SANDBOX:-}" ] || { echo "other_screen: run inside tests/sandbox.sh" >&2; exit 2; }
size=$1
shift
prefix=$(dirname "$WINEPREFIX")/prefix-$size
rm -rf "$prefix"
cp -a "$WINEPREFIX" "$prefix"
export WINEPREFIX=$prefix

exec 9<> <(:)
Xvfb -displayfd 9 -screen 0 "${size}x24" -nolisten tcp -nolisten unix >/dev/null 2>&1 &
xvfb=$!
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$prefix"' EXIT
read -r -t 20 display <&9
export DISPLAY=:$display
wine "$@"
