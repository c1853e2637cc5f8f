# Cross-building for 64-bit Windows with Debian's mingw-w64 (the packages
# g++-mingw-w64-x86-64-posix and its gcc). The posix thread model is the one
# that has std::thread.
#
# The serial component and its tests, which run under wine, without Qt:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTELVAR_SERIAL_ONLY=ON
#
# The two programs, against Qt for Windows from tools/build_qt_windows.sh:
# Qt's own toolchain file loads this one (the preset windows-cross).
#
#   cmake -S . -B build-windows-programs -DCMAKE_TOOLCHAIN_FILE=QT/lib/cmake/Qt6/qt.toolchain.cmake \
#     -DQT_CHAINLOAD_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTELVAR_PROGRAMS_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TELVAR_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TELVAR_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELVAR_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${TELVAR_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TELVAR_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Qt-free test programs are linked statically, so that they run under
# wine, or on Windows, without the compiler's DLLs beside them. Against Qt,
# whose DLLs use the C++ and thread run-times as DLLs, the programs do so
# too: a process has one C++ run-time, not two.
if(TELVAR_SERIAL_ONLY)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
