#!/bin/sh
# InstallTest.sh tree <build> <version>
#   installs the build into a scratch prefix and checks what lands there.
# InstallTest.sh package <build> <version>
#   makes the Debian package into a scratch folder, unpacks it and checks the
#   same files under usr/, and the package's fields.
# Needs CMAKE_COMMAND or CPACK_COMMAND; desktop-file-validate, appstreamcli,
# identify, groff and dpkg-deb. SDL_MIXER_LINKED_IN=1: the build links SDL and
# SDL_mixer in and ships their notices.
set -eu
mode=$1 build=$2 version=$3
id=io.github.strumkey.Strumkey
sizes="16 32 48 64 128 256"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/strumkey-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Everything that an installed Strumkey has under its prefix, and nothing else.
check_prefix() {
  cd "$1"
  {
    echo bin/strumkey
    echo lib/strumkey/se.csv
    echo lib/strumkey/se.dat
    echo lib/strumkey/strumkey
    echo share/applications/$id.desktop
    echo share/doc/strumkey/SOUND-BANK.txt
    echo share/doc/strumkey/copyright
    if [ "${SDL_MIXER_LINKED_IN:-0}" = 1 ]; then
      echo share/doc/strumkey/libsdl1.2/COPYING
      echo share/doc/strumkey/libsdl1.2/copyright
      echo share/doc/strumkey/sdl-mixer1.2/COPYING
      echo share/doc/strumkey/sdl-mixer1.2/copyright
    fi
    for s in $sizes; do echo share/icons/hicolor/${s}x$s/apps/$id.png; done
    echo share/man/man1/strumkey.1.gz
    echo share/metainfo/$id.metainfo.xml
  } | LC_ALL=C sort >"$scratch/expected"
  find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort >"$scratch/actual"
  diff -u "$scratch/expected" "$scratch/actual" >&2 || fail "the installed files are not the expected ones"

  # The program stays beside its bank; the launcher on PATH is a link to it.
  { [ -f lib/strumkey/strumkey ] && [ ! -L lib/strumkey/strumkey ] && [ -x lib/strumkey/strumkey ]; } ||
    fail "lib/strumkey/strumkey is not an executable file"
  [ "$(readlink bin/strumkey)" = ../lib/strumkey/strumkey ] || fail "bin/strumkey is not a relative link to the program"
  [ "$(readlink -f bin/strumkey)" = "$(readlink -f lib/strumkey/strumkey)" ] || fail "bin/strumkey does not resolve to the program"
  for f in se.csv se.dat; do
    cmp -s "$build/$f" lib/strumkey/$f || fail "lib/strumkey/$f is not the build's"
  done

  for s in $sizes; do
    got=$(identify -format '%wx%h' share/icons/hicolor/${s}x$s/apps/$id.png 2>&1) || true
    [ "$got" = "${s}x$s" ] || fail "the ${s}x$s icon is $got"
  done

  desktop=share/applications/$id.desktop
  out=$(desktop-file-validate "$desktop" 2>&1) || true
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
  grep -qx "Exec=strumkey" "$desktop" || fail "the desktop entry does not start strumkey"

  # Infos are allowed, errors and warnings are not.
  metainfo=share/metainfo/$id.metainfo.xml
  if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || echo "$out" | grep -q '^[EW]:'; then
    fail "appstreamcli validate: $out"
  fi
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"

  man=share/man/man1/strumkey.1.gz
  out=$(gzip -dc "$man" | groff -man -ww -z 2>&1) || fail "the manual page does not decompress"
  [ -z "$out" ] || fail "groff: $out"
  gzip -dc "$man" | grep -q "^\.TH STRUMKEY 1 .*\"Strumkey $version\"" || fail "the manual page is not of version $version"
  cd - >/dev/null
}

case $mode in
  tree)
    "$CMAKE_COMMAND" --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1 ||
      { cat "$scratch/install.log" >&2; fail "cmake --install failed"; exit 1; }
    check_prefix "$scratch/prefix"
    ;;
  package)
    "$CPACK_COMMAND" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
      { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
    deb="$scratch/out/strumkey_${version}_$(dpkg --print-architecture).deb"
    [ -f "$deb" ] || { ls "$scratch/out" >&2; fail "no $(basename "$deb")"; exit 1; }
    dpkg-deb -x "$deb" "$scratch/root"
    [ "$(ls "$scratch/root")" = usr ] || fail "the package installs outside /usr: $(ls "$scratch/root")"
    check_prefix "$scratch/root/usr"

    for field in Package=strumkey Version=$version Section=sound Recommends=qt6-wayland; do
      got=$(dpkg-deb -f "$deb" "${field%%=*}")
      [ "$got" = "${field#*=}" ] || fail "${field%%=*} is '$got', not '${field#*=}'"
    done
    # One dependency a line, without its version.
    dpkg-deb -f "$deb" Depends | sed 's/, /\n/g' | sed 's/ (.*)$//' >"$scratch/depends"
    sdl="libsdl1.2debian libsdl-mixer1.2"
    [ "${SDL_MIXER_LINKED_IN:-0}" = 1 ] && sdl="libpipewire-0.3-0 libpulse0 libasound2 libvorbisfile3"
    for dep in $sdl libqt6widgets6 "fonts-ipafont-gothic | fonts-noto-cjk" qt6-qpa-plugins; do
      grep -qxF "$dep" "$scratch/depends" || fail "Depends lacks $dep: $(tr '\n' ' ' <"$scratch/depends")"
    done
    ;;
  *)
    echo "usage: InstallTest.sh tree|package <build> <version>" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "all checks passed ($mode)"
