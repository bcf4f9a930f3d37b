#!/usr/bin/env bash
# What make bench needs beyond tools/setup.sh: curl, for the reference row.
set -euo pipefail

if ! dpkg-query -W -f='${Status}' curl 2>/dev/null | grep -q "install ok installed"; then
  echo "bench: installing curl"
  sudo_=""; [ "$(id -u)" -eq 0 ] || sudo_=sudo
  $sudo_ apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends curl
fi
