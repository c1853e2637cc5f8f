#!/usr/bin/env bash
# Builds a console and starts it against simulated devices on a virtual
# serial line.
#
#   tools/run_console.sh              telvar_v210 with second-generation devices
#   tools/run_console.sh telvar_105   telvar_105 with first-generation devices
#
# The line is a pseudo-terminal made by telvar_sim, linked at
# /tmp/telvar-demo/ttyV0. The program runs in a private mount namespace in
# which /sys/class/tty is empty, so its port list comes from the file
# comports.txt in its working directory (/tmp/telvar-demo): click the menu
# bar and pick /tmp/telvar-demo/ttyV0 under Connection > Port (it is picked
# for you as the only line of the file). Without a display, the program runs
# on a virtual one (Xvfb) and a screenshot is left in /tmp/telvar-demo.
set -euo pipefail
program="${1:-telvar_v210}"
root="$(cd "$(dirname "$0")/.." && pwd)"
demo=/tmp/telvar-demo

case "$program" in
  telvar_v210) folder=console_v2; devices=(--device 5:20 --device 9:21 --script 5:8000:3=5,8=120) ;;
  telvar_105) folder=console_v1; devices=(--device 5:3 --device 9:4 --script 5:8000:3=0x0402,4=75) ;;
  *) echo "usage: $0 [telvar_v210|telvar_105]" >&2; exit 2 ;;
esac

"$root/tools/install_packages.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target "$program" telvar_sim

mkdir -p "$demo"
cd "$demo"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

"$root/build/tools/telvar_sim" --link "$demo/ttyV0" --log "$demo/sim.log" "${devices[@]}" >"$demo/sim.out" &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/ttyV0" ] && break; sleep 0.1; done
echo "$demo/ttyV0" >"$demo/comports.txt"
echo "Simulated devices on $demo/ttyV0 (requests logged in $demo/sim.log): ${devices[*]}"

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  ( sleep 4; import -window root "$demo/$program.png" 2>/dev/null &&
      echo "No display here: $program runs on the virtual display $DISPLAY; screenshot: $demo/$program.png" ) &
fi

# An empty /sys/class/tty makes the program take its ports from comports.txt.
namespace=(unshare -m)
[ "$(id -u)" -eq 0 ] || namespace=(unshare -r -m)
exec_program="mount -t tmpfs tmpfs /sys/class/tty && cd '$demo' && exec '$root/build/$folder/$program'"
if ! "${namespace[@]}" true 2>/dev/null; then
  echo "Cannot make a private mount namespace here; the port list will show this machine's ports." >&2
  exec_program="cd '$demo' && exec '$root/build/$folder/$program'"
  namespace=()
fi
"${namespace[@]}" sh -c "$exec_program"
