#!/bin/sh
# makensis making a 64-bit installer: its default stub is 32-bit, which a
# 64-bit-only Windows (or Wine) cannot run. CPack splits any argument it is
# given at its blanks, so the target is set here.
exec makensis "-XTarget amd64-unicode" "$@"
