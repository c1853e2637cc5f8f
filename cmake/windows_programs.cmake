# The two programs on Windows.
#
# They are GUI programs: started from Explorer, no console window opens
# beside them.
#
# The cross-build with mingw-w64 (the preset windows-cross, against Qt from
# tools/build_qt_windows.sh) also makes the zip a technician unpacks on a
# laptop and starts from, telvar-consoles-<version>-win64.zip:
#
#   cpack --config build-windows-programs/CPackConfig.cmake
#
# It holds the two programs, the Qt DLLs and plugins they load, the
# compiler's run-time DLLs, their licence texts and README.txt; all of them
# stripped.
if(NOT WIN32 OR NOT TARGET telvar_v210 OR NOT TARGET telvar_105)
  return()
endif()

set_target_properties(telvar_v210 telvar_105 PROPERTIES WIN32_EXECUTABLE ON)

if(NOT MINGW OR NOT CMAKE_CROSSCOMPILING)
  return()  # a build on Windows itself is deployed with windeployqt
endif()

# The run-time DLLs the compiler links the programs and Qt against.
set(telvar_runtime_dlls)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
  file(REAL_PATH "${path}" path)
  list(APPEND telvar_runtime_dlls "${path}")
endforeach()

# Their licences, as Debian ships them: GCC's (libstdc++ and libgcc, GPL-3
# with the GCC Runtime Library Exception) and mingw-w64's (winpthreads).
set(telvar_runtime_copyrights
  gcc=/usr/share/doc/gcc-mingw-w64-base/copyright
  mingw-w64=/usr/share/doc/mingw-w64-common/copyright)

# Qt's: the LGPL (with the GPL it adds to) and the copyright file of the
# source package, which gives the licence of each bundled library (FreeType,
# HarfBuzz, PCRE2, libpng, zlib, ...). tools/build_qt_windows.sh puts them
# into the prefix.
get_filename_component(telvar_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(telvar_qt_licenses "${telvar_qt_prefix}/share/licenses/qtbase")
foreach(file IN ITEMS LGPL-3.0-only.txt GPL-3.0-only.txt copyright debian-source-package)
  if(NOT EXISTS "${telvar_qt_licenses}/${file}")
    message(FATAL_ERROR "Qt's licence text ${telvar_qt_licenses}/${file} is missing; "
      "is ${telvar_qt_prefix} a prefix made by tools/build_qt_windows.sh?")
  endif()
endforeach()
foreach(copyright IN LISTS telvar_runtime_copyrights)
  string(REGEX REPLACE "^[^=]*=" "" file "${copyright}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "The run-time's licence text ${file} is missing")
  endif()
endforeach()

install(TARGETS telvar_v210 telvar_105 RUNTIME DESTINATION .)
install(FILES
    $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
    ${telvar_runtime_dlls}
  DESTINATION .)
# Qt looks for its plugins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

install(FILES "${telvar_qt_licenses}/LGPL-3.0-only.txt" "${telvar_qt_licenses}/GPL-3.0-only.txt"
  DESTINATION licenses/qt)
install(FILES "${telvar_qt_licenses}/copyright" DESTINATION licenses/qt RENAME copyright.txt)
foreach(copyright IN LISTS telvar_runtime_copyrights)
  string(REGEX MATCH "^[^=]*" name "${copyright}")
  string(REGEX REPLACE "^[^=]*=" "" file "${copyright}")
  install(FILES "${file}" DESTINATION licenses/${name} RENAME copyright.txt)
endforeach()

# README.txt with Windows line ends, for Notepad.
file(READ "${CMAKE_CURRENT_LIST_DIR}/windows/README.txt" telvar_readme)
string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" telvar_readme "${telvar_readme}")
string(REPLACE "@QT_VERSION@" "${Qt6_VERSION}" telvar_readme "${telvar_readme}")
file(STRINGS "${telvar_qt_licenses}/debian-source-package" telvar_qt_source LIMIT_COUNT 1)
string(REPLACE "@QT_SOURCE@" "${telvar_qt_source}" telvar_readme "${telvar_readme}")
string(REPLACE "\n" "\r\n" telvar_readme "${telvar_readme}")
file(WRITE "${CMAKE_BINARY_DIR}/windows-zip/README.txt" "${telvar_readme}")
install(FILES "${CMAKE_BINARY_DIR}/windows-zip/README.txt" DESTINATION .)

# Everything goes in stripped: the programs, and the DLLs as Qt's build and
# Debian left them (libstdc++ keeps its symbol table, 23 MB of it).
if(NOT CMAKE_STRIP)
  message(FATAL_ERROR "No strip for ${CMAKE_CXX_COMPILER}")
endif()
install(CODE "
  set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  file(GLOB_RECURSE binaries \"\${folder}/*.exe\" \"\${folder}/*.dll\")
  foreach(binary IN LISTS binaries)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME telvar-consoles)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME telvar-consoles-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
include(CPack)
