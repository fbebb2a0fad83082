#!/usr/bin/env bash
# A virtual display of its own for the Wine cases, so that ctest needs no
# wrapper and no DISPLAY: the fixture starts it, each case runs on it, and
# the cleanup stops it with the Wine processes that drew on it.
#
#   display.sh start DIR          starts Xvfb on a free display; notes it in DIR
#   display.sh run DIR CMD...     runs CMD on that display, on a Wine server of its own;
#                                 where it fails, says what of Wine ran then
#   display.sh stop DIR           ends the prefix's wineserver, then Xvfb
set -euo pipefail
action=$1 dir=$2
shift 2
case "$action" in
start)
    [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -rf "$dir" && mkdir -p "$dir"
    # Detached, with its own output, so that ctest does not wait on it.
    setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$dir/display" \
        </dev/null >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && { echo "display :$(cat "$dir/display")"; exit 0; }
        sleep 0.1
    done
    cat "$dir/xvfb.log"
    exit 1
    ;;
run)
    # Each case starts its own server: the one the case before left could
    # be on its way out, and a program that met it there would end with
    # exit 1 and no word, as happens on a busy machine.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    started=$SECONDS status=0
    DISPLAY=":$(cat "$dir/display")" "$@" || status=$?
    # A case that fails without a word leaves something to go on: how it
    # ended, and what of Wine was still running then.
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        echo "display.sh: exit $status after $((SECONDS - started)) s; Wine's processes then:" >&2
        for process in /proc/[0-9]*; do
            [ "${process#/proc/}" != $$ ] || continue
            command=$(tr '\0' ' ' 2>/dev/null <"$process/cmdline") || continue
            case "$command" in *[Ww]ine* | *.exe*) echo "    ${process#/proc/} $command" >&2 ;; esac
        done
    fi
    exit "$status"
    ;;
stop)
    wineserver -k 2>/dev/null || true
    kill "$(cat "$dir/pid")"
    ;;
esac
