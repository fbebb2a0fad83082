# Sourced by the scripts that run the tool under Wine.

# Where 32-bit programs cannot start (a kernel without ia32 emulation), the
# 64-bit loader runs the 64-bit build in a 64-bit prefix. Some systems keep
# it off PATH, beside the real wineserver.
WINE_DEFAULT_ARCH=win32
if ! WINEDEBUG=-all command wine --version >/dev/null 2>&1; then
    WINE64_LOADER=$(command -v wine64 ||
        echo "$(dirname "$(readlink -f "$(command -v wineserver)")")/wine64")
    wine() { "$WINE64_LOADER" "$@"; }
    WINE_DEFAULT_ARCH=win64
fi

# A throwaway Wine prefix (under build/, never the user's own ~/.wine),
# quiet and without the Mono and Gecko install prompts.
use_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEARCH="${2:-$WINE_DEFAULT_ARCH}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Runs a Wine command quietly; where it fails, says which step it was, its
# exit status and everything Wine said, and fails.
wine_step() {
    local what=$1 log status=0
    shift
    log=$(mktemp)
    "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "failed: $what (exit $status); Wine said:" >&2
        sed 's/^/    /' "$log" >&2
    fi
    rm -f "$log"
    return "$status"
}

# The same, made afresh: anything an earlier run left there is gone. A
# program that crashes gets winedbg, which by default shows a dialog and
# waits for a click that never comes on a virtual display: here it prints
# Wine's crash line and a backtrace, and the program ends.
#
# wineboot returns while the server it started is still ending the boot's
# own processes; a program started then, on a busy machine, can meet that
# server on its way out and exit 1 without a word. So the boot is waited
# for to its end, and the next program starts a server of its own.
fresh_wine_prefix() {
    use_wine_prefix "$@"
    rm -rf "$WINEPREFIX"
    wine_step "making the Wine prefix $WINEPREFIX (wineboot -i)" wine wineboot -i &&
        wine_step "waiting for the new prefix's boot to end" wineserver -w &&
        wine_step "turning off winedbg's crash dialog (reg add)" \
            wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
}

# Runs COMMAND in a network namespace of its own, where there is loopback
# alone, names resolve through the file HOSTS alone (laid over /etc/hosts
# in a mount namespace of its own, with no name server to ask), and every
# packet sent to one of the DROPPED addresses (loopback ones, space-
# separated) is dropped on arrival, as a switched-off computer's would be,
# while the others refuse what nothing listens for. Wine's server makes
# the sockets, so this prefix's server, if one runs, is ended first, and
# the command's start inside. Where no namespace can be made, says so in
# one line and returns 77.
#   in_loopback_network HOSTS DROPPED COMMAND...
in_loopback_network() {
    local hosts=$1 dropped=$2 address user=()
    shift 2
    for address in $dropped; do
        case "$address" in 127.*) ;; *)
            echo "in_loopback_network: $address is no loopback address" >&2
            return 1
            ;;
        esac
    done
    [ "$(id -u)" -eq 0 ] || user=(-r)
    local refused
    if ! refused=$(unshare "${user[@]}" -n -m true 2>&1) || ! command -v nft >/dev/null || ! command -v ip >/dev/null; then
        # A chroot's root is no mount point, whose propagation unshare -m
        # could make private: said as unshare says it.
        echo "skipped: no network namespace of its own can be made here (unshare${user[*]/#/ } -n -m, nft and ip)${refused:+: $refused}"
        return 77
    fi
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    unshare "${user[@]}" -n -m bash -c '
        set -e
        hosts=$1 dropped=$2
        shift 2
        ip link set lo up
        nft add table ip silent
        nft "add chain ip silent arriving { type filter hook input priority 0; }"
        for address in $dropped; do nft add rule ip silent arriving ip daddr "$address" drop; done
        mount --bind "$hosts" /etc/hosts
        # No name server: a name the hosts file lacks does not resolve.
        resolver=$(mktemp)
        echo "nameserver 127.0.0.1" >"$resolver"
        mount --bind "$resolver" /etc/resolv.conf
        # 2: a server of this prefix runs outside, and would make the sockets there.
        if ! wineserver -p; then
            echo "a Wine server for $WINEPREFIX runs outside the namespace" >&2
            exit 1
        fi
        status=0
        "$@" || status=$?
        wineserver -k 2>/dev/null || true
        rm -f "$resolver"
        exit "$status"
    ' in_loopback_network "$hosts" "$dropped" "$@"
}

# The subkey names of KEY as reg enumerates them, joined by \0: the text
# that reg add takes for a REG_MULTI_SZ, and that reg query shows.
joined_subkeys() {
    local key=$1 reg=${2:-reg}
    wine "$reg" query "$key" | tr -d '\r' | grep -F "${key#HKLM}\\" | sed 's/.*\\//' |
        awk 'NR > 1 { printf "\\0" } { printf "%s", $0 }'
}

# Realistic providers under KEY, replacing whatever was there, and a stale
# Order: it names a retired provider and leaves one out.
seed_stale_providers() {
    local key=$1
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    wine reg add "$key\\LanMan Print Services" /f >/dev/null
    wine reg add "$key\\Internet Print Provider" /f >/dev/null
    wine reg add "$key" /v Order /t REG_MULTI_SZ /d 'Retired Fax Provider\0LanMan Print Services' /f >/dev/null
}

# The Order value under KEY as reg query shows it.
shown_order() {
    local key=$1 reg=${2:-reg}
    wine "$reg" query "$key" /v Order | tr -d '\r' | sed -n 's/^ *Order *REG_MULTI_SZ *//p'
}

# Where EXE's optional header starts: past the PE signature and the file
# header, at the offset the DOS header gives.
optional_header() {
    echo $(($(od -An -tu4 -j60 -N4 "$1") + 24))
}

# The prefix architecture that runs EXE: win32 for a PE32, win64 for a
# PE32+ (the optional header's magic, 0x10b or 0x20b).
exe_arch() {
    if [ "$(od -An -tx2 -j"$(optional_header "$1")" -N2 "$1" | tr -d ' ')" = 010b ]; then
        echo win32
    else
        echo win64
    fi
}

# The addresses EXE occupies once loaded, "start end" in decimal, from its
# PE header: the image base and the size of the image. Wine loads an exe
# at its own base.
image_range() {
    local exe=$1 optional base size
    optional=$(optional_header "$exe")
    # A PE32+'s image base is 8 bytes, and 4 bytes nearer.
    if [ "$(exe_arch "$exe")" = win32 ]; then
        base=$(od -An -tu4 -j$((optional + 28)) -N4 "$exe" | tr -d ' ')
    else
        base=$(od -An -tu8 -j$((optional + 24)) -N8 "$exe" | tr -d ' ')
    fi
    size=$(od -An -tu4 -j$((optional + 56)) -N4 "$exe" | tr -d ' ')
    echo "$base $((base + size))"
}

# The calls of a WINEDEBUG=+relay TRACE that match PATTERN and return into
# EXE's own image, as grep -n shows them ("line:thread:Call ... ret=addr").
calls_into() {
    local exe=$1 trace=$2 pattern=$3 start end line ret
    read -r start end <<<"$(image_range "$exe")"
    grep -n -E "$pattern.* ret=[0-9a-f]+\$" "$trace" | while IFS= read -r line; do
        ret=${line##*ret=}
        if ((16#$ret >= start && 16#$ret < end)); then printf '%s\n' "$line"; fi
    done
}
