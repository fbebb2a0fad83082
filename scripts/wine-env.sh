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

# The same, made afresh: anything an earlier run left there is gone.
fresh_wine_prefix() {
    use_wine_prefix "$@"
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
}

# The subkey names of KEY as reg enumerates them, joined by \0: the text
# that reg add takes for a REG_MULTI_SZ, and that reg query shows.
joined_subkeys() {
    local key=$1 reg=${2:-reg}
    wine "$reg" query "$key" | tr -d '\r' | grep -F "${key#HKLM}\\" | sed 's/.*\\//' |
        awk 'NR > 1 { printf "\\0" } { printf "%s", $0 }'
}

# The Order value under KEY as reg query shows it.
shown_order() {
    local key=$1 reg=${2:-reg}
    wine "$reg" query "$key" /v Order | tr -d '\r' | sed -n 's/^ *Order *REG_MULTI_SZ *//p'
}
