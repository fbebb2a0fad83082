# Sourced: a throwaway 32-bit Wine prefix under build/, quiet and without the
# Mono and Gecko install prompts. Never the user's own ~/.wine.
export WINEPREFIX="$1"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
