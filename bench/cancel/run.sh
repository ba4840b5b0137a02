#!/usr/bin/env bash
# How soon the analysis, Create Patch File, Clean Worldfile and freeze return once cancelled from another
# thread, on the 1 GB shard of the command-line benchmark, beside `wc -l` and `grep -c` of the same world.
#
#   bash bench/cancel/run.sh [BUILD_DIR] [WORK_DIR] [RUNS]
#
# BUILD_DIR (default build) must hold frostmark-bench-cancel, frostmark-worldgen and frostmark-scriptgen
# (an optimised build). WORK_DIR (default /work/tmp-cli/bench) holds the world and scripts bench/cli/run.sh
# generates; they are made here when missing. Each command is cancelled RUNS times (default 5) at moments
# spread over its duration; the median time from the request to the return is the figure.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=${2:-/work/tmp-cli/bench}
runs=${3:-5}
bench="$(pwd)/$build/bench/cancel/frostmark-bench-cancel"
worldgen="$(pwd)/$build/tools/worldgen/frostmark-worldgen"
scriptgen="$(pwd)/$build/tools/scriptgen/frostmark-scriptgen"
for tool in "$bench" "$worldgen" "$scriptgen"; do
    [ -x "$tool" ] || { echo "missing $tool: build it first (cmake --build $build)" >&2; exit 2; }
done

mkdir -p "$work"
world="$work/world.wsc"
scripts="$work/scripts"
if [ ! -s "$world" ]; then
    echo "generating $world (about 1 GB)" >&2
    "$worldgen" --seed 7 --bytes 1G -o "$world.tmp" && mv "$world.tmp" "$world"
fi
if [ ! -f "$scripts/tavrel.ini" ]; then
    echo "generating $scripts (100,000 item definitions)" >&2
    rm -rf "$scripts"
    "$scriptgen" --seed 7 --items 100000 "$scripts" >/dev/null
fi
out="$work/cancel-out"
rm -rf "$out"
mkdir -p "$out"
trap 'rm -rf "$out"' EXIT

cat "$world" >/dev/null
seconds() { local s; s=$(date +%s.%N); "$@" >/dev/null; awk -v a="$s" -v b="$(date +%s.%N)" 'BEGIN {print b - a}'; }
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
wc_s=$(for _ in 1 2 3 4 5; do seconds wc -l "$world"; done | median)
grep_s=$(for _ in 1 2 3 4 5; do seconds sh -c "grep -c WORLDITEM '$world' > '$out/grep.txt'"; done | median)
rm -f "$out/grep.txt"
printf "yardsticks on %s: wc -l %.3f s, grep -c WORLDITEM > file %.3f s (medians of 5)\n" "$world" "$wc_s" "$grep_s"
"$bench" "$world" "$scripts" "$out" "$runs"
