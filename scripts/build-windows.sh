#!/usr/bin/env bash
# Builds Strumkey for 64-bit Windows on Debian 12, with MinGW-w64, and makes
# its packages in build-windows/:
#   strumkey-<version>-windows-x64.zip  the portable copy
#   strumkey-<version>-windows-x64.exe  the installer
# The libraries it ships (SDL, SDL_mixer, libogg, libvorbis) are built from
# Debian's sources into build-windows/windows-libraries once and kept there.
# The sound bank and the resource file are made by tools of the Linux build
# (build/). Extra arguments are CMake options of the Windows build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh windows
scripts/build.sh build -- strumkey_bank strumkey_resource_file
scripts/build-sound-libraries.sh windows "$root/build-windows/windows-libraries"
scripts/build.sh build-windows \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/MinGW-w64-x86_64.cmake" \
  -DSTRUMKEY_WINDOWS_LIBRARIES="$root/build-windows/windows-libraries" \
  -DSTRUMKEY_HOST_TOOLS="$root/build/StrumkeyHostTools.cmake" \
  "$@"
(cd build-windows && cpack >/dev/null)
ls -1 build-windows/strumkey-*-windows-x64.zip build-windows/strumkey-*-windows-x64.exe
