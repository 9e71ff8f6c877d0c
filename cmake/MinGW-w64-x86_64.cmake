# Cross build for 64-bit Windows with Debian's MinGW-w64:
#   cmake -S . -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64-x86_64.cmake \
#         -DSTRUMKEY_WINDOWS_LIBRARIES=<folder made by scripts/build-sound-libraries.sh windows>
#
# The -posix compilers are used: the win32 thread model has no std::thread.
# The C and C++ runtimes (libgcc, libstdc++, winpthread) are linked in
# statically, so an .exe needs only Windows' own DLLs and ours.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# SDL, SDL_mixer, Ogg and Vorbis for Windows; by default the folder
# windows-libraries in the build folder.
if(NOT DEFINED STRUMKEY_WINDOWS_LIBRARIES)
  set(STRUMKEY_WINDOWS_LIBRARIES "${CMAKE_BINARY_DIR}/windows-libraries"
      CACHE PATH "Prefix of the Windows builds of SDL, SDL_mixer, Ogg and Vorbis")
endif()
# try_compile() projects read this file again; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STRUMKEY_WINDOWS_LIBRARIES)

# Headers, libraries and CMake packages come from the cross prefix and our
# libraries only; programs (windres, wine, ...) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET} "${STRUMKEY_WINDOWS_LIBRARIES}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not see the build machine's .pc files either.
set(ENV{PKG_CONFIG_LIBDIR} "${STRUMKEY_WINDOWS_LIBRARIES}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Everything linked statically that can be: the runtimes, and winpthread,
# which libstdc++ asks for after every option. DLLs are linked by the full
# path of their import libraries, which -static leaves alone; Windows' own
# import libraries are static archives anyway.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs and other built tools run under Wine. Give the full command
# (e.g. -DCMAKE_CROSSCOMPILING_EMULATOR=/opt/wine/bin/wine) to use another.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs Windows programs on the build machine")
