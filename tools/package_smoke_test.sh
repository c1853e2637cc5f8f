#!/usr/bin/env bash
# Builds the Debian package, checks it (lintian: no errors; the menu entries
# valid), installs it with apt-get, reads a status block with the installed
# telvar_v210 from the installed telvar_sim on a virtual display, and removes
# the package again, also when a step fails. Run as root (CI) or through sudo.
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
apt-get install -y --no-install-recommends "$deb"
desktop-file-validate /usr/share/applications/telvar_v210.desktop /usr/share/applications/telvar_105.desktop

# The installed simulator: one ТЕЛВАР-2 at 247, the address the program
# starts with.
port="$work/ttyV0"
TELVAR_SIM=/usr/bin/telvar_sim "$root/tools/sim_line.sh" --background \
  --link "$port" --log "$work/sim.log" --device 247:20 >/dev/null 2>"$work/sim.pid"
pids+=("$(sed -n 's/^telvar_sim pid //p' "$work/sim.pid")")
echo "$port" >"$work/comports.txt"

# A virtual display on a number that no other X server holds: Xvfb picks it
# and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "package_smoke_test.sh: Xvfb did not start in 10 s:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$work/display")"

echo "== /usr/bin/telvar_v210 on $DISPLAY against /usr/bin/telvar_sim on $port"
timeout 120 dbus-run-session -- /usr/bin/python3 "$root/tools/package_smoke_drive.py" \
  /usr/bin/telvar_v210 "$work" "$port" "$work/sim.log"
