#!/bin/sh
# Runs one window's test under wine, headless (Qt's offscreen platform),
# against telvar_sim:
#   COM5  telvar_sim, the device MODEL at addresses 247 and 5
#   COM9  listed by the registry, its device gone (a link to nowhere)
# The registry's serial ports (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) are
# these two alone: wine lists its own COM1 there, which the windows prefer.
#
#   run_console_test.sh MODEL PROGRAM [ARGUMENT...]
#
# Environment: WINEPREFIX (made by run_under_wine.sh --prepare),
# TELVAR_WINE, TELVAR_HOST_BUILD (the Linux build with telvar_sim),
# TELVAR_DLL_PATH (the folders of the DLLs, Qt's and the compiler's,
# separated by :), TELVAR_QT_PLUGINS (Qt's plugin folder), TELVAR_FONTS (a
# folder of TrueType fonts for Qt; DejaVu when not set). The paths are
# Linux ones: the prefix's drive Z: is the Linux root.
set -eu
: "${WINEPREFIX:?}" "${TELVAR_WINE:?}" "${TELVAR_HOST_BUILD:?}" "${TELVAR_DLL_PATH:?}" "${TELVAR_QT_PLUGINS:?}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
server="$(dirname "$TELVAR_WINE")/wineserver"
model=$1
program=$2
shift 2
work=$(mktemp -d)
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Wine's output goes to a file: through a pipe it can hold a program up.
reg() {
    if ! "$TELVAR_WINE" reg "$@" >"$work/reg.out" 2>&1 </dev/null; then
        echo "run_console_test.sh: reg $* failed:" >&2
        cat "$work/reg.out" >&2
        exit 1
    fi
}

# The server makes the ports' key anew when it starts: it stays up for the
# whole run (and a minute after).
"$server" -p60 </dev/null >/dev/null 2>&1 || true
key='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
reg delete "$key" /va /f
reg add "$key" /v '\Device\Serial4' /t REG_SZ /d COM5 /f
reg add "$key" /v '\Device\Serial8' /t REG_SZ /d COM9 /f

dosdevices="$WINEPREFIX/dosdevices"
rm -f "$dosdevices/com5" "$dosdevices/com9"
ln -s /nonexistent/telvar-com9 "$dosdevices/com9"
"$TELVAR_HOST_BUILD/tools/telvar_sim" --link "$dosdevices/com5" --log "$work/sim.log" \
    --device "247:$model" --device "5:$model" >"$work/sim" 2>"$work/sim.err" &
sim_pid=$!
tries=0
until [ -s "$work/sim" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
        echo "run_console_test.sh: telvar_sim did not start:" >&2
        cat "$work/sim.err" >&2
        exit 1
    fi
    sleep 0.1
done

# Wine passes no QT_ variable on; WINEQT_ ones reach the program as QT_ ones.
status=0
wine_path="Z:$(printf '%s' "$TELVAR_DLL_PATH" | sed 's/:/;Z:/g')"
TELVAR_SIM_LOG="$work/sim.log" WINEPATH="$wine_path" \
    WINEQT_QPA_PLATFORM=offscreen WINEQT_PLUGIN_PATH="Z:$TELVAR_QT_PLUGINS" \
    WINEQT_QPA_FONTDIR="Z:${TELVAR_FONTS:-/usr/share/fonts/truetype/dejavu}" WINEQT_FORCE_STDERR_LOGGING=1 \
    LD_PRELOAD="$TELVAR_HOST_BUILD/tests/windows/host/wine_modem_lines.so" \
    "$TELVAR_WINE" "$program" "$@" >"$work/out" 2>&1 </dev/null || status=$?
cat "$work/out"
if [ $status -ne 0 ]; then
    echo "== the simulator's log:"
    cat "$work/sim.log"
fi
exit $status
