#!/usr/bin/env bash
# Generates a script set of 100,000 item definitions (about 30 MB) with frostmark-scriptgen and times
# loading it side by side with `wc -l` over the same files.
# Usage: bench/scripts/run.sh [WORK_DIR] [BUILD_DIR]   (defaults: /tmp/frostmark-scripts-bench, build)
# SHUFFLE=1 writes the item definitions in random order instead of by ID (the sorted arrays' worst case).
set -euo pipefail
cd "$(dirname "$0")/../.."
work=${1:-/tmp/frostmark-scripts-bench}
build=${2:-build}
items=${ITEMS:-100000}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target frostmark-scriptgen frostmark-bench-scripts -j2 >/dev/null
shuffle=${SHUFFLE:-0}
flags=()
[ "$shuffle" = 1 ] && flags+=(--shuffle)
stamp="$work/.items-$items-shuffle-$shuffle"
if [ ! -f "$stamp" ]; then
  rm -rf "$work"
  "$build/tools/scriptgen/frostmark-scriptgen" "${flags[@]}" --items "$items" "$work" >/dev/null
  touch "$stamp"
fi
"$build/bench/scripts/frostmark-bench-scripts" "$work" "${REPEATS:-7}"
