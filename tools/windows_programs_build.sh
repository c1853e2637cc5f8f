#!/usr/bin/env bash
# Cross-builds telvar_v210.exe and telvar_105.exe for 64-bit Windows (Release,
# in build-windows-programs/) against Qt for Windows, and makes the zip a
# technician unpacks and starts the programs from:
# build-windows-programs/telvar-consoles-<version>-win64.zip, whose path it
# prints as its last line.
#
#   tools/windows_programs_build.sh
#
# Qt for Windows comes from tools/build_qt_windows.sh: built once per
# machine (about 35 minutes on two cores), then taken from its cache. The
# zip is checked: every DLL that its programs and DLLs import is in it or is
# one of Windows' own, and it holds no DLL that nothing loads.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-windows-programs"
"$root/tools/install_packages.sh" debian-packages.txt debian-packages-windows.txt

fail() {
  echo "windows_programs_build.sh: $*" >&2
  exit 1
}

TELVAR_QT_WINDOWS="$("$root/tools/build_qt_windows.sh" | tail -n 1)"
export TELVAR_QT_WINDOWS
echo "== Qt for Windows: $TELVAR_QT_WINDOWS"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cd "$root"
cmake --preset windows-cross "${launcher[@]}"
cmake --build --preset windows-cross --parallel "$(nproc)"

rm -f "$build"/telvar-consoles-*-win64.zip
(cd "$build" && cpack --config CPackConfig.cmake -G ZIP)
zips=("$build"/telvar-consoles-*-win64.zip)
[ -f "${zips[0]}" ] && [ ${#zips[@]} -eq 1 ] || fail "cpack made no zip in $build"
zip="${zips[0]}"

# The zip as it comes out on a laptop.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
folder="$(find "$work" -mindepth 1 -maxdepth 1 -type d)"
[ -n "$folder" ] && [ -f "$folder/telvar_v210.exe" ] && [ -f "$folder/telvar_105.exe" ] ||
  fail "$zip has no folder with the two programs"
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
  [ -f "$folder/$plugin" ] || fail "$zip has no $plugin"
done

# Windows' own DLLs: those wine brings along stand for them.
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -d "$system_dlls" ] || fail "no $system_dlls (wine64) to tell Windows' own DLLs by"
lower() { tr '[:upper:]' '[:lower:]'; }
find "$folder" -maxdepth 1 -name '*.dll' -printf '%f\n' | lower | sort >"$work/shipped"
: >"$work/imported"
while IFS= read -r -d '' binary; do
  x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p' | lower | sort -u >"$work/imports"
  cat "$work/imports" >>"$work/imported"
  while IFS= read -r dll; do
    grep -qxF "$dll" "$work/shipped" || [ -f "$system_dlls/$dll" ] ||
      fail "${binary#"$folder"/} loads $dll, which is neither in the zip nor one of Windows' DLLs"
  done <"$work/imports"
done < <(find "$folder" \( -name '*.exe' -o -name '*.dll' \) -print0)
unused="$(sort -u "$work/imported" | comm -13 - "$work/shipped")"
[ -z "$unused" ] || fail "$zip holds DLLs that nothing loads: $unused"

echo "== $(basename "$zip"): $(du -k "$zip" | cut -f1) KB, $(find "$folder" -type f | wc -l) files"
echo "$zip"
