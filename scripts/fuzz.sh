#!/usr/bin/env bash
# Fuzzes every parser for longer than the tests do: fuzz.sh [seconds per
# target, default 300] [target...]. Builds the fuzz targets of build-asan
# (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, as
# test.sh builds it), then runs each target from its committed corpus; what it
# finds new is kept in build-asan/found/, and an input that fails is written
# there as crash-* with the report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
"$root/scripts/install-deps.sh"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in "$root"/tests/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi
"$root/scripts/build.sh" build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSTRUMKEY_SANITIZE=ON \
  -DSTRUMKEY_BENCH=OFF -- "${targets[@]/#/fuzz_}"
status=0
for target in "${targets[@]}"; do
  found="$root/build-asan/found/$target"
  mkdir -p "$found"
  echo "== $target: $seconds s"
  (cd "$found" && SDL_AUDIODRIVER=dummy "$root/build-asan/tests/fuzz/fuzz_$target" \
      -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=1 \
      "$found" "$root/tests/fuzz/corpus/$target") || status=1
done
exit $status
