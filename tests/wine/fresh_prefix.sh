#!/usr/bin/env bash
# The Wine cases' prefix, made afresh the way every prefix of the project
# is, and settled before the first case reads it.
#
#   fresh_prefix.sh PREFIX ARCH
set -euo pipefail
. "$(dirname "$0")/../../scripts/wine-env.sh"
fresh_wine_prefix "$1" "$2"
wineserver -w
