#!/usr/bin/env bash
# Builds the Debian package, checks it (lintian --pedantic -I: no tag at
# all; the AppStream metadata valid; the manual pages), installs it with
# apt-get, checks the installed programs' hardening and the menu entries,
# reads a status block with the installed telvar_v210 from the installed
# telvar_sim on a virtual display, and removes the package again, also when
# a step fails (and also when it was installed before). Run as root (CI) or
# through sudo.
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

programs=(telvar_v210 telvar_105 telvar_sim)
consoles=(telvar_v210 telvar_105)
fail() {
  echo "package_smoke_test.sh: $*" >&2
  exit 1
}

deb="$("$root/tools/make_package.sh")"
echo "== lintian --pedantic -I $deb"
lintian --pedantic -I --fail-on error,warning,info,pedantic "$deb"

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

# The metadata as software centres read it from the package's tree: each
# component valid, its menu entry and icon found beside it.
echo "== appstreamcli validate-tree"
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree"

echo "== apt-get install $deb"
apt-get install -y "$deb"

echo "== hardening-check"
# Control flow protection is left out: Debian 12 builds without it (its C
# start-up files carry no IBT or SHSTK property, so no program can have it).
hardening-check --nocfprotection "${programs[@]/#//usr/bin/}"

# From the package's tree: a machine may keep manual pages out of what
# dpkg installs.
echo "== manual pages"
for program in "${programs[@]}"; do
  page="$work/tree/usr/share/man/man1/$program.1.gz"
  [ -f "$page" ] || fail "no manual page $page"
  gzip --test "$page"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "$page: $warnings"
done

echo "== menu entries and AppStream metadata"
for console in "${consoles[@]}"; do
  entry="/usr/share/applications/$console.desktop"
  desktop-file-validate "$entry"
  for key in 'Name\[ru\]' 'Comment\[ru\]'; do
    grep -q "^$key=" "$entry" || fail "$entry: no $key"
  done
  for keyword in Modbus RS-485 serial ТЕЛВАР; do
    grep -q "^Keywords=\(.*;\)\?$keyword;" "$entry" || fail "$entry: no keyword $keyword"
  done
  metainfo="$(ls /usr/share/metainfo/*."$console".metainfo.xml)"
  appstreamcli validate --no-net "$metainfo"
  grep -q "<launchable type=\"desktop-id\">$console.desktop</launchable>" "$metainfo" ||
    fail "$metainfo: no launchable $console.desktop"
  grep -q "<image type=\"source\">https://.*/$console.png</image>" "$metainfo" ||
    fail "$metainfo: no screenshot $console.png"
done

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

# A virtual display of our own.
source "$root/tools/virtual_display.sh"
start_virtual_display "$work" || fail "the virtual display did not start"

echo "== /usr/bin/telvar_v210 on $DISPLAY against /usr/bin/telvar_sim on $port"
# The session bus and the accessibility bus it starts stay off the display,
# so that they end with the session, not with the display.
timeout 120 env -u DISPLAY dbus-run-session -- env DISPLAY="$DISPLAY" \
  /usr/bin/python3 "$root/tools/package_smoke_drive.py" /usr/bin/telvar_v210 "$work" "$port" "$work/sim.log"
