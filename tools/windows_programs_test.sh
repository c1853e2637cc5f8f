#!/usr/bin/env bash
# The Windows check of the two programs, in one command: Qt for Windows
# (built once per machine, then from its cache), both programs and the zip
# (tools/windows_programs_build.sh), then under wine:
#   - the windows' tests (tests/windows/consoles), headless, each driving
#     the real window against telvar_sim on a pseudo-terminal the prefix
#     sees as COM5;
#   - the zip itself: unpacked into a fresh prefix, each program started
#     from it on a virtual display, a bus search and a status read clicked,
#     answered by the simulator, the program still running afterwards
#     (tools/windows_screenshots.sh); the screenshots stay in
#     build-windows-programs/.
# The Linux peers (telvar_sim, the modem-line shim) come from the Linux
# build in build/, built here when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-windows-programs"
start=$SECONDS
"$root/tools/install_packages.sh" debian-packages.txt debian-packages-windows.txt

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target telvar_sim wine_modem_lines

# The programs, the zip and its check; its path is the last line.
zip="$("$root/tools/windows_programs_build.sh" | tee /dev/stderr | tail -n 1)"

# The windows' tests in the same build.
cmake -S "$root" -B "$build" -DTELVAR_WINDOWS_TESTS=ON -DTELVAR_HOST_BUILD="$root/build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tst_wine_console_v2 tst_wine_console_v1
stop_wineserver() {
  WINEPREFIX="$build/wine-prefix" /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
}
trap stop_wineserver EXIT
echo "== the windows' tests under wine"
ctest --test-dir "$build" --output-on-failure --timeout 300
stop_wineserver

echo "== the zip under wine"
# A first start in a fresh prefix can be slow on a busy machine: one more try.
"$root/tools/windows_screenshots.sh" "$zip" "$build" ||
  { echo "== the zip under wine, once more" >&2; "$root/tools/windows_screenshots.sh" "$zip" "$build"; }
echo "== windows_programs_test.sh: passed in $((SECONDS - start)) s"
