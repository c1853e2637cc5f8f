#!/bin/sh
# Runs one Windows test program under wine, with its devices on
# pseudo-terminals that the wine prefix sees as COM ports:
#   COM5  wine_line_peer, the test's own paced peer
#   COM6  telvar_sim: address 1 answers, 2 answers one register short,
#         3 split in two halves 100 ms apart, 4 split 400 ms apart
#
#   run_under_wine.sh --prepare            makes the prefix, starts its server
#   run_under_wine.sh PROGRAM [CASE...]    runs the program's cases
#
# Environment: WINEPREFIX (the prefix, made by --prepare), TELVAR_WINE (the
# wine loader for 64-bit programs), TELVAR_HOST_BUILD (the Linux build that
# holds telvar_sim, wine_line_peer and the modem-line shim).
set -eu
: "${WINEPREFIX:?}" "${TELVAR_WINE:?}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
server="$(dirname "$TELVAR_WINE")/wineserver"

if [ "$1" = "--prepare" ]; then
    # The server stays up between the programs (for a minute after the
    # last one), which keeps each start at some tens of milliseconds.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # wineboot reports the 32-bit half missing (wine64 alone), which
        # these 64-bit programs do not need; the registry is written once
        # the server has ended.
        "$TELVAR_WINE" wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1 || true
        "$server" -w </dev/null >/dev/null 2>&1
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "run_under_wine.sh: wineboot made no prefix:" >&2
            cat "$WINEPREFIX/wineboot.log" >&2
            exit 1
        fi
    fi
    "$server" -p60 </dev/null >/dev/null 2>&1 || true  # one may run already
    exit 0
fi

: "${TELVAR_HOST_BUILD:?}"
program=$1
shift
work=$(mktemp -d)
peer_pid=
sim_pid=
cleanup() {
    [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Waits until the first line of a file is there (the peers print it once
# they serve); 10 s at most.
await_line() {
    tries=0
    until [ -s "$1" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ]; then
            echo "run_under_wine.sh: $2 did not start:" >&2
            cat "$1" "$1.err" >&2 2>/dev/null
            exit 1
        fi
        sleep 0.1
    done
}

dosdevices="$WINEPREFIX/dosdevices"
rm -f "$dosdevices/com5" "$dosdevices/com6"
"$TELVAR_HOST_BUILD/tests/windows/host/wine_line_peer" "$dosdevices/com5" >"$work/peer" 2>"$work/peer.err" &
peer_pid=$!
"$TELVAR_HOST_BUILD/tools/telvar_sim" --link "$dosdevices/com6" \
    --device 1:19 --device 2:19 --fault 2:short --device 3:19 --fault 3:split:100 \
    --device 4:19 --fault 4:split:400 >"$work/sim" 2>"$work/sim.err" &
sim_pid=$!
await_line "$work/peer" wine_line_peer
await_line "$work/sim" telvar_sim

# Wine's output goes to a file: through a pipe it can hold a program up.
status=0
LD_PRELOAD="$TELVAR_HOST_BUILD/tests/windows/host/wine_modem_lines.so" \
    "$TELVAR_WINE" "$program" "$@" >"$work/out" 2>&1 </dev/null || status=$?
cat "$work/out"
exit $status
