#!/usr/bin/env bash
# CI stage: cross-builds the core, frostmark-cli, the generators and every core, map and command-line test
# for 64-bit Windows with Debian's MinGW-w64, and runs the tests under Wine (Debian's wine64), each test
# program as one ctest entry: a fresh Wine prefix takes a few seconds, every later program start a fraction
# of one. The desktop program is not built here: there is no Windows Qt among Debian's packages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64
start=$(date +%s)
jobs=$(nproc)
# Wine's loader is in Wine's library folder, not on the PATH.
wine=$(dpkg -L wine64 | grep -m1 '/wine64$')
export WINEDEBUG=-all
export WINEPREFIX="$PWD/build-windows/wine"

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DFROSTMARK_WERROR=ON -DFROSTMARK_APP=OFF -DFROSTMARK_BENCH=OFF >/dev/null
cmake --build build-windows -j"$jobs"

# A prefix of the run's own, so that nothing of an earlier run (files, registry values) counts.
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
status=0
(cd build-windows && ctest --output-on-failure --no-tests=error -j"$jobs") || status=$?
"$(dirname "$wine")/wineserver" -k 2>/dev/null || true
echo "test-windows: $(($(date +%s) - start)) s"
exit "$status"
