# Build options that keep the code honest: warnings as errors, sanitizers
# and the libFuzzer targets. The presets "sanitize" (AddressSanitizer and
# UndefinedBehaviorSanitizer, whole native suite, fuzz targets) and "tsan"
# (ThreadSanitizer, the threaded tests) set them.
option(NIMBREL_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
set(NIMBREL_SANITIZE "" CACHE STRING "Sanitizers for the native build, e.g. address,undefined or thread")
option(NIMBREL_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(NIMBREL_WARNINGS_AS_ERRORS AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Werror)
endif()

if(NIMBREL_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "NIMBREL_SANITIZE is for the native build")
  endif()
  # A finding ends the program, so a test cannot pass over one.
  add_compile_options(-fsanitize=${NIMBREL_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${NIMBREL_SANITIZE})
endif()

if(NIMBREL_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "NIMBREL_FUZZ needs clang (libFuzzer)")
endif()

# The threaded tests: nimbrel_add_test(<name> THREADED ...) labels a
# program "<name>-threaded" and makes the target nimbrel_threaded_tests build
# it, which is all the "tsan" preset builds and runs (ctest -L threaded).
add_custom_target(nimbrel_threaded_tests)
