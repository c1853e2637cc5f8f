#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (qtbase only) from Debian's own source
# package, with Debian's mingw-w64 and Debian's Qt host tools (moc, rcc, uic),
# and prints the prefix it is installed in as its last line.
#
#   tools/build_qt_windows.sh                 builds it, unless it is built
#   tools/build_qt_windows.sh --print-prefix  prints the prefix; fails while
#                                             it is not built
#
# The result is shared DLLs, Release, with only what the two programs and
# their tests load: Core, Gui, Widgets, Test, the platform plugins windows
# and offscreen, the style windowsvista. FreeType stays in: under wine the
# programs draw their text with it (-platform windows:fontengine=freetype).
#
# It lives outside the clone, in ${TELVAR_CACHE_DIR:-~/.cache/telvar}, in a
# folder named after the Qt version and a hash of this script and of the
# source package's version, so that every clone on the machine reuses it
# and a change to the recipe builds afresh. An interrupted build goes on
# where it stopped on the next run. The sources and the build folder are
# removed once the prefix is complete (kept with TELVAR_QT_KEEP_BUILD=1).
#
# Takes about 35 minutes on two cores from nothing; run it at low priority
# (nice) beside other work. Installs the Debian packages it needs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
script="$here/$(basename "$0")"

print_only=
case "${1:-}" in
  --print-prefix) print_only=1 ;;
  "") ;;
  *) echo "usage: $(basename "$0") [--print-prefix]" >&2; exit 2 ;;
esac

fail() {
  echo "build_qt_windows.sh: $*" >&2
  exit 1
}

[ -n "$print_only" ] || "$here/install_packages.sh" debian-packages.txt debian-packages-windows.txt >&2

# The host tools must be of the same Qt as the sources: the version of the
# source package is the one Debian built qt6-base-dev-tools from.
source_version="$(dpkg-query -W -f='${db:Status-Status} ${source:Version}' qt6-base-dev-tools 2>/dev/null)" || true
case "$source_version" in
  "installed "?*) source_version="${source_version#installed }" ;;
  *) fail "qt6-base-dev-tools is not installed (tools/install_packages.sh debian-packages.txt debian-packages-windows.txt)" ;;
esac
qt_version="${source_version%%+*}"
qt_version="${qt_version%%-*}"

hash="$( { cat "$script"; echo "$source_version"; } | sha256sum | cut -c1-12)"
cache="${TELVAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/telvar}"
name="qt-$qt_version-mingw64-$hash"
prefix="$cache/$name"
work="$cache/$name.work"
complete="$prefix/.complete"

if [ -n "$print_only" ]; then
  [ -f "$complete" ] || fail "Qt for Windows is not built yet ($prefix); run $(basename "$0")"
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
# One build at a time per cache: a second run waits for the first and then
# finds the prefix complete.
exec 9>"$cache/$name.lock"
flock 9

