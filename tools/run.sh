#!/usr/bin/env bash
# Starts build/varnook.exe under Wine in a prefix of its own (build/run-prefix),
# on the current display, or on a private Xvfb screen when there is none.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=$top/build/run-prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=" LOCPATH=$top/build/deps/locale LC_ALL=zh_CN.UTF-8
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display; starting the program on a private Xvfb screen (1024x768)"
  exec 9<> <(:)
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null' EXIT
  read -r -t 20 display <&9
  export DISPLAY=:$display
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: making the Wine prefix $WINEPREFIX (once)"
  WINEDLLOVERRIDES="mscoree=;mshtml=" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
code=0
wine "$top/build/varnook.exe" || code=$?
echo "run: varnook.exe ended with exit code $code"
