#!/usr/bin/env bash
# Generates a full-size map0.mul (768 x 512 blocks, 77,070,336 bytes) with frostmark-mapgen and times
# the map build of every zoom level (384 x 256 and 1920 x 1080) side by side with reading the bytes it
# needs and with `cat map0.mul > /dev/null`.
# Usage: bench/map/run.sh [WORK_DIR] [BUILD_DIR]   (defaults: /tmp/frostmark-map-bench, build)
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${1:-/tmp/frostmark-map-bench}
build=${2:-build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target frostmark-mapgen frostmark-map-bench -j2 >/dev/null
mkdir -p "$work"
if [ ! -f "$work/map0.mul" ] || [ "$(stat -c %s "$work/map0.mul")" != 77070336 ]; then
  "$build/tools/mapgen/frostmark-mapgen" --out "$work" --force >/dev/null
fi
"$build/bench/map/frostmark-map-bench" "$work" "${REPEATS:-15}"
