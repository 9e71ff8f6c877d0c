#!/usr/bin/env bash
# Configures and builds one build folder:
#   build.sh <folder> [cmake options...] [-- targets...]
# With targets, builds only those.
# A new folder is set up for Ninja (scripts/install-deps.sh installs it), which
# starts compiling a program's sources while the libraries it links are still
# being built; a folder that exists keeps the generator it was made with.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
[ $# -gt 0 ] && shift
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
generator=()
if [ ! -f "$root/$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
# A Linux build links SDL_mixer with WAV and Ogg only, made once for every
# build folder (build-linux-libraries).
mixer=()
if [[ " ${options[*]} " != *" -DCMAKE_TOOLCHAIN_FILE="* ]]; then
  "$root/scripts/build-sound-libraries.sh" linux "$root/build-linux-libraries"
  mixer=(-DSTRUMKEY_SDL_MIXER="$root/build-linux-libraries")
fi
cmake -S "$root" -B "$root/$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${mixer[@]}" "${options[@]}" >/dev/null
cmake --build "$root/$dir" -j"$(nproc)" "${targets[@]}"
