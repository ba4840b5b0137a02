#!/usr/bin/env bash
# CI stage: cross-builds the core, frostmark-cli, the generators and every core, map and command-line test
# for 64-bit Windows with Debian's MinGW-w64, and runs the tests under Wine (Debian's wine64), each test
# program as one ctest entry: a fresh Wine prefix takes a few seconds, every later program start a fraction
# of one. Then the Windows build freezes the sample shard and generated shards as the Linux build does
# (tools/same-results-windows.sh), and its .zip package is made and tried. The desktop program is not built
# here: there is no Windows Qt among Debian's packages.
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

# The same results as the Linux build (built by the test command before this stage; built here when this
# stage runs alone).
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DFROSTMARK_APP=OFF -DFROSTMARK_TESTS=OFF \
        -DFROSTMARK_BENCH=OFF >/dev/null
fi
cmake --build build -j"$jobs" --target frostmark-cli frostmark-worldgen frostmark-scriptgen
bash tools/same-results-windows.sh build build-windows || status=1

# The package: its programs run on their own (the C++ runtime linked in) on the sample shard it holds.
rm -rf build-windows/packages build-windows/unpacked
(cd build-windows && cpack -B "$PWD/packages" >"$PWD/cpack.log" 2>&1) || { cat build-windows/cpack.log; status=1; }
zip=$(find build-windows/packages -maxdepth 1 -name '*.zip' | head -1)
if [ -n "$zip" ]; then
    mkdir -p build-windows/unpacked
    (cd build-windows/unpacked && cmake -E tar xf "../../$zip")
    top=$(find build-windows/unpacked -mindepth 1 -maxdepth 1 -type d | head -1)
    for f in frostmark-cli.exe frostmark-worldgen.exe frostmark-scriptgen.exe frostmark-mapgen.exe README.md \
        samples/world.wsc samples/scripts/tavrel.ini; do
        [ -f "$top/$f" ] || { echo "test-windows: $zip lacks $f"; status=1; }
    done
    expected=$(build/cli/frostmark-cli analyze -w samples/world.wsc -s samples/scripts --static --no-progress)
    got=$(cd "$top" && "$wine" frostmark-cli.exe analyze -w samples\\world.wsc -s samples\\scripts --static \
        --no-progress | tr -d '\r') || true
    [ "$got" = "$expected" ] || { echo "test-windows: the zip's frostmark-cli.exe analyses its sample as: $got"; status=1; }
    echo "test-windows: $zip ($(stat -c %s "$zip") bytes)"
else
    echo "test-windows: cpack made no zip"
    status=1
fi
"$(dirname "$wine")/wineserver" -k 2>/dev/null || true
echo "test-windows: $(($(date +%s) - start)) s"
exit "$status"
