#!/bin/sh
# Runs a Windows test program under wine in the prefix alone, for the tests
# that need no devices (run_under_wine.sh serves those that do):
#   run_in_prefix.sh PROGRAM [CASE...]            runs the program's cases
#   run_in_prefix.sh --reg-add PROGRAM [CASE...]  first writes the values of
#       HKLM\HARDWARE\DEVICEMAP\SERIALCOMM with wine's reg tool, the way a
#       driver's installer would, and puts the key back as it was afterwards
# Environment: WINEPREFIX (made by run_under_wine.sh --prepare), TELVAR_WINE.
set -eu
: "${WINEPREFIX:?}" "${TELVAR_WINE:?}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
reg_add=
if [ "$1" = "--reg-add" ]; then
    reg_add=1
    shift
fi
program=$1
shift
key='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
work=$(mktemp -d)
saved=
cleanup() {
    if [ -n "$saved" ]; then
        if ! { "$TELVAR_WINE" reg delete "$key" /va /f && "$TELVAR_WINE" reg import saved.reg; } \
                >"$work/reg.out" 2>&1 </dev/null; then
            echo "run_in_prefix.sh: the key could not be put back:" >&2
            cat "$work/reg.out" >&2
        fi
    fi
    cd /
    rm -rf "$work"
}
trap cleanup EXIT
# reg's files lie beside it: a path from / would be taken on the current drive.
cd "$work"

# Wine's output goes to a file: through a pipe it can hold a program up.
reg() {
    if ! "$TELVAR_WINE" reg "$@" >"$work/reg.out" 2>&1 </dev/null; then
        echo "run_in_prefix.sh: reg $* failed:" >&2
        cat "$work/reg.out" >&2
        exit 1
    fi
}

status=0
if [ -n "$reg_add" ]; then
    # The key itself stays: under the volatile HARDWARE tree reg cannot make
    # it again, so only its values go.
    reg export "$key" saved.reg /y
    saved=1
    reg delete "$key" /va /f
    # What the case valuesFromRegAdd expects, as a driver would write it.
    reg add "$key" /v '\Device\Serial0' /t REG_SZ /d COM12 /f
    reg add "$key" /v '\Device\Serial1' /t REG_SZ /d COM1 /f
    reg add "$key" /v '\Device\VCP0' /t REG_SZ /d COM3 /f
    reg add "$key" /v '\Device\USBSER000' /t REG_SZ /d COM10 /f
    reg add "$key" /v PortCount /t REG_DWORD /d 4 /f
fi
"$TELVAR_WINE" "$program" "$@" >"$work/out" 2>&1 </dev/null || status=$?
cat "$work/out"
exit $status
