# What users install. The Windows build makes the setup program
# Nimbrel-<version>-setup.exe with NSIS (packaging/windows); in the Linux
# build directory, "cpack" makes the Debian package of nimbrel and
# nimbrel-devsim, nimbrel_<version>_<architecture>.deb, with their man pages.
# scripts/package.sh puts both into dist/.
if(WIN32)
  find_program(NIMBREL_MAKENSIS makensis)
  if(NOT NIMBREL_MAKENSIS)
    message(STATUS "makensis not found: no setup program (Debian package nsis)")
    return()
  endif()
  set(NIMBREL_INSTALLER_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/windows/Nimbrel.nsi)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/ReadMe.txt.in ${PROJECT_BINARY_DIR}/installer/ReadMe.txt
                 @ONLY NEWLINE_STYLE CRLF)

  # nimbrel_installer(<target> <version> <module> <German module> <tool>):
  # the setup program <target>.exe of <version> with the given build targets
  # (tests make one of an older version too).
  function(nimbrel_installer target version module german tool)
    set(output ${PROJECT_BINARY_DIR}/installer/${target}.exe)
    set(files ${PROJECT_BINARY_DIR}/installer/${target})  # the programs without their debugging data
    set(strip ${CMAKE_STRIP})
    if(NOT strip)  # a linker that keeps debugging data apart
      set(strip ${CMAKE_COMMAND} -E true)
    endif()
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${files}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${module}> ${files}/Nimbrel.dll
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${german}> ${files}/NimbrelDEU.dll
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${tool}> ${files}/nimbrel.exe
      COMMAND ${strip} ${files}/Nimbrel.dll ${files}/NimbrelDEU.dll ${files}/nimbrel.exe
      COMMAND ${NIMBREL_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${version} -DOUTPUT=${output}
              -DMODULE=${files}/Nimbrel.dll -DGERMAN_MODULE=${files}/NimbrelDEU.dll -DTOOL=${files}/nimbrel.exe
              -DREADME=${PROJECT_BINARY_DIR}/installer/ReadMe.txt -DICON=${PROJECT_SOURCE_DIR}/src/resources/Nimbrel.ico
              ${NIMBREL_INSTALLER_SCRIPT}
      DEPENDS ${module} ${german} ${tool} ${NIMBREL_INSTALLER_SCRIPT} ${PROJECT_BINARY_DIR}/installer/ReadMe.txt
      COMMENT "Setup program ${target}.exe"
      VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${output})
  endfunction()

  nimbrel_installer(Nimbrel-${PROJECT_VERSION}-setup ${PROJECT_VERSION} Nimbrel NimbrelDEU nimbrel)
  return()
endif()
if(NIMBREL_SANITIZE)
  return()  # a build for finding faults, never for users
endif()
include(GNUInstallDirs)

install(TARGETS nimbrel nimbrel-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The man pages, written as such, with the version filled in.
set(man_pages)
foreach(program nimbrel nimbrel-devsim)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/${program}.1.in ${PROJECT_BINARY_DIR}/man/${program}.1 @ONLY)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND sh -c "gzip -9n -c '${PROJECT_BINARY_DIR}/man/${program}.1' > '${page}'"
    DEPENDS ${PROJECT_BINARY_DIR}/man/${program}.1
    COMMENT "Man page of ${program}"
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# For the user to copy: the mount at login, the ports for the user at the computer.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/nimbrel-mount.service
              ${PROJECT_SOURCE_DIR}/packaging/linux/70-nimbrel.rules
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/nimbrel/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Korvel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "files of Korvel braille displays and notetakers from the command line")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "nimbrel lists, copies, renames and deletes the files on Korvel braille\n"
  "displays and notetakers connected to serial or USB serial ports, names the\n"
  "devices, loads braille tables and shows what a device displays; nimbrel\n"
  "mount shows the devices' files in a folder (FUSE).\n"
  "nimbrel-devsim plays such devices on pseudo-terminals, for trying nimbrel\n"
  "without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Nimbrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# nimbrel mount mounts and unmounts through fusermount3.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fuse3)
include(CPack)
