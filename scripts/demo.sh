#!/usr/bin/env bash
# Shows the repair on a throwaway Wine registry: a few realistic providers,
# a stale Order, the value before and after one run of the tool. The
# prefix is made in the build folder that holds the exes.
#
#   demo.sh [BUILD_DIR]     default build/win32
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build/win32}" && pwd)
exe="$build/provider-order.exe"
checker="$build/provider-order-check.exe"
. "$root/scripts/wine-env.sh"
# Never ends without saying where: Wine's steps say what Wine said too.
trap 'echo "demo.sh: stopped at line $LINENO (exit $?)" >&2' ERR
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'

echo "making a throwaway Wine prefix in ${build#"$root/"}/demo-prefix ..."
fresh_wine_prefix "$build/demo-prefix" "$(exe_arch "$exe")"

seed_stale_providers "$key"

echo
echo "providers (subkeys):"
wine reg query "$key" | tr -d '\r' | grep '^HKEY_LOCAL_MACHINE.*Providers\\' | sed 's/.*\\/    /'
echo "Order before: $(shown_order "$key")"
# The checker's exit code is its verdict (1: stale), not a failure here.
say_verdict() { echo "provider-order-check.exe says: $(wine "$checker" | head -n 1 | tr -d '\r' || true)"; }
say_verdict
status=0
wine "$exe" || status=$?
echo "provider-order.exe exited with $status"
wineserver -w
echo "Order after:  $(shown_order "$key")"
say_verdict
# Nothing of Wine's is left running, to write into the terminal afterwards.
wineserver -w
