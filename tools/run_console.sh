#!/usr/bin/env bash
# Builds a console and starts it against simulated devices on a virtual
# serial line.
#
#   tools/run_console.sh              telvar_v210 with second-generation devices
#   tools/run_console.sh telvar_105   telvar_105 with first-generation devices
#
# Everything lives in a folder of the user's own, $TMPDIR/telvar-demo-UID
# (/tmp when TMPDIR is not set): the line is a pseudo-terminal made by
# telvar_sim, linked at ttyV0 there. The program runs in a private mount
# namespace in which /sys/class/tty is empty, so its port list comes from the
# file comports.txt in that folder: click the menu bar and the line is picked
# under Connection > Port (it is the only line of the file). Without a
# display, the program runs on a virtual one (Xvfb) and a screenshot is left
# in the folder. Ctrl-C stops the demo.
set -euo pipefail
program="${1:-telvar_v210}"
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="${TMPDIR:-/tmp}/telvar-demo-$(id -u)"

case "$program" in
  telvar_v210) folder=console_v2; devices=(--device 5:20 --device 9:21 --script 5:8000:3=5,8=120) ;;
  telvar_105) folder=console_v1; devices=(--device 5:3 --device 9:4 --script 5:8000:3=0x0402,4=75) ;;
  *) echo "usage: $0 [telvar_v210|telvar_105]" >&2; exit 2 ;;
esac

fail() { echo "$(basename "$0"): $*" >&2; exit 1; }

# The folder is the user's alone: made private, never followed as a link.
mkdir -m 700 -p "$demo"
[ -d "$demo" ] && [ ! -L "$demo" ] && [ -O "$demo" ] || fail "$demo is not a folder of yours; remove it or set TMPDIR"
chmod 700 "$demo"

# One demo per user at a time: a second one would take over the first
# one's line and display.
exec 9>"$demo/lock"
flock -n 9 || fail "a demo of yours is already running (lock $demo/lock); stop it with Ctrl-C first"

"$root/tools/install_packages.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target "$program" telvar_sim

cd "$demo"
pids=()
# The last started goes first: the program before its display and its line.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

rm -f "$demo/ttyV0"
"$root/build/tools/telvar_sim" --link "$demo/ttyV0" --log "$demo/sim.log" "${devices[@]}" >"$demo/sim.out" &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/ttyV0" ] && break; sleep 0.1; done
[ -e "$demo/ttyV0" ] || fail "the simulator did not make its line $demo/ttyV0 (see $demo/sim.out)"
echo "$demo/ttyV0" >"$demo/comports.txt"
echo "Simulated devices on $demo/ttyV0 (requests logged in $demo/sim.log): ${devices[*]}"

# Qt keeps its runtime files there; a shared default clashes between users.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$demo/runtime"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
fi

if [ -z "${DISPLAY:-}" ]; then
  source "$root/tools/virtual_display.sh"
  start_virtual_display "$demo" || fail "the virtual display (Xvfb) did not start; its messages are above and in $demo/xvfb.log"
  echo "No display here: $program runs on the virtual display $DISPLAY, and you get only a screenshot."
  ( sleep 4; import -window root "$demo/$program.png" &&
      echo "Screenshot: $demo/$program.png (Ctrl-C stops the demo)" ) &
  pids+=($!)
fi

# An empty /sys/class/tty makes the program take its ports from comports.txt.
namespace=(unshare -m)
[ "$(id -u)" -eq 0 ] || namespace=(unshare -r -m)
empty_tty_class="mount -t tmpfs tmpfs /sys/class/tty"
exec_program="$empty_tty_class && cd '$demo' && exec '$root/build/$folder/$program'"
if ! why=$("${namespace[@]}" sh -c "$empty_tty_class" 2>&1); then
  {
    echo "Cannot make a private mount namespace here: ${why:-${namespace[*]} failed}"
    echo "The program then lists this machine's own serial ports, and the simulated line"
    echo "$demo/ttyV0 is listed only if the machine has none. To get it listed, run the"
    echo "demo as root, or allow unprivileged user namespaces (as root:"
    echo "sysctl -w kernel.unprivileged_userns_clone=1, or on systems with AppArmor"
    echo "sysctl -w kernel.apparmor_restrict_unprivileged_userns=0)."
  } >&2
  exec_program="cd '$demo' && exec '$root/build/$folder/$program'"
  namespace=()
fi
echo "Starting $program; Ctrl-C stops the demo."
# In the background, so that Ctrl-C or a TERM ends the whole demo at once.
"${namespace[@]}" sh -c "$exec_program" &
pids+=($!)
trap 'exit 130' INT
trap 'exit 143' TERM
wait "${pids[-1]}"
