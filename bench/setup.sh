#!/usr/bin/env bash
# What make bench needs beyond tools/setup.sh: curl, for the reference row.
set -euo pipefail

"$(dirname "$0")/../tools/install_packages.sh" bench curl
