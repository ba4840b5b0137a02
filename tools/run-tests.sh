#!/usr/bin/env bash
# Builds Frostmark twice (Release, as users build it, and under AddressSanitizer +
# UndefinedBehaviorSanitizer), with warnings as errors, and runs every test in both builds; then the CI
# stages of their own (tools/test-*.sh). Exits non-zero on the first failure. Both builds keep line
# tables only (-g1): enough for stack traces, and much quicker to compile on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each stage's time goes to the log: the whole run has to stay well inside CI's time on two cores.
started=$SECONDS
took() {
  echo "run-tests: $1 took $((SECONDS - started)) s (total $SECONDS s)"
  started=$SECONDS
}
bash tools/check-core-includes.sh
bash tools/install-deps.sh
took "installing the build's packages"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O3 -g1 -DNDEBUG" \
    -DFROSTMARK_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure --no-tests=error -j"$jobs")
took "the Release build and its tests"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
    -DFROSTMARK_SANITIZE=ON -DFROSTMARK_BENCH=OFF -DFROSTMARK_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure --no-tests=error -j"$jobs")
took "the sanitizer build and its tests"

bash tools/test-clang.sh
took "the Clang build and its tests"
bash tools/test-packages.sh
took "the packages' checks"
bash tools/test-windows.sh
took "the Windows build and its tests under Wine"
bash tools/test-fuzz.sh
took "the fuzz targets' short runs"
