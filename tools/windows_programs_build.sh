#!/usr/bin/env bash
# Cross-builds telvar_v210.exe and telvar_105.exe for 64-bit Windows (Release,
# in build-windows-programs/) against Qt for Windows, and makes the zip a
# technician unpacks and starts the programs from:
# build-windows-programs/telvar-consoles-<version>-win64.zip, whose path it
# prints as its last line.
#
#   tools/windows_programs_build.sh              build, make the zip, check it
#   tools/windows_programs_build.sh --check ZIP  check a zip only
#
# Qt for Windows comes from tools/build_qt_windows.sh: built once per
# machine (about 35 minutes on two cores), then taken from its cache; or
# from the prefix TELVAR_QT_WINDOWS names, when set.
#
# The check unpacks the zip: one folder with the two programs and the two
# plugins; every DLL that its programs and DLLs import is in it or is one of
# Windows' own; no DLL in it that nothing loads.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-windows-programs"

fail() {
  echo "windows_programs_build.sh: $*" >&2
  exit 1
}

check_zip() {
  local zip=$1 work folder binary dll unused
  work="$(mktemp -d)"
  # shellcheck disable=SC2064
  trap "rm -rf '$work'" RETURN
  (cd "$work" && cmake -E tar xf "$zip") || fail "$zip cannot be unpacked"
  folder="$(find "$work" -mindepth 1 -maxdepth 1 -type d)"
  [ -n "$folder" ] && [ "$(find "$work" -mindepth 1 -maxdepth 1 | wc -l)" -eq 1 ] ||
    fail "$zip does not hold one folder"
  for file in telvar_v210.exe telvar_105.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll README.txt; do
    [ -f "$folder/$file" ] || fail "$zip has no $file"
  done

  # Windows' own DLLs: those wine brings along stand for them.
  local system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
  [ -d "$system_dlls" ] || fail "no $system_dlls (wine64) to tell Windows' own DLLs by"
  find "$folder" -maxdepth 1 -iname '*.dll' -printf '%f\n' | tr '[:upper:]' '[:lower:]' | sort >"$work/shipped"
  : >"$work/imported"
  while IFS= read -r -d '' binary; do
    x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p' |
      tr '[:upper:]' '[:lower:]' | sort -u >"$work/imports"
    cat "$work/imports" >>"$work/imported"
    while IFS= read -r dll; do
      # api-ms-win-*: API sets, names the loader maps onto system DLLs.
      grep -qxF "$dll" "$work/shipped" || [ -f "$system_dlls/$dll" ] || [[ $dll == api-ms-win-* ]] ||
        fail "${binary#"$folder"/} in $zip loads $dll, which is neither in the zip nor one of Windows' DLLs"
    done <"$work/imports"
  done < <(find "$folder" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
  unused="$(sort -u "$work/imported" | comm -13 - "$work/shipped" | tr '\n' ' ')"
  [ -z "$unused" ] || fail "$zip holds DLLs that nothing loads: $unused"
  echo "== $(basename "$zip"): $(du -k "$zip" | cut -f1) KB, $(find "$folder" -type f | wc -l) files"
}

if [ "${1:-}" = "--check" ]; then
  [ $# -eq 2 ] || fail "usage: $(basename "$0") [--check ZIP]"
  check_zip "$(realpath "$2")"
  exit 0
fi
[ $# -eq 0 ] || fail "usage: $(basename "$0") [--check ZIP]"

"$root/tools/install_packages.sh" debian-packages.txt debian-packages-windows.txt

# A prefix given in TELVAR_QT_WINDOWS is taken as it is.
if [ -z "${TELVAR_QT_WINDOWS:-}" ]; then
  TELVAR_QT_WINDOWS="$("$root/tools/build_qt_windows.sh" | tail -n 1)"
fi
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
check_zip "${zips[0]}"
echo "${zips[0]}"
