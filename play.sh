#!/usr/bin/env bash
# Sets everything up, builds Strumkey and starts it. The build folder holds
# the whole program: strumkey with its sound bank (se.csv, se.dat) beside it;
# the settings file strumkey.ini appears there after the first run.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
if [ ! -x build/strumkey ]; then
  echo "The build did not produce build/strumkey." >&2
  exit 1
fi
exec build/strumkey
