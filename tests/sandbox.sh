#!/usr/bin/env bash
# Runs a command in the test sandbox: a private network and mount namespace
# (only loopback, the list host mapped to 127.0.0.1), its own Xvfb screen,
# its own Wine prefix under build/, the test CA trusted in that prefix only,
# and the local list servers listening.
#
#   tests/sandbox.sh [--screen WxH] [--keep-prefix] COMMAND...
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${VARNOOK_SANDBOX:-}" ]; then
  export VARNOOK_SANDBOX=1
  if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net --mount "$0" "$@"
  else
    exec unshare --net --mount --map-root-user "$0" "$@"
  fi
fi

screen=1024x768
while [ $# -gt 0 ]; do
  case "$1" in
    --screen) screen=$2; shift 2 ;;
    *) break ;;
  esac
done

run=${VARNOOK_RUN_DIR:-$top/build/test-run}
mkdir -p "$run"
run=$(cd "$run" && pwd)
state=$run/state
rm -rf "$state"
mkdir -p "$state"

# Mount changes stay inside this namespace.
mount --make-rprivate / 2>/dev/null || true
ip link set lo up
printf '127.0.0.1 localhost\n::1 localhost\n127.0.0.1 raw.githubusercontent.com\n' > "$run/hosts"
mount --bind "$run/hosts" /etc/hosts
# No name server is reachable in here; an empty resolver list fails lookups at once.
: > "$run/resolv.conf"
mount --bind "$run/resolv.conf" /etc/resolv.conf
# A 64 KB volume for the tests that fill it up (VARNOOK_FULL_DIR).
mkdir -p "$state/full"
mount -t tmpfs -o size=64k tmpfs "$state/full"

pids=()
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb picks a free display itself and tells us its number.
exec 9<> <(:)
Xvfb -displayfd 9 -screen 0 "${screen}x24" -nolisten tcp -nolisten unix >/dev/null 2>&1 &
pids+=($!)
read -r -t 20 display <&9 || { echo "sandbox: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display

export LOCPATH=$top/build/deps/locale LC_ALL=zh_CN.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree="
export WINEARCH=win64
export WINEPREFIX=$run/prefix
if [ -z "${VARNOOK_KEEP_PREFIX:-}" ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  # mshtml is kept out while the prefix is made: its installer would ask for
  # the Gecko engine, which is not available here.
  WINEDLLOVERRIDES="mscoree=;mshtml=" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

bash "$top/tests/servers/make_certs.sh" "$state" >/dev/null
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
wine "$top/build/cross/tests/trust_ca.exe" "$(winpath "$state/ca.der")"

python3 "$top/tests/servers/listserver.py" --state "$state" --certs "$state" \
  --http 8080 --https 443 --https 8443:expired --https 8444:wronghost --https 8445:selfsigned \
  >"$run/server.log" 2>&1 &
pids+=($!)
for port in 8080 443 8443 8444 8445; do
  for _ in $(seq 100); do [ -f "$state/ready.$port" ] && break; sleep 0.05; done
  [ -f "$state/ready.$port" ] || { echo "sandbox: server on $port not ready" >&2; cat "$run/server.log" >&2; exit 1; }
done

export VARNOOK_STATE_DIR=$(winpath "$state")
export VARNOOK_FULL_DIR=$(winpath "$state/full")
export VARNOOK_EXE=$(winpath "$top/build/cross/varnook.exe")
"$@"
