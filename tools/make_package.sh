#!/usr/bin/env bash
# Builds the Debian package telvar-consoles_<version>_<arch>.deb: a Release
# build of the packaged programs in build-package/ with Debian's build flags
# (dpkg-buildflags, every hardening feature on), then cpack. Prints the path
# of the .deb on standard output; everything else goes to standard error.
#
#   tools/make_package.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-package"

"$root/tools/install_packages.sh" debian-packages.txt debian-packages-package.txt >&2

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The flags as a Debian package is built with. dpkg-buildflags maps the
# source folder to "." in the debug information; it is asked from there.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flag() { (cd "$root" && dpkg-buildflags --get "$1"); }
cppflags="$(flag CPPFLAGS)"
cflags="$(flag CFLAGS)"
cxxflags="$(flag CXXFLAGS)"
ldflags="$(flag LDFLAGS)"
# cpack installs without building everything first: the tests and the
# benchmark stay out of the package build.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$cppflags $cflags" -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" >&2
cmake --build "$build" -j"$(nproc)" --target package_programs >&2

rm -f "$build"/telvar-consoles_*.deb
(cd "$build" && cpack -G DEB >&2)
debs=("$build"/telvar-consoles_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "make_package.sh: cpack made no telvar-consoles_*.deb in $build" >&2
  exit 1
fi
echo "${debs[0]}"
