#!/bin/sh
# Line reader against `wc -l` and `cat` on the same generated world, side by side in one run.
# Usage: bench/linereader/run.sh [BUILD_DIR] [SIZE_MB]   (defaults: build, 1024)
set -e
BUILD=${1:-build}
SIZE_MB=${2:-1024}
DIR=${FROSTMARK_BENCH_DIR:-/tmp/frostmark-bench}
WORLD="$DIR/linereader-$SIZE_MB.world"
cmake --build "$BUILD" --target frostmark_bench_linereader frostmark-worldgen -j2 >/dev/null
mkdir -p "$DIR"
if [ ! -f "$WORLD" ]; then
  "$BUILD/tools/worldgen/frostmark-worldgen" --bytes "$((SIZE_MB * 1024 * 1024))" -o "$WORLD.part"
  mv "$WORLD.part" "$WORLD"
fi
cat "$WORLD" > /dev/null # into the page cache, so every reader below starts from the same place
hyperfine -w 1 -r 5 -N "wc -l $WORLD" "cat $WORLD" \
  "env FROSTMARK_BENCH_WORLD=$WORLD $BUILD/bench/linereader/frostmark_bench_linereader --benchmark_filter=BM_ReadLine --benchmark_min_time=0.0000001 --benchmark_repetitions=1"
FROSTMARK_BENCH_WORLD="$WORLD" "$BUILD/bench/linereader/frostmark_bench_linereader"
