#!/usr/bin/env bash
# CI stage: builds the fuzz targets of fuzz/ with Clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each on the committed corpus for a few seconds; any crash, leak,
# sanitizer report, failed check or hang fails the stage.
#
#   bash tools/test-fuzz.sh              # CI: about ten seconds a target
#   bash tools/test-fuzz.sh 600          # a longer session: ten minutes a target
#   bash tools/test-fuzz.sh 600 radar    # one target only
#
# New inputs the fuzzer finds go to build-fuzz/corpus/<target> (not the committed corpus); crashing
# inputs to build-fuzz/artifacts/. Each target's executions and time are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(world scripts numbers patch radar cli)
# The fuzzer's runtime comes with Clang's compiler runtime package, which Debian only recommends.
bash tools/install-deps.sh clang libclang-rt-14-dev
jobs=$(nproc)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DFROSTMARK_FUZZ=ON -DFROSTMARK_SANITIZE=ON -DFROSTMARK_WERROR=ON \
    -DFROSTMARK_TESTS=OFF -DFROSTMARK_BENCH=OFF -DFROSTMARK_APP=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target $(printf 'fuzz_%s ' "${targets[@]}")

mkdir -p build-fuzz/artifacts
summary=()
for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  log=build-fuzz/fuzz_$target.log
  start=$(date +%s)
  # The first corpus directory takes what the run adds; the committed one is only read. A hang (an input
  # taking over 10 s) or more than 2 GB of memory counts as a crash.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -dict="fuzz/dict/$target.dict" \
      -artifact_prefix="build-fuzz/artifacts/${target}-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -60 "$log" >&2
    echo "test-fuzz: fuzz_$target failed; the input is in build-fuzz/artifacts/, the log in $log" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  summary+=("fuzz_$target: ${runs:-?} executions in $(($(date +%s) - start)) s")
done
printf '%s\n' "${summary[@]}"
