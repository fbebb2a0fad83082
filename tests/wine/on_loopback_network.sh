#!/usr/bin/env bash
# Runs a Wine case on a network of its own, so that what the checker tries
# never leaves this machine: loopback alone, in a namespace the case makes
# itself, where these names resolve and nothing else does:
#   this computer's own name      127.0.0.1, which refuses (nothing listens)
#   off-1, off-2                  127.0.0.2, whose packets are dropped: a computer switched off
#   up-1                          127.0.0.3, which refuses: a computer that is on
# Where no such namespace can be made, says so in one line and exits 77,
# which the case's SKIP_RETURN_CODE makes a skip, never a pass.
#
#   on_loopback_network.sh COMMAND...
set -uo pipefail
. "$(dirname "$0")/../../scripts/wine-env.sh"
hosts=$(mktemp)
trap 'rm -f "$hosts"' EXIT
printf '127.0.0.1 localhost %s\n127.0.0.2 off-1 off-2\n127.0.0.3 up-1\n' "$(hostname)" >"$hosts"
in_loopback_network "$hosts" 127.0.0.2 "$@"
