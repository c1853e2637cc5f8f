# What the Debian package telvar-consoles installs, and how CPack builds it.
# tools/make_package.sh builds the target package_programs and runs cpack.

set(TELVAR_CONSOLES telvar_v210 telvar_105)
set(TELVAR_PACKAGED_PROGRAMS ${TELVAR_CONSOLES} telvar_sim)
set(TELVAR_ICON_SIZES 16 32 48 64 128 256)
set(TELVAR_PACKAGE_NAME telvar-consoles)
set(TELVAR_DOC_DIR share/doc/${TELVAR_PACKAGE_NAME})
set(TELVAR_MAINTAINER_EMAIL telvar-consoles@example.org)
set(TELVAR_MAINTAINER "ТЕЛВАР consoles maintainers <${TELVAR_MAINTAINER_EMAIL}>")
# Where software centres find the project and the screenshots of docs/.
set(TELVAR_HOMEPAGE "https://telvar-consoles.example.org" CACHE STRING "The project's home page")
set(TELVAR_SCREENSHOT_URL "" CACHE STRING "Where docs/telvar_v210.png and docs/telvar_105.png are published (default: the home page's docs/)")
if(NOT TELVAR_SCREENSHOT_URL)
  set(TELVAR_SCREENSHOT_URL "${TELVAR_HOMEPAGE}/docs")
endif()
set(TELVAR_APPSTREAM_PREFIX org.example.telvar_consoles)

# Programs. A stripped install (cpack's) also drops the sections that
# carry nothing at run time, as dh_strip does.
install(TARGETS ${TELVAR_PACKAGED_PROGRAMS} RUNTIME DESTINATION bin)
foreach(program IN LISTS TELVAR_PACKAGED_PROGRAMS)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endforeach()

# Manual pages, compressed without a time stamp.
set(man_files)
foreach(program IN LISTS TELVAR_PACKAGED_PROGRAMS)
  set(page ${PROJECT_SOURCE_DIR}/packaging/man/${program}.1)
  set(copy ${PROJECT_BINARY_DIR}/man/${program}.1)
  set(gz ${copy}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${page} ${copy}
    COMMAND gzip -9 --no-name --force ${copy}
    DEPENDS ${page}
    COMMENT "Compressing the manual page of ${program}"
    VERBATIM)
  list(APPEND man_files ${gz})
  install(FILES ${gz} DESTINATION share/man/man1)
endforeach()

# Menu entries and icons: PNGs of every size drawn from each console's SVG.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_files)
foreach(console IN LISTS TELVAR_CONSOLES)
  set(svg ${PROJECT_SOURCE_DIR}/packaging/${console}.svg)
  install(FILES packaging/${console}.desktop DESTINATION share/applications)
  install(FILES ${svg} DESTINATION share/icons/hicolor/scalable/apps)
  foreach(size IN LISTS TELVAR_ICON_SIZES)
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/${console}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg}
      DEPENDS ${svg}
      COMMENT "Icon ${console} ${size}x${size}"
      VERBATIM)
    list(APPEND icon_files ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
endforeach()

# AppStream metadata: what software centres show of each console.
foreach(console IN LISTS TELVAR_CONSOLES)
  set(metainfo ${PROJECT_BINARY_DIR}/packaging/${TELVAR_APPSTREAM_PREFIX}.${console}.metainfo.xml)
  configure_file(packaging/${console}.metainfo.xml.in ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION share/metainfo)
endforeach()

# Documentation: the README, the copyright file and the changelog, which
# Debian keeps compressed without a time stamp.
set(copyright ${PROJECT_BINARY_DIR}/packaging/copyright)
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
configure_file(packaging/copyright.in ${copyright} @ONLY)
configure_file(packaging/changelog.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND gzip -9 --no-name --force --keep ${changelog}
  DEPENDS ${changelog}
  COMMENT "Compressing the package changelog"
  VERBATIM)
install(FILES README.md ${copyright} ${changelog}.gz DESTINATION ${TELVAR_DOC_DIR})

add_custom_target(package_files ALL DEPENDS ${icon_files} ${man_files} ${changelog}.gz)
add_custom_target(package_programs)
add_dependencies(package_programs ${TELVAR_PACKAGED_PROGRAMS} package_files)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TELVAR_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TELVAR_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service consoles for ТЕЛВАР alarm-loop devices on Modbus RTU")
set(CPACK_PACKAGE_DESCRIPTION
  "Two desktop programs with which a field technician commissions, checks and\n"
  "adjusts ТЕЛВАР alarm-loop devices on a Modbus RTU serial bus: telvar_v210\n"
  "for the second-generation devices ТЕЛВАР-1, -2 and -3, telvar_105 for the\n"
  "first-generation devices ТЕЛВАР-1(EX) and -2(EX). Either searches the bus,\n"
  "reads and decodes the status block once or every 500 ms, changes the\n"
  "configuration and shows every request and reply in a traffic log.\n"
  "The device simulator telvar_sim plays devices on a pseudo-terminal line\n"
  "for a demonstration without hardware.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
