#!/usr/bin/env bash
# Builds the Windows package: frostmark-cli.exe, the generators, the README and the sample shard in one
# .zip, cross-built with MinGW-w64 (installed when missing). The zip lands in BUILD/packages/ (BUILD is
# build-windows, or FROSTMARK_BUILD_DIR). Usage: bash tools/build-windows-zip.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
build=${FROSTMARK_BUILD_DIR:-build-windows}

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DFROSTMARK_APP=OFF -DFROSTMARK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target frostmark-cli frostmark-worldgen frostmark-scriptgen frostmark-mapgen
rm -rf "$build/packages"
(cd "$build" && cpack -B "$PWD/packages" >"$PWD/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
find "$build/packages" -maxdepth 1 -type f -name '*.zip'
