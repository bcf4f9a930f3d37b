#!/usr/bin/env bash
# Installs the Debian packages named that are not installed yet.
#   tools/install_packages.sh WHO PACKAGE...
set -euo pipefail
who=$1
shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
echo "$who: installing ${missing[*]}"
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_=sudo
$sudo_ apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
