#!/usr/bin/env bash
# The Windows check of the serial component: its Win32 back-end and the
# registry port list, cross-built with mingw-w64 and run under wine against
# devices on pseudo-terminals that the wine prefix sees as COM ports.
# Installs what is missing, builds the Linux tools the tests talk to (in
# build/, shared with tools/build_and_test.sh), cross-builds the tests (in
# build-windows/), runs them with ctest, and prints what an idle open port
# costs in CPU time (bench/windows/bench_idle_port).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install_packages.sh" debian-packages.txt debian-packages-windows.txt

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j"$(nproc)" --target telvar_sim wine_line_peer wine_modem_lines

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$root/build-windows" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTELVAR_SERIAL_ONLY=ON \
  -DTELVAR_HOST_BUILD="$root/build" "${launcher[@]}"
cmake --build "$root/build-windows" -j"$(nproc)"

# The prefix's server is ended however the tests went.
stop_wineserver() {
  WINEPREFIX="$root/build-windows/wine-prefix" /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
}
trap stop_wineserver EXIT
ctest --test-dir "$root/build-windows" --output-on-failure --timeout 300

# The figure the tests do not assert: an idle open port's CPU time.
WINEPREFIX="$root/build-windows/wine-prefix" TELVAR_WINE=/usr/lib/wine/wine64 TELVAR_HOST_BUILD="$root/build" \
  "$root/tests/windows/run_under_wine.sh" "$root/build-windows/bench/windows/bench_idle_port.exe"
