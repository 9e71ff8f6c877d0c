#!/usr/bin/env bash
# Sets everything up and runs every test: a normal build with GCC; the
# Windows build (MinGW-w64), its tests under Wine and the same end-to-end
# scenarios played by the Windows program under Wine; the tests built with
# clang, with AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets among them as libFuzzer programs, each run over its corpus and for
# a fixed number of executions more (scripts/fuzz.sh runs them longer); and
# the platform, stroke and key tests and a few whole-program strokes (the
# timer thread and its triggers) built with GCC and ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
scripts/install-deps.sh windows
scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

# The Windows build: its unit tests run under Wine in the build folder's own
# prefix, whose server stays up until the end; then the Linux build's
# end-to-end tests play the Windows program under Wine.
scripts/build-windows.sh
trap 'scripts/wine-prefix.sh "$root/build-windows/wine-prefix" stop' EXIT
scripts/wine-prefix.sh "$root/build-windows/wine-prefix" start
(cd build-windows && ctest --output-on-failure -j"$(nproc)")
# The program's own runs start from a server of their own, with nothing left
# of the unit tests' processes.
scripts/wine-prefix.sh "$root/build-windows/wine-prefix" stop
scripts/wine-prefix.sh "$root/build-windows/wine-prefix" start
(cd build && STRUMKEY_WINDOWS_BUILD="$root/build-windows" ctest --output-on-failure -j"$(nproc)" -R "/Wine")
scripts/wine-prefix.sh "$root/build-windows/wine-prefix" stop

scripts/build.sh build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSTRUMKEY_SANITIZE=ON -DSTRUMKEY_BENCH=OFF
(cd build-asan && ctest --output-on-failure -j"$(nproc)")
scripts/build.sh build-tsan -DSTRUMKEY_TSAN=ON -DSTRUMKEY_BENCH=OFF
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" -L "platform|stroke|app")
# The stroke and key tests run their timers on a virtual clock: the hand-over
# between the key handling and the real timer thread is raced here, in the
# whole program, by strokes cut by a new stroke, by space and by closing.
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" \
  -R "^(Strum.ANewStrokeCutsTheOldSound|Strum.AnAutoRepeatedLetter|Effects.SpaceDropsThePendingStrings|Lifecycle.ClosingCutsTheSounds)")
