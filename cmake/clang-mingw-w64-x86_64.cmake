# The second compiler of the Windows build (preset windows-clang): Debian's
# clang for the MinGW-w64 target, with the headers and libraries of Debian's
# MinGW-w64 GCC (posix threads) and LLVM's linker. It keeps the code to what
# compilers other than GCC accept.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang does not recognise Debian's "12-posix" folder as a GCC version, so
# the C++ library's headers and the GCC libraries are named here.
file(GLOB gcc_folders LIST_DIRECTORIES true /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
list(SORT gcc_folders COMPARE NATURAL)
list(POP_BACK gcc_folders gcc)
if(NOT gcc)
  message(FATAL_ERROR "No MinGW-w64 GCC with posix threads (Debian package g++-mingw-w64-x86-64-posix)")
endif()
set(CMAKE_CXX_FLAGS_INIT
    "-Wno-unused-command-line-argument -nostdinc++ -isystem ${gcc}/include/c++ -isystem ${gcc}/include/c++/x86_64-w64-mingw32 -isystem ${gcc}/include/c++/backward")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc}")
endforeach()
set(CMAKE_C_FLAGS_INIT "-Wno-unused-command-line-argument")
# GCC's driver adds the threads library of the posix threads model itself.
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-lpthread")
set(CMAKE_C_STANDARD_LIBRARIES_INIT "-lpthread")
