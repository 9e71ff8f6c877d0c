#!/usr/bin/env bash
# Builds the sound libraries that strumkey links against from Debian's own
# source packages with all of Debian's patches applied:
#
#   build-sound-libraries.sh [--update] windows|linux DEST
#
# windows: SDL 1.2, SDL_mixer 1.2 (WAV and Ogg Vorbis), libogg and libvorbis
#   as 64-bit DLLs with Debian's MinGW-w64. DEST gets include/, lib/ (import
#   libraries, .pc files), bin/ (the DLLs) and share/licenses/<source
#   package>/ (the notices we ship with the DLLs).
# linux: SDL 1.2 with its sound drivers only (PipeWire, PulseAudio, ALSA, OSS, disk,
#   dummy; no video but the dummy driver), and SDL_mixer 1.2 with WAV and
#   Ogg Vorbis only, as static libraries for libpipewire, libpulse,
#   libasound and libvorbisfile. Debian's own SDL_mixer plays every format it knows and so
#   loads some fifty libraries more (MIDI synthesizers, module players, MP3
#   and FLAC decoders and what they need): a slower start and more memory for
#   formats the program never plays. DEST gets include/SDL/, lib/libSDL.a,
#   lib/libSDL_mixer.a, lib/pkgconfig/sdl.pc and share/licenses/.
#
# Both apply the patches in scripts/sound-library-patches/<source package>/
# on top of Debian's, in the order of their names: on Linux SDL gets a
# PipeWire driver, tried first, that queues one graph cycle and a mix; its
# PulseAudio driver keeps a short queue, never waits for the server for good, and rests while
# the device is paused; on Windows SDL gets a WASAPI driver, tried first;
# the WAV, VOC and AIFF loaders refuse damaged files without leaking or
# dividing by zero.
#
# The sources come through apt with a private source list: each `deb` entry of
# the machine's own apt configuration becomes a `deb-src` entry. Its package
# lists, the downloads, the build trees and the logs live in DEST-work beside
# DEST; the system's apt setup is neither changed nor locked.
#
# The configure scripts are used as shipped, so no autotools are needed:
# Debian regenerates them, but its changes to configure.in only concern its own
# Linux build. Every change to the code is in.
#
# DEST/build-stamp.txt names the source versions (and this recipe) that DEST
# was built from; when they are still the ones apt offers, nothing is done.
# The private package lists are fetched once; --update fetches them again to
# pick up newer Debian revisions (security fixes).
set -euo pipefail

usage() { echo "usage: $0 [--update] windows|linux DEST" >&2; exit 2; }
update=0
if [ "${1-}" = --update ]; then update=1; shift; fi
if [ $# -ne 2 ] || [ -z "$2" ]; then usage; fi
target=$1; shift

# Debian source packages, in build order.
case $target in
  windows)
    host=x86_64-w64-mingw32
    cc=$host-gcc-posix
    tools=("$cc" "$host-windres" "$host-objdump" "$host-strip")
    packages=(libogg libvorbis libsdl1.2 sdl-mixer1.2)
    ;;
  linux)
    cc=gcc
    tools=("$cc" pkg-config)
    packages=(libsdl1.2 sdl-mixer1.2)
    ;;
  *) usage ;;
esac
jobs=$(nproc)

mkdir -p "$1"
dest=$(cd "$1" && pwd)
[ "$dest" != / ] || { echo "DEST must not be /" >&2; exit 2; }
work=$dest-work
stamp=$dest/build-stamp.txt
building=$dest/.build-in-progress

# DEST is emptied before a build: refuse one that holds anything not made here.
if [ -n "$(ls -A "$dest")" ] && [ ! -f "$stamp" ] && [ ! -e "$building" ]; then
  echo "$dest is not empty and was not made by $0; not touching it" >&2
  exit 1
fi
mkdir -p "$work/logs"

# One build at a time per DEST.
exec 9>"$work/lock"
flock 9

