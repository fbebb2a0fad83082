#!/usr/bin/env bash
# The administrators' guide's recipes that Wine's cmd.exe can run, taken
# from the guide's own text: the indented block after each
# "<!-- recipe: NAME -->". Each runs in a folder that holds both exes (in
# place of the share), on a registry whose Order is stale; afterwards Order
# lists the subkeys (the checker keeping the order of those it named), and
# a second run changes nothing. Runs in the case's
# Wine prefix.
#
#   guide_recipes.sh WINE BUILD_DIR GUIDE NET_WITHOUT_Y DSQUERY
set -uo pipefail
wine=$1 build=$2 guide=$3 net_without_y=$4 dsquery=$5
. "$(dirname "$0")/../../scripts/wine-env.sh"
key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
work="$build/recipes"
rm -rf "$work" && mkdir -p "$work"
cp "$build/provider-order.exe" "$build/provider-order-check.exe" "$work/"
# Wine's net.exe does not take /y, which Windows' asks for when a service
# depends on the spooler; cmd finds this one in the working folder first.
cp "$net_without_y" "$work/net.exe"
# Nor has it dsquery; this one lists the computers of directory.txt.
cp "$dsquery" "$work/dsquery.exe"
own=$("$wine" cmd /c echo %COMPUTERNAME% | tr -d '\r')
printf '%s\r\nno-such-computer\r\n' "$own" >"$work/computers.txt"
printf '%s\r\nno-such-computer\r\n' "$own" >"$work/directory.txt"
failures=0

# The block after the recipe's marker, as the guide has it.
recipe() {
    awk -v marker="<!-- recipe: $1 -->" '
        $0 == marker { found = 1; next }
        found && /^    / { sub(/^    /, ""); print; taken = 1; next }
        found && taken { exit }' "$guide"
}

# Runs a recipe's lines as a batch file in the work folder, the share
# being that folder; prints what it printed.
share='\\fileserver\netlogon\provider-order'
folder=$("$wine" winepath -w "$work" | tr -d '\r')
run_batch() {
    local lines
    lines=$(recipe "$1")
    # Not NAME.cmd: cmd reads "start-wait.cmd" as its own start command.
    printf '%s\n' "${lines//"$share"/$folder}" | sed 's/$/\r/' >"$work/recipe-$1.cmd"
    (cd "$work" && "$wine" cmd /c "recipe-$1.cmd" 2>&1 | tr -d '\r')
}

# A line typed at the prompt, as it is.
run_line() {
    (cd "$work" && "$wine" cmd /c "$(recipe "$1")" 2>&1 | tr -d '\r')
}

