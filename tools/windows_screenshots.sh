#!/usr/bin/env bash
# Screenshots of both windows on Windows, as a technician gets them: the zip
# unpacked into a fresh wine prefix, each program started from it on a
# virtual display, against telvar_sim on a pseudo-terminal that the prefix
# lists as its only serial port, COM5. A click on Search > Start finds the
# device at address 5; a click on "ЗАПРОС ПАРАМЕТРОВ" reads its status block
# (after the simulated loop ШС1 went into alarm); then the window is taken.
# A program that does not start (a DLL missing from the zip), a status read
# the simulator did not answer, or a program that ended after it fails the
# run: tools/windows_programs_test.sh runs it as the zip's check.
#
#   tools/windows_screenshots.sh [ZIP [FOLDER]]
#
# ZIP defaults to the one tools/windows_programs_build.sh made; the pictures
# go to FOLDER (default docs/) as telvar_v210_windows.png and
# telvar_105_windows.png. The Linux build in build/ gives the simulator and
# the modem-line shim of the Windows tests (built here when missing).
#
# Text is drawn with FreeType (-platform windows:fontengine=freetype): with
# wine's DirectWrite every line edit stays blank, which Windows does not do.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fail() {
  echo "windows_screenshots.sh: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then  # what the display showed at that moment
    echo "the windows on $DISPLAY:" >&2
    xwininfo -root -tree 2>&1 | grep -E '^ +0x' | head -n 20 >&2 || true
  fi
  exit 1
}

zip="${1:-}"
if [ -z "$zip" ]; then
  zips=("$root"/build-windows-programs/telvar-consoles-*-win64.zip)
  [ -f "${zips[0]}" ] || fail "no zip in build-windows-programs/; make it with tools/windows_programs_build.sh"
  zip="${zips[-1]}"
fi
zip="$(realpath "$zip")"
out="$(realpath "${2:-$root/docs}")"
[ -d "$out" ] || fail "no folder $out"

"$root/tools/install_packages.sh" debian-packages.txt debian-packages-windows.txt
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target telvar_sim wine_modem_lines
sim="$root/build/tools/telvar_sim"
shim="$root/build/tests/windows/host/wine_modem_lines.so"

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
work="$(mktemp -d /tmp/telvar-windows-shots.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  "$server" -k </dev/null >/dev/null 2>&1 || true
  [ -n "${TELVAR_KEEP_WORK:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

# A virtual display, up before the first wine command: the prefix's desktop
# process starts with that command and keeps the display it found (with none,
# no window of the programs ever shows).
source "$root/tools/virtual_display.sh"
start_virtual_display "$work" || fail "the virtual display did not start"

echo "== a fresh wine prefix, the zip unpacked into C:\\"
mkdir -p "$WINEPREFIX"
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 || true
"$server" -w </dev/null >/dev/null 2>&1
[ -f "$WINEPREFIX/system.reg" ] || { cat "$work/wineboot.log" >&2; fail "wineboot made no prefix"; }
(cd "$WINEPREFIX/drive_c" && cmake -E tar xf "$zip")
folder="$(find "$WINEPREFIX/drive_c" -maxdepth 1 -name 'telvar-consoles-*' -type d)"
[ -n "$folder" ] || fail "$zip holds no folder telvar-consoles-*"

# The serial ports in the registry are made anew whenever the prefix's
# server starts: one server stays up for the whole run, with COM5 as the
# only port (wine lists its COM1, /dev/ttyS0, which the programs would take).
"$server" -p </dev/null >/dev/null 2>&1
key='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
reg() {
  "$wine" reg "$@" >"$work/reg.out" 2>&1 </dev/null || { cat "$work/reg.out" >&2; fail "reg $* failed"; }
}
reg delete "$key" /va /f
reg add "$key" /v '\Device\Serial4' /t REG_SZ /d COM5 /f


# wait_for WHAT SECONDS COMMAND...: until the command succeeds.
wait_for() {
  local what=$1 tries=$(($2 * 10))
  shift 2
  until "$@"; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || fail "$what: not within the time"
    sleep 0.1
  done
}

click() {  # at a point of the window, from its top left corner
  xdotool mousemove $((window_x + $1)) $((window_y + $2)) click 1
  sleep 1
}

# shoot PROGRAM BUTTON_X BUTTON_Y STATUS_REQUEST DEVICE...: the picture of
# one program. BUTTON is "ЗАПРОС ПАРАМЕТРОВ" in the window; the request is
# the status read of the device at 5, as the simulator logs it.
shoot() {
  local program=$1 button_x=$2 button_y=$3 request=$4
  shift 4
  echo "== $program.exe against telvar_sim $*"
  local log="$work/$program.sim.log"
  rm -f "$WINEPREFIX/dosdevices/com5"
  "$sim" --link "$WINEPREFIX/dosdevices/com5" --log "$log" "$@" >"$work/sim.out" 2>&1 &
  pids+=($!)
  local sim_start=$SECONDS
  wait_for "telvar_sim serving" 10 test -s "$work/sim.out"

  (cd "$folder" && LD_PRELOAD="$shim" exec "$wine" "$program.exe" -platform windows:fontengine=freetype \
    >"$work/$program.out" 2>&1 </dev/null) &
  pids+=($!)
  local window=
  find_window() { window="$(xdotool search --onlyvisible --classname "^$program\.exe$" 2>/dev/null | head -n 1)"; [ -n "$window" ]; }
  find_window_or_exit() {
    find_window && return 0
    kill -0 "${pids[-1]}" 2>/dev/null && return 1
    cat "$work/$program.out" >&2
    fail "$program.exe ended without a window (a DLL missing from the zip?)"
  }
  wait_for "the window of $program.exe" 180 find_window_or_exit
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/window_/')"
  window_x=$window_X window_y=$window_Y

  click 107 5   # Search
  click 126 25  # Start
  wait_for "the bus search finding the device at 5" 30 grep -q $'^[0-9.]*\t05 03 00 00 00 01 .*\tok$' "$log"
  # The simulated loop ШС1 goes into alarm 8 s after the start.
  while [ $((SECONDS - sim_start)) -lt 10 ]; do sleep 0.5; done
  click "$button_x" "$button_y"
  wait_for "the status read answered" 20 grep -q $'^[0-9.]*\t'"$request"$' .*\tok$' "$log"
  sleep 2
  # Still running, its window still there.
  kill -0 "${pids[-1]}" 2>/dev/null && xdotool getwindowname "$window" >/dev/null 2>&1 || {
    cat "$work/$program.out" >&2
    fail "$program.exe ended after the status read"
  }
  xdotool mousemove 0 0
  sleep 1
  import -window root -crop "${window_WIDTH}x${window_HEIGHT}+${window_x}+${window_y}" +repage "$out/${program}_windows.png"
  echo "   $out/${program}_windows.png (${window_WIDTH}x${window_HEIGHT})"

  kill "${pids[-1]}" "${pids[-2]}" 2>/dev/null || true
  wait "${pids[-1]}" "${pids[-2]}" 2>/dev/null || true
  unset 'pids[-1]' 'pids[-1]'
}

shoot telvar_v210 296 401 "05 03 00 00 00 1E" --device 5:20 --device 9:21 --script 5:8000:3=5,8=120
shoot telvar_105 210 257 "05 03 00 00 00 0C" --device 5:3 --device 9:4 --script 5:8000:3=0x0402,4=75
