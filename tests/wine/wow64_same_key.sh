#!/usr/bin/env bash
# On 64-bit Windows the 32-bit tool must write the key that the 64-bit
# spooler reads: HKLM\SYSTEM is shared, not redirected. Proven in a 64-bit
# Wine prefix of the build tree: seeded and read back by the 64-bit reg.exe.
#
#   wow64_same_key.sh EXE PREFIX
set -euo pipefail
exe=$1
. "$(dirname "$0")/../../scripts/wine-env.sh"
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
reg64='C:\windows\system32\reg.exe'

fresh_wine_prefix "$2" win64
wine "$reg64" add "$key\\LanMan Print Services" /f >/dev/null
wine "$reg64" add "$key\\Internet Print Provider" /f >/dev/null
wine "$reg64" add "$key" /v Order /t REG_MULTI_SZ /d 'Retired Provider' /f >/dev/null

status=0
wine "$exe" || status=$?
wineserver -w

names=$(joined_subkeys "$key" "$reg64")
order=$(shown_order "$key" "$reg64")
wineserver -k || true

echo "exit code: $status"
echo "64-bit view of the subkeys: $names"
echo "64-bit view of Order:       $order"
[ "$status" -eq 0 ] && [ -n "$names" ] && [ "$order" = "$names" ]