expect() {
    local what=$1 outcome=$2
    if [ "$outcome" = yes ]; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
holds() { if "$@"; then echo yes; else echo no; fi; }
# As provider-order.exe writes it: the registry's order.
current() { [ "$(shown_order "$key")" = "$(joined_subkeys "$key")" ]; }
# As /F writes it: the provider the stale Order named kept first.
kept_first() { [ "$(shown_order "$key")" = 'LanMan Print Services\0Internet Print Provider' ]; }

for name in list-audit dsquery-audit csv-audit check-again repair-from-workstation client-fleet start-wait startup-script; do
    [ -n "$(recipe "$name")" ] || expect "the guide has the recipe $name" no
done
"$wine" net start spooler >/dev/null 2>&1
# As Wine ships: no Remote Registry service (a case's stand-in gone).
"$wine" sc stop RemoteRegistry >/dev/null 2>&1
"$wine" sc delete RemoteRegistry >/dev/null 2>&1

seed_stale_providers "$key"
before=$(shown_order "$key")
output=$(run_line list-audit)
echo "$output"
expect "list-audit: the stale one says so" \
    "$(holds grep -qF "stale: \\\\$own: Order does not name every provider subkey once" <<<"$output")"
expect "list-audit: the unknown one is unreadable, 53" \
    "$(holds grep -qF 'unreadable: \\no-such-computer: remote registry: error 53: ' <<<"$output")"
expect "list-audit: the count last" \
    "$(holds [ "$(tail -n 1 <<<"$output")" = "2 computers: 0 current, 1 stale, 0 untouched, 1 unreadable" ])"
expect "list-audit: Order as it was" "$(holds [ "$(shown_order "$key")" = "$before" ])"

listed=$output
output=$(run_batch dsquery-audit)
echo "$output"
# Among the lines cmd echoes: every line the bare names gave.
expect "dsquery-audit: the directory's list checks as the bare names do" \
    "$(holds [ "$(grep -cxF -f <(printf '%s\n' "$listed") <<<"$output")" -eq "$(wc -l <<<"$listed")" ])"
printf '%s\r\nno-such-computer\r\n' "$own" >"$work/computers.txt"

# A provider whose name holds a comma and a quote, which CSV must quote.
"$wine" reg add "$key\\Fax, \"North\"" /f >/dev/null
output=$(run_line csv-audit)
echo "$output"
table=$(python3 - "$work/audit.csv" "$own" "$(joined_subkeys "$key")" <<'PYTHON'
import csv, sys
path, own, subkeys = sys.argv[1], sys.argv[2], sys.argv[3].split("\\0")
with open(path, newline="", encoding="cp437") as audit:
    rows = list(csv.reader(audit, strict=True))
assert rows[0] == ["Computer", "Verdict", "Exit code", "Reason", "Order now", "Order after"], rows[0]
assert len(rows) == 3 and all(len(row) == 6 for row in rows), rows
assert rows[1][:4] == [own, "stale", "1", "Order does not name every provider subkey once"], rows[1]
assert rows[1][4].split("\n") == ["Retired Fax Provider", "LanMan Print Services"], rows[1][4]
# The provider Order names kept first, the others after it in the registry's order.
kept = ["LanMan Print Services"] + [name for name in subkeys if name != "LanMan Print Services"]
assert rows[1][5].split("\n") == kept and 'Fax, "North"' in subkeys, (rows[1][5], subkeys)
assert rows[2][:3] == ["no-such-computer", "unreadable", "3"], rows[2]
assert rows[2][3].startswith("remote registry: error 53: "), rows[2]
print("the table reads back: %d rows of 6 fields" % (len(rows) - 1))
PYTHON
)
echo "$table"
expect "csv-audit: a CSV reader takes the table, quotes and all" "$(holds grep -q 'reads back' <<<"$table")"
expect "check-again: the report checks its computers as the list does" \
    "$(holds [ "$(run_line check-again)" = "$(run_line list-audit)" ])"

# Repaired from the workstation, the spooler stopped first: it is started.
seed_stale_providers "$key"
"$wine" net stop spooler >/dev/null 2>&1
output=$(run_batch repair-from-workstation)
echo "$output"
expect "repair-from-workstation: the audit's table first" "$(holds grep -q '^"Computer","Verdict"' "$work/before.csv")"
expect "repair-from-workstation: repaired, the spooler restarted" \
    "$(holds grep -qF "repaired: \\\\$own: Order rewritten; spooler restarted" <<<"$output")"
expect "repair-from-workstation: the unknown one untouched, 53" \
    "$(holds grep -qF 'unreadable: \\no-such-computer: remote registry: error 53: ' <<<"$output")"
expect "repair-from-workstation: the count" \
    "$(holds grep -qF '2 computers: 0 current, 1 repaired, 0 stale, 0 untouched, 1 unreadable' <<<"$output")"
expect "repair-from-workstation: Order's order kept" "$(holds kept_first)"
expect "repair-from-workstation: verified current" \
    "$(holds grep -qF "current: \\\\$own: Order lists every provider subkey" <<<"$output")"
expect "repair-from-workstation: the spooler runs" \
    "$(holds grep -q 'RUNNING' <<<"$("$wine" sc query spooler 2>/dev/null | tr -d '\r')")"

# The same for clients with /RR: this computer answers at once, so no
# service is touched; the unknown one has no Remote Registry under Wine.
seed_stale_providers "$key"
output=$(run_batch client-fleet)
echo "$output"
expect "client-fleet: repaired, the spooler restarted" \
    "$(holds grep -qF "repaired: \\\\$own: Order rewritten; spooler restarted" <<<"$output")"
expect "client-fleet: the unknown one says why Remote Registry was not started" \
    "$(holds grep -qF 'Remote Registry could not be started: error 1060' <<<"$output")"
expect "client-fleet: verified current" \
    "$(holds grep -qF "current: \\\\$own: Order lists every provider subkey" <<<"$output")"

seed_stale_providers "$key"
output=$(run_batch startup-script)
echo "$output"
expect "startup-script: Order current" "$(holds current)"
expect "startup-script: the spooler restarted" "$(holds grep -qF 'service was started successfully' <<<"$output")"
after=$(shown_order "$key")
output=$(run_batch startup-script)
expect "startup-script again: nothing done, nothing said" "$(holds [ -z "$output" ])"
expect "startup-script again: Order as it was" "$(holds [ "$(shown_order "$key")" = "$after" ])"
expect "list-audit after: current" \
    "$(holds grep -qF "current: \\\\$own: Order lists every provider subkey" <<<"$(run_line list-audit)")"

seed_stale_providers "$key"
output=$(run_batch start-wait)
echo "$output"
expect "start-wait: Order current" "$(holds current)"
expect "start-wait: the spooler restarted, the checker says current" \
    "$(holds grep -qzE 'started successfully.*current: Order lists every provider subkey' <<<"$output")"
after=$(shown_order "$key")
run_batch start-wait >/dev/null
expect "start-wait again: Order as it was" "$(holds [ "$(shown_order "$key")" = "$after" ])"

"$wine" reg delete "$key" /f >/dev/null 2>&1
exit $((failures > 0))
