#!/usr/bin/env bash
# Sets everything up and runs every test: a normal build, then the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer, then the
# platform, stroke and key tests (the timer thread and its triggers) built with
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-asan -DSTRUMKEY_SANITIZE=ON -DSTRUMKEY_BENCH=OFF
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-tsan -DSTRUMKEY_TSAN=ON -DSTRUMKEY_BENCH=OFF
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" -L "platform|stroke|app")