if [ -f "$complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "build_qt_windows.sh: building Qt $source_version for x86_64-w64-mingw32 into $prefix" >&2
mkdir -p "$work"
src="$work/src"
build="$work/build"

# --- Sources --------------------------------------------------------------
# Fetched with apt-get source through a deb-src list of its own, in folders
# of its own: the system's apt set-up is neither read for sources nor changed.
if [ ! -f "$src/.unpacked" ]; then
  rm -rf "$src" "$work/apt" "$work/download"
  apt_dir="$work/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d" "$work/download"
  # shellcheck disable=SC1091
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  mirror="${TELVAR_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
  security="${TELVAR_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}"
  cat >"$apt_dir/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $codename main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $codename-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $security $codename-security main
EOF
  apt_options=(
    -o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "APT::Sandbox::User=root"
  )
  apt-get "${apt_options[@]}" -q update >&2 || fail "apt-get update of the source lists failed"
  (cd "$work/download" &&
    apt-get "${apt_options[@]}" -q source --download-only "qt6-base=$source_version" >&2) ||
    fail "apt-get source qt6-base=$source_version failed"
  # dpkg-source applies Debian's patches, as Debian's own build does.
  dsc="$(ls "$work/download"/qt6-base_*.dsc)"
  dpkg-source --no-check -x "$dsc" "$src" >&2 || fail "dpkg-source could not unpack $dsc"
  rm -rf "$work/download" "$apt_dir"
  touch "$src/.unpacked"
fi

# --- Configure ------------------------------------------------------------
# The cross compilers, with the posix thread model (std::thread). The file
# goes into the prefix: Qt's qt.toolchain.cmake names it, though the
# programs give their own (QT_CHAINLOAD_TOOLCHAIN_FILE).
mkdir -p "$prefix/lib/cmake"
toolchain="$prefix/lib/cmake/mingw-w64-x86_64-posix.cmake"
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# What is left out, and why it may be:
# - tablet support: Debian's tarball has no src/3rdparty/wintab, which the
#   windows platform plugin's tablet code includes;
# - direct2d1_1, the Direct2D platform plugin (direct2d itself stays: the
#   windows plugin's DirectWrite font database needs it);
# - the modules the programs do not use (network, sql, xml, concurrent,
#   printsupport, dbus, opengl), and gif, jpeg, zstd, vulkan, ICU;
# - parts of Gui and Widgets that no window or test of ours uses, none of
#   them a base of those that do (the graphics view the largest of them):
#   dialogs for files, fonts and colours, calendars and date edits,
#   MDI, wizards, the undo framework, ODF, Markdown and PDF writing, movies,
#   the tray icon and session management. (The input dialog stays: the
#   windowsvista style includes its header.)
if [ ! -f "$build/.configured" ]; then
  rm -rf "$build"
  mkdir -p "$build"
  configure_start=$(date +%s)
  (cd "$build" && "$src/configure" \
    -prefix "$prefix" \
    -release -shared \
    -xplatform win32-g++ \
    -qt-host-path /usr \
    -nomake examples -nomake tests -nomake benchmarks \
    -no-pkg-config -no-icu -no-dbus -no-opengl -no-feature-vulkan \
    -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -qt-freetype -qt-harfbuzz \
    -no-gif -no-zstd \
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent \
    -no-feature-printsupport \
    -no-feature-tabletevent -no-feature-direct2d1_1 \
    -no-feature-graphicsview -no-feature-mdiarea -no-feature-calendarwidget -no-feature-datetimeedit \
    -no-feature-filedialog -no-feature-filesystemmodel -no-feature-fontdialog -no-feature-colordialog \
    -no-feature-errormessage -no-feature-progressdialog -no-feature-wizard \
    -no-feature-dial -no-feature-lcdnumber -no-feature-fontcombobox -no-feature-keysequenceedit \
    -no-feature-columnview -no-feature-toolbox -no-feature-undocommand \
    -no-feature-textodfwriter -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-pdf \
    -no-feature-movie -no-feature-systemtrayicon -no-feature-sessionmanager \
    -- \
    -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    ) >"$work/configure.log" 2>&1 || { tail -n 60 "$work/configure.log" >&2; fail "configure failed (all of it in $work/configure.log)"; }
  echo "build_qt_windows.sh: configured in $(($(date +%s) - configure_start)) s" >&2
  touch "$build/.configured"
fi

# --- Build and install ----------------------------------------------------
build_start=$(date +%s)
cmake --build "$build" --parallel "$(nproc)" >"$work/build.log" 2>&1 ||
  { tail -n 60 "$work/build.log" >&2; fail "the build failed (all of it in $work/build.log)"; }
# The CPU time of this script's children so far, almost all of it the build.
cpu_minutes="$(times | tail -n 1 | awk '{ split($1, u, "m"); split($2, s, "m"); printf "%.0f", u[1] + s[1] + (u[2] + s[2]) / 60 }')"
echo "build_qt_windows.sh: built in $(($(date +%s) - build_start)) s (CPU: $cpu_minutes min in all)" >&2
# Stripped: Release builds keep their symbol tables, half the size of the DLLs.
cmake --install "$build" --strip >"$work/install.log" 2>&1 ||
  { tail -n 60 "$work/install.log" >&2; fail "the install failed (all of it in $work/install.log)"; }

for needed in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
    plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
    plugins/styles/qwindowsvistastyle.dll lib/cmake/Qt6/qt.toolchain.cmake; do
  [ -f "$prefix/$needed" ] || fail "the prefix has no $needed"
done
# The licence texts, for whoever ships the DLLs.
mkdir -p "$prefix/share/licenses/qtbase"
cp "$src"/LICENSES/*.txt "$src/debian/copyright" "$prefix/share/licenses/qtbase/"
echo "qt6-base $source_version" >"$prefix/share/licenses/qtbase/debian-source-package"

touch "$complete"
[ -n "${TELVAR_QT_KEEP_BUILD:-}" ] || rm -rf "$work"
echo "$prefix"
