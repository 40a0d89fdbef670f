# The Debian package of the Linux programs, nimbrel and nimbrel-devsim,
# with their man pages: "cpack" in the Linux build directory makes
# nimbrel_<version>_<architecture>.deb (scripts/package.sh puts it in dist/).
# The Windows build makes the installer instead (packaging/windows).
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

install(TARGETS nimbrel nimbrel-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages made from the programs' own --help.
set(man_pages)
foreach(program nimbrel nimbrel-devsim)
  if(program STREQUAL "nimbrel")
    set(description "the files of Korvel braille displays and notetakers")
  else()
    set(description "plays Korvel braille devices on pseudo-terminals")
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/linux/man-page.sh $<TARGET_FILE:${program}> ${description} ${page}
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/linux/man-page.sh
    COMMENT "Man page of ${program}"
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Korvel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "files of Korvel braille displays and notetakers from the command line")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "nimbrel lists, copies, renames and deletes the files on Korvel braille\n"
  "displays and notetakers connected to serial or USB serial ports, names the\n"
  "devices, loads braille tables and shows what a device displays.\n"
  "nimbrel-devsim plays such devices on pseudo-terminals, for trying nimbrel\n"
  "without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Nimbrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
