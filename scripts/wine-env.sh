# Sourced by the scripts that run the tool under Wine.

# A throwaway Wine prefix (under build/, never the user's own ~/.wine),
# quiet and without the Mono and Gecko install prompts.
use_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEARCH="${2:-win32}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# The same, made afresh: anything an earlier run left there is gone.
fresh_wine_prefix() {
    use_wine_prefix "$@"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
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
