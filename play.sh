#!/usr/bin/env bash
# Sets everything up, builds Strumkey and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/strumkey ]; then
  exec build/strumkey
fi
echo "Strumkey is built up to its libraries, but the instrument itself (the window) is not built yet." >&2
exit 1
