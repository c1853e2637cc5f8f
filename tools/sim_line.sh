#!/bin/sh
# Starts telvar_sim on a new pseudo-terminal line and prints the port path
# (the --link path) once the simulator serves it.
#
#   tools/sim_line.sh [--background] --link PATH --device ADDR:MODEL ... [other telvar_sim options]
#
# The binary is $TELVAR_SIM if set, else the first of build/tools/telvar_sim,
# build-*/tools/telvar_sim under the repository. Without --background the
# script stays in the foreground until Ctrl-C (or SIGTERM), which stops the
# simulator and removes the link. With --background it returns at once,
# leaving the simulator running; its process id goes to standard error.
set -eu

background=0
if [ "${1:-}" = "--background" ]; then
    background=1
    shift
fi

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
sim=${TELVAR_SIM:-}
if [ -z "$sim" ]; then
    for candidate in "$repo"/build/tools/telvar_sim "$repo"/build-*/tools/telvar_sim; do
        if [ -x "$candidate" ]; then
            sim=$candidate
            break
        fi
    done
fi
if [ -z "$sim" ] || [ ! -x "$sim" ]; then
    echo "sim_line.sh: telvar_sim not found; build the target telvar_sim or set TELVAR_SIM" >&2
    exit 2
fi

ready=$(mktemp)
trap 'rm -f "$ready"' EXIT
# The simulator prints the link path on its first line once it serves.
"$sim" "$@" >"$ready" &
pid=$!

waited=0
while [ ! -s "$ready" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" || exit $?
        exit 1
    fi
    if [ "$waited" -ge 100 ]; then
        echo "sim_line.sh: telvar_sim did not get ready in 5 s" >&2
        kill "$pid"
        exit 1
    fi
    sleep 0.05
    waited=$((waited + 1))
done
head -n 1 "$ready"

if [ "$background" = 1 ]; then
    echo "telvar_sim pid $pid" >&2
    exit 0
fi
trap 'kill "$pid" 2>/dev/null; wait "$pid"; rm -f "$ready"; exit 0' INT TERM
wait "$pid"
