#!/usr/bin/env bash
# Installs every Debian package that Strumkey needs to build, run and test;
# with "windows", also what the Windows build and its tests need (MinGW-w64,
# Wine, NSIS, locales) and the PipeWire that the sound tests start for
# themselves, as test.sh wants; with "bench", that PipeWire too (for
# heard_timing) and the peers that app_bench starts beside the program (VMPK,
# QSynth). PipeWire is not installed for a player: on a PulseAudio desktop it
# would offer to replace the sound server. Safe to run again: when everything is already there it
# changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip libzip-dev
  libasound2-dev libpipewire-0.3-dev
  libsdl1.2-dev libsdl-mixer1.2-dev libvorbis-dev
  qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libxcb1-dev libxcb-xkb-dev libxkbcommon-dev libwayland-dev
  qt6-wayland fonts-ipafont-gothic
  libx11-dev xvfb xauth xdotool x11-utils x11-xkb-utils imagemagick sway
  pulseaudio pulseaudio-utils
  clang libclang-rt-14-dev clang-format clang-tidy
  desktop-file-utils appstream groff-base dpkg-dev file
  libfluidsynth-dev fluid-soundfont-gm
  libjack-jackd2-dev jackd2
)
pipewire=(pipewire pipewire-pulse wireplumber dbus)
if [ "${1:-}" = bench ]; then
  packages+=("${pipewire[@]}" vmpk qsynth libxtst-dev)
fi
if [ "${1:-}" = windows ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 nsis locales "${pipewire[@]}"
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Please run as root (missing: ${missing[*]})" >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