for tool in "${tools[@]}" apt-get dpkg-source make; do
  command -v "$tool" >/dev/null || {
    echo "$tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# --- Private apt setup -------------------------------------------------------

apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/keys"
apt=(apt-get -q
     -o "Dir::Etc::SourceList=$apt_dir/sources.list"
     -o Dir::Etc::SourceParts=/nonexistent
     -o "Dir::State::Lists=$apt_dir/lists"
     -o "Dir::Cache=$apt_dir/cache")

# One-line format: every `deb` line, options and all, as `deb-src`.
one_line_to_deb_src() {
  awk '{ sub(/#.*/, "") } $1 == "deb" || $1 == "deb-src" { $1 = "deb-src"; print }' "$1"
}

# deb822 format: one `deb-src` line for each URI and suite of a stanza whose
# Types include deb, keeping Signed-By (a key written into the stanza goes to
# a file of its own) and Trusted.
deb822_to_deb_src() {
  awk -v keys="$apt_dir/keys" -v base="$(basename "$1" .sources)" '
    function flush(   i, j, n_uri, n_suite, uri, suite, opts, is_deb, file) {
      is_deb = 0
      n = split(field["types"], t)
      for (i = 1; i <= n; i++) if (t[i] == "deb" || t[i] == "deb-src") is_deb = 1
      if (is_deb && tolower(field["enabled"]) != "no") {
        opts = ""
        if (key != "") {
          file = keys "/" base "-" NR ".asc"
          printf "%s", key > file
          close(file)
          opts = "signed-by=" file
        } else if (field["signed-by"] != "") {
          gsub(/[ \t]+/, ",", field["signed-by"])
          opts = "signed-by=" field["signed-by"]
        }
        if (field["trusted"] != "") opts = opts (opts == "" ? "" : " ") "trusted=" field["trusted"]
        n_uri = split(field["uris"], uri)
        n_suite = split(field["suites"], suite)
        for (i = 1; i <= n_uri; i++)
          for (j = 1; j <= n_suite; j++)
            print "deb-src" (opts == "" ? "" : " [" opts "]") " " uri[i] " " suite[j] \
                  (field["components"] == "" ? "" : " " field["components"])
      }
      delete field
      key = ""; name = ""
    }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ {                       # continuation of the field before
      line = $0; sub(/^[ \t]+/, "", line)
      if (name == "signed-by" && field[name] == "") key = key (line == "." ? "" : line) "\n"
      else field[name] = field[name] " " line
      next
    }
    {
      name = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", value)
      field[name] = value
    }
    END { flush() }' "$1"
}

write_source_list() {
  local source_list source_parts f
  eval "$(apt-config shell source_list Dir::Etc::SourceList/f source_parts Dir::Etc::SourceParts/d)"
  {
    [ -f "$source_list" ] && one_line_to_deb_src "$source_list"
    for f in "$source_parts"*.list; do [ -f "$f" ] && one_line_to_deb_src "$f"; done
    for f in "$source_parts"*.sources; do [ -f "$f" ] && deb822_to_deb_src "$f"; done
    true
  } | awk '!seen[$0]++' >"$apt_dir/sources.list.new"
  if [ ! -s "$apt_dir/sources.list.new" ]; then
    echo "No deb entries in $source_list or $source_parts" >&2
    exit 1
  fi
}

write_source_list
if [ "$update" = 1 ] || ! cmp -s "$apt_dir/sources.list.new" "$apt_dir/sources.list" ||
   ! compgen -G "$apt_dir/lists/*_Sources*" >/dev/null; then
  echo "Fetching the Debian source package lists"
  mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
  # A repository without sources only warns; Debian's missing shows below.
  if ! "${apt[@]}" update >"$work/logs/apt-update.log" 2>&1; then
    grep -E '^(E|W|Err):' "$work/logs/apt-update.log" | grep -v unsandboxed >&2 || true
  fi
else
  rm -f "$apt_dir/sources.list.new"
fi

# The newest .dsc of each package that apt knows, e.g. libogg_1.3.5-3.dsc.
# (--print-uris runs in a folder without downloads: it skips files it finds.)
dscs=$(cd "$apt_dir" && "${apt[@]}" source --print-uris --only-source "${packages[@]}" 2>"$work/logs/apt-versions.log" |
       awk '$2 ~ /\.dsc$/ { print $2 }') || true
declare -A dsc
for p in "${packages[@]}"; do
  dsc[$p]=$(grep "^${p//./\\.}_" <<<"$dscs" || true)
  if [ -z "${dsc[$p]}" ]; then
    echo "apt knows no source package $p; the apt configuration must list Debian 12 (bookworm) main" >&2
    grep -v unsandboxed "$work/logs/apt-versions.log" >&2 || true
    exit 1
  fi
done

patches=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/sound-library-patches
wanted=$(
  for p in "${packages[@]}"; do v=${dsc[$p]%.dsc}; echo "$p ${v#*_}"; done
  echo "compiler $cc $("$cc" -dumpversion)"
  echo "recipe $(cat "${BASH_SOURCE[0]}" "$patches"/*/*.patch | sha256sum | cut -d' ' -f1)"
)
if [ -f "$stamp" ] && [ ! -e "$building" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  echo "Sound libraries in $dest are up to date"
  exit 0
fi

# --- Build ------------------------------------------------------------------

rm -rf "$dest"
mkdir -p "$dest"
touch "$building"

# step LOG DESCRIPTION COMMAND...: runs one command quietly, shows its log's
# tail when it fails.
step() {
  local log=$work/logs/$1 what=$2
  shift 2
  echo "  $what"
  if ! "$@" >"$log" 2>&1; then
    echo "FAILED: $what; the end of $log:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

echo "Downloading the sources"
mkdir -p "$work/sources"
(cd "$work/sources" && step apt-source.log "apt-get source ${packages[*]}" \
   "${apt[@]}" source --download-only --only-source "${packages[@]}")

# No site defaults. For Windows a clean environment for configure: only our
# prefix, no build machine libraries or .pc files; -static-libgcc goes into CC
# because libtool drops it from LDFLAGS; without it a DLL needs
# libgcc_s_seh-1.dll.
export CONFIG_SITE=/dev/null
unset CXX CXXFLAGS LIBS
if [ "$target" = windows ]; then
  export CC="$cc -static-libgcc"
  export CFLAGS="-O2 -pipe"
  export CPPFLAGS="-I$dest/include"
  export LDFLAGS="-L$dest/lib"
  export PKG_CONFIG_LIBDIR=$dest/lib/pkgconfig PKG_CONFIG_PATH=
  common=(--host="$host" --prefix="$dest" --disable-static)
  sdl=(--with-sdl-prefix="$dest")
else
  # Linked into position-independent executables and the sanitizer builds.
  export CC="$cc"
  export CFLAGS="-O2 -pipe -fPIC"
  unset CPPFLAGS LDFLAGS
  common=(--prefix="$dest" --disable-shared --enable-static --with-pic)
  sdl=(--with-sdl-prefix="$dest")
fi

start=$SECONDS
mkdir -p "$work/build"
for p in "${packages[@]}"; do
  name=${dsc[$p]%.dsc}
  echo "$p ${name#*_}"
  src=$work/build/$p
  rm -rf "$src"
  step "$p-extract.log" "unpacking, with Debian's patches" \
    dpkg-source -x "$work/sources/${dsc[$p]}" "$src"
  cd "$src"
  for patch in "$patches/$p"/*.patch; do
    if [ -f "$patch" ]; then
      step "$p-patch.log" "applying $(basename "$patch")" patch -p1 -i "$patch"
    fi
  done
  case $p in
    libogg)
      step "$p-configure.log" configure ./configure "${common[@]}" --disable-maintainer-mode
      step "$p-make.log" make make -j"$jobs"
      step "$p-install.log" install make install
      ;;
    libvorbis)
      step "$p-configure.log" configure ./configure "${common[@]}" --disable-maintainer-mode \
        --with-ogg="$dest" --disable-oggtest --disable-docs --disable-examples
      step "$p-make.log" make make -j"$jobs"
      step "$p-install.log" install make install
      ;;
    libsdl1.2)
      if [ "$target" = windows ]; then
        # Without --disable-stdio-redirect every program writes stdout.txt
        # and stderr.txt into its folder instead of its console.
        options=(--disable-stdio-redirect)
      else
        # Sound only: the program's window is Qt's. The sound servers'
        # libraries are linked, not loaded by name at run time.
        options=(--disable-video-x11 --disable-dga --disable-video-dga
                 --disable-video-fbcon --disable-video-directfb --disable-video-ps3
                 --disable-video-svga --disable-video-opengl --disable-input-tslib
                 --disable-joystick --disable-cdrom --disable-esd --disable-arts --disable-nas
                 --disable-alsa-shared --disable-pulseaudio-shared)
      fi
      step "$p-configure.log" configure ./configure "${common[@]}" --disable-rpath "${options[@]}"
      # configure leaves the PipeWire driver out, silently, without its library.
      if [ "$target" = linux ] && ! grep -q 'define SDL_AUDIO_DRIVER_PIPEWIRE 1' include/SDL_config.h; then
        echo "FAILED: SDL configured without its PipeWire driver (libpipewire-0.3-dev); see $work/logs/$p-configure.log" >&2
        exit 1
      fi
      step "$p-make.log" make make -j"$jobs"
      step "$p-install.log" install make install
      ;;
    sdl-mixer1.2)
      # Ogg is linked in (the -shared variant would load a DLL by name at run
      # time). The shipped configure adds -lvorbis -logg by itself; Debian's
      # patch to configure.in takes them out, so a regenerated configure
      # would lose Ogg without LIBS.
      step "$p-configure.log" configure ./configure "${common[@]}" \
        "${sdl[@]}" LIBS="-lvorbis -logg" \
        --enable-music-wave --enable-music-ogg --disable-music-ogg-shared \
        --disable-music-ogg-tremor --disable-music-cmd \
        --disable-music-mod --disable-music-mod-shared --disable-music-mod-modplug \
        --disable-music-midi --disable-music-timidity-midi --disable-music-native-midi \
        --disable-music-fluidsynth-midi --disable-music-fluidsynth-shared \
        --disable-music-mp3 --disable-music-mp3-shared --disable-music-mp3-mad-gpl \
        --disable-music-flac --disable-music-flac-shared
      # configure only warns when it cannot find Vorbis.
      if ! grep -q -- '-DOGG_MUSIC' Makefile || grep -q -- '-DOGG_DYNAMIC' Makefile; then
        echo "FAILED: SDL_mixer configured without linked-in Ogg Vorbis; see $work/logs/$p-configure.log" >&2
        exit 1
      fi
      # Only the library: the demo programs playwave and playmus do not link.
      # Its objects' folder first: the rule that makes it races the
      # compilers in a parallel make.
      mkdir -p build
      step "$p-make.log" make make -j"$jobs" build/libSDL_mixer.la
      step "$p-install.log" install make install-hdrs install-lib
      ;;
  esac
  mkdir -p "$dest/share/licenses/$p"
  cp debian/copyright COPYING "$dest/share/licenses/$p/"
  cd "$work"
done

# libtool archives and manuals are of no use to a CMake build.
rm -f "$dest"/lib/*.la
rm -rf "$dest/share/man" "$dest/share/doc" "$dest/share/aclocal"
if [ "$target" = windows ]; then
  # Symbols and the debug information of the runtime parts linked in would
  # double the size of the DLLs we ship.
  "$host-strip" --strip-unneeded "$dest"/bin/*.dll
  # Each DLL may import Windows' DLLs and ours, not MinGW's runtime DLLs.
  for dll in "$dest"/bin/*.dll; do
    if "$host-objdump" -p "$dll" | grep -iE 'DLL Name: *(libgcc|libstdc|libwinpthread)'; then
      echo "FAILED: $dll needs a MinGW runtime DLL" >&2
      exit 1
    fi
  done
fi

echo "$wanted" >"$stamp"
rm -f "$building"
echo "Built in $((SECONDS - start)) s: $(ls "$dest/lib" | tr '\n' ' ')"
