#!/usr/bin/env bash
# The Wine prefix that the Windows build's tests run in:
#   wine-prefix.sh <prefix> start   makes it once (kept in the build folder)
#                                   with the locales the tests run Wine in,
#                                   beside it, and starts its server to stay,
#                                   so that every Windows program of the tests
#                                   starts in a fraction of a second
#   wine-prefix.sh <prefix> stop    stops that server
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all
if [ "${2:-start}" = stop ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi
# English (Windows' code page 1252) and Japanese (932), made from the locales
# package's sources into the build folder: the system's list is left alone.
locales=$(dirname "$prefix")/locales
for locale in en_US ja_JP; do
  if [ ! -d "$locales/$locale.UTF-8" ]; then
    mkdir -p "$locales"
    localedef -i "$locale" -c -f UTF-8 "$locales/$locale.UTF-8" || [ -d "$locales/$locale.UTF-8" ]
  fi
done
if [ ! -f "$prefix/.strumkey-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  # No .NET or browser engine to offer: nothing is downloaded.
  WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= wineboot -i >/dev/null 2>&1
  # The dialog's font, which Windows has and Wine has not, is drawn with the
  # Japanese gothic the Linux build uses; the file is UTF-16, as regedit
  # wants for names beyond ASCII.
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"ＭＳ Ｐゴシック"="IPAPGothic"\r\n' |
    iconv -f UTF-8 -t UTF-16 >"$prefix/drive_c/fonts.reg"
  DISPLAY= wine regedit /S 'C:\fonts.reg'
  wineserver -w
  touch "$prefix/.strumkey-ready"
fi
wineserver -p
# Wine's services and its desktop start with the first program run in the
# prefix. The services keep the output of whoever started them open, so they
# are started here, keeping nothing of a test's. The desktop keeps the display
# driver it was made with for every later window: made without a display, no
# window could ever show, so it is made on a virtual X server of its own,
# which it outlives as a test's windows outlive theirs.
if command -v Xvfb >/dev/null; then
  exec 8< <(Xvfb -displayfd 1 -nolisten tcp 2>/dev/null & echo "pid $!")
  read -r _ xvfb <&8
  read -r display <&8
  DISPLAY=:$display wine wineboot </dev/null >/dev/null 2>&1
  kill "$xvfb"
  exec 8<&-
else
  wine wineboot </dev/null >/dev/null 2>&1
fi
