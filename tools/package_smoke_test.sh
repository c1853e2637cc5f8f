#!/usr/bin/env bash
# Builds the Debian package, checks it (lintian: no errors; the menu entries
# valid), installs it with apt-get, reads a status block with the installed
# telvar_v210 from the installed telvar_sim on a virtual display, and removes
# the package again, also when a step fails (and also when it was installed
# before). Run as root (CI) or through sudo.
#
#   tools/package_smoke_test.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
package=telvar-consoles
if [ "$(id -u)" -ne 0 ]; then
  echo "package_smoke_test.sh: installs a package; run it as root (sudo $0)" >&2
  exit 2
fi
export DEBIAN_FRONTEND=noninteractive

deb="$("$root/tools/make_package.sh")"
echo "== lintian $deb"
lintian --fail-on error "$deb"

work="$(mktemp -d /tmp/telvar-package.XXXXXX)"
pids=()
cleanup() {
  status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  echo "== apt-get remove $package"
  apt-get remove -y "$package" >/dev/null || status=1
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

echo "== apt-get install $deb"
apt-get install -y "$deb"
desktop-file-validate /usr/share/applications/telvar_v210.desktop /usr/share/applications/telvar_105.desktop

# The installed simulator: one ТЕЛВАР-2 at 247, the address the program
# starts with.
port="$work/ttyV0"
if ! TELVAR_SIM=/usr/bin/telvar_sim "$root/tools/sim_line.sh" --background \
  --link "$port" --log "$work/sim.log" --device 247:20 >/dev/null 2>"$work/sim.pid"; then
  cat "$work/sim.pid" >&2
  exit 1
fi
pids+=("$(sed -n 's/^telvar_sim pid //p' "$work/sim.pid")")
echo "$port" >"$work/comports.txt"

# A virtual display of our own. Other X servers on this machine may keep
# their lock files out of our sight, so the numbers tried are high, start at
# a point of this run's own, and a server that cannot take its number exits
# and the next is tried. Xvfb writes the number once it accepts clients.
start_display() {
  local first=$((200 + $$ % 500)) n pid
  for n in $(seq "$first" $((first + 9))); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    : >"$work/display"
    Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      if [ -s "$work/display" ]; then
        pids+=("$pid")
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "package_smoke_test.sh: no virtual display on :$first..:$((first + 9)); the last Xvfb said:" >&2
  cat "$work/xvfb.log" >&2
  return 1
}
start_display

echo "== /usr/bin/telvar_v210 on $DISPLAY against /usr/bin/telvar_sim on $port"
# The session bus and the accessibility bus it starts stay off the display,
# so that they end with the session, not with the display.
timeout 120 env -u DISPLAY dbus-run-session -- env DISPLAY="$DISPLAY" \
  /usr/bin/python3 "$root/tools/package_smoke_drive.py" /usr/bin/telvar_v210 "$work" "$port" "$work/sim.log"
