# The one version of the product (project(... VERSION) in the top
# CMakeLists.txt) as a header for the code and the resource scripts.

# nimbrel_version_header(<target> <version> <folder>): an interface library
# <target> whose users include "NimbrelVersion.h" saying <version>.
function(nimbrel_version_header target version folder)
  string(REPLACE "." ";" parts "${version}")
  list(LENGTH parts count)
  if(NOT count EQUAL 4)
    message(FATAL_ERROR "The version must have four parts: ${version}")
  endif()
  list(GET parts 0 NIMBREL_VERSION_MAJOR)
  list(GET parts 1 NIMBREL_VERSION_MINOR)
  list(GET parts 2 NIMBREL_VERSION_PATCH)
  list(GET parts 3 NIMBREL_VERSION_TWEAK)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/NimbrelVersion.h.in ${folder}/NimbrelVersion.h @ONLY)
  add_library(${target} INTERFACE)
  target_include_directories(${target} INTERFACE ${folder})
endfunction()

nimbrel_version_header(nimbrel_version ${PROJECT_VERSION} ${PROJECT_BINARY_DIR}/generated)
