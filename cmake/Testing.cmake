# GoogleTest from Debian's sources, built with the project's own compiler
# so the same suites run natively and, cross-built, under Wine.
if(NOT NIMBREL_BUILD_TESTS)
  return()
endif()

enable_testing()
set(NIMBREL_PORT_DIR ${CMAKE_BINARY_DIR}/ports)
# The simulator makes its links only in a folder that exists.
file(MAKE_DIRECTORY ${NIMBREL_PORT_DIR})
if(CMAKE_CROSSCOMPILING)
  # The pseudo-terminal peers and the device simulator are Linux programs
  # from the native build; Wine starts them like any other program.
  set(NIMBREL_NATIVE_TOOLS_DIR ${CMAKE_SOURCE_DIR}/build/linux/bin CACHE PATH "Native tools for the Windows tests")
else()
  set(NIMBREL_NATIVE_TOOLS_DIR ${CMAKE_BINARY_DIR}/bin)
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Every Windows test program runs under Wine in a private prefix inside
  # the build directory; the prefix is made once, at build time.
  set(NIMBREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR})
  add_custom_command(
    OUTPUT ${NIMBREL_WINEPREFIX}/.nimbrel-ready
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${CMAKE_BINARY_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh
    COMMENT "Preparing the Wine prefix for the Windows tests"
    VERBATIM)
  add_custom_target(wineprefix ALL DEPENDS ${NIMBREL_WINEPREFIX}/.nimbrel-ready)
endif()

# nimbrel_add_test(<name> [THREADED] SOURCES <files...> LIBRARIES <libs...> [PROPERTIES <name value...>])
# One GoogleTest program; each test case becomes one CTest test. PROPERTIES
# go to every test case (e.g. ENVIRONMENT LC_ALL=de_DE.UTF-8). THREADED
# programs also run under ThreadSanitizer (their label ends in "-threaded").
function(nimbrel_add_test name)
  cmake_parse_arguments(ARG "THREADED" "" "SOURCES;LIBRARIES;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set(labels ${name})
  if(ARG_THREADED)
    # One label that both names match (a list would not reach the
    # discovered tests whole): ctest -L takes a pattern.
    set(labels ${name}-threaded)
    add_dependencies(nimbrel_threaded_tests ${name})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} nimbrel_testsupport GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    NIMBREL_TOOLS_DIR="${NIMBREL_NATIVE_TOOLS_DIR}"
    NIMBREL_PORT_DIR="${NIMBREL_PORT_DIR}")
  if(TARGET wineprefix)
    add_dependencies(${name} wineprefix)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${labels} ${ARG_PROPERTIES})
endfunction()
