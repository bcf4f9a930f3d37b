#!/usr/bin/env bash
# make bench: runs inside tests/sandbox.sh. Times curl on the host fetching
# the 64 MB body (row 7, for reference), then bench.exe under Wine, which
# measures every other row and prints the table. Everything printed is also
# left in build/bench.txt.
#
#   tests/sandbox.sh bench/run.sh [bench.exe options]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
# VARNOOK_BENCH_BUILD names another build folder (its varnook.exe included).
cross=${VARNOOK_BENCH_BUILD:-$top/build/cross}
program=$top/build/varnook.exe
[ -n "${VARNOOK_BENCH_BUILD:-}" ] && program=$cross/varnook.exe
# The sandbox's state folder, from the Windows path it exports.
state=$(echo "${VARNOOK_STATE_DIR#Z:}" | tr '\\' /)
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# curl's median over five fetches after one warm-up.
curl_ms() {
  local url=https://localhost/big/67108864 times=()
  curl -sS -o /dev/null --cacert "$state/ca.pem" "$url"
  for _ in 1 2 3 4 5; do
    times+=("$(curl -sS -o /dev/null --cacert "$state/ca.pem" -w '%{time_total}' "$url")")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 3p | awk '{ printf "%.1f", $1 * 1000 }'
}

run() {
  echo "bench: curl on the host"
  local curl
  curl=$(curl_ms)
  echo "bench: machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')," \
    "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) RAM, $(wine --version), $(date -u +%F)"
  wine "$cross/bench/bench.exe" --program "$(winpath "$program")" \
    --floor "$(winpath "$cross/bench/floor_window.exe")" --curl-ms "$curl" "$@"
}

# Without Wine's Gecko engine every start of the program makes Wine say so;
# the start-up row accounts for it, the table need not repeat it.
run "$@" 2>&1 | grep -v "^Could not find Wine Gecko" | tee "$top/build/bench.txt"
