#!/usr/bin/env bash
# Sets everything up and runs every test: a normal build with GCC, then the
# same tests built with clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the platform, stroke and key tests and a
# few whole-program strokes (the timer thread and its triggers) built with GCC
# and ThreadSanitizer, then the fuzz targets built with clang's libFuzzer,
# each run for a fixed number of executions (scripts/fuzz.sh runs them longer).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSTRUMKEY_SANITIZE=ON -DSTRUMKEY_BENCH=OFF
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-tsan -DSTRUMKEY_TSAN=ON -DSTRUMKEY_BENCH=OFF
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" -L "platform|stroke|app")
# The stroke and key tests run their timers on a virtual clock: the hand-over
# between the key handling and the real timer thread is raced here, in the
# whole program, by strokes cut by a new stroke, by space and by closing.
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" \
  -R "^(Strum.ANewStrokeCutsTheOldSound|Strum.AnAutoRepeatedLetter|Effects.SpaceDropsThePendingStrings|Lifecycle.ClosingCutsTheSounds)")
scripts/build.sh build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSTRUMKEY_FUZZ=ON -DSTRUMKEY_BENCH=OFF
(cd build-fuzz && ctest --output-on-failure -j"$(nproc)")
