#!/usr/bin/env bash
# Measures frostmark-cli on a generated shard of about 1 GB against `wc -l` of the same world file, side
# by side in one run, and the peak memory of the analysis as the freeze list grows.
#
#   bash bench/cli/run.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR (default build) must hold frostmark-cli, frostmark-worldgen and frostmark-scriptgen (an
# optimised build). WORK_DIR (default /work/tmp-cli/bench) receives the generated world (~1 GB) and a
# script set of 100,000 item definitions; they are made once and reused by later runs (bench/lib.sh;
# FROSTMARK_BENCH_BYTES=50M, say, makes a smaller world for a quick try).
#
# Targets: analyze within 6 x `wc -l` (script loading included), freeze within 10 x. Each command runs
# three times after a warm-up read of the world, and the fastest run counts, so the figures compare the work
# and not the page cache.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=${2:-/work/tmp-cli/bench}
cli="$(pwd)/$build/cli/frostmark-cli"
source bench/lib.sh
bench_need "$build" "$cli"
bench_need_time
bench_shard "$build" "$work"
cd "$work"

# "elapsed cpu" seconds of the fastest of three runs of a command (output discarded); cpu is user +
# system. On a shared machine the elapsed ratio suffers from waiting for a core; the cpu ratio does not.
# $before, when set, runs ahead of each run, outside the timing.
best_of_three() {
    local best= best_cpu=
    for _ in 1 2 3; do
        [ -z "${before:-}" ] || eval "$before"
        local times
        times=$(/usr/bin/time -f "%e %U %S" "$@" 2>&1 >/dev/null | tail -1)
        local t cpu
        t=$(echo "$times" | awk '{print $1}')
        cpu=$(echo "$times" | awk '{print $2 + $3}')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN {exit !(t < b)}'; then best=$t; best_cpu=$cpu; fi
    done
    echo "$best $best_cpu"
}

# Peak resident memory in MB of one run of a command.
peak_mb() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ {printf "%.0f", $2 / 1024}'
}

selection=(--static --never-moveable --exclude-typed --exclude-doors --exclude-signs --exclude-lights
           --exclude-containers)
# About a fifth of the top-level objects: the static ones in the western 86% of the map, no typed ones.
fifth=(--static --exclude-typed --exclude-doors --exclude-signs --exclude-lights --exclude-containers
       --area 0,0,5312,4096)
# Nothing frozen: no include rule at all.
none=(--exclude-doors)

size=$(stat -c %s "$world")
lines=$(wc -l <"$world")
echo "world: $world, $size bytes, $lines lines; scripts: $scripts"

t_wc=$(best_of_three wc -l "$world")
t_analyze=$(best_of_three "$cli" analyze -w "$world" -s "$scripts" "${selection[@]}")
# Each freeze writes new files: the previous run's are removed first, outside the timing. Replacing an
# existing output makes the file system drop the old one's 800 MB from its cache (about 0.3 s here,
# whichever program replaces it), which is not the work being measured.
before='rm -f "$work/clean.wsc" "$work/stat_tavrel.frz"'
t_freeze=$(best_of_three "$cli" freeze -w "$world" -s "$scripts" -o "$work/clean.wsc" -p "$work/stat_tavrel.frz" \
    "${selection[@]}")
before=
"$cli" analyze -w "$world" -s "$scripts" "${selection[@]}"

read -r e_wc c_wc <<<"$t_wc"
read -r e_an c_an <<<"$t_analyze"
read -r e_fr c_fr <<<"$t_freeze"
echo
printf "%-24s %9s %7s %9s %7s\n" "" "elapsed" "ratio" "cpu" "ratio"
printf "%-24s %8.2fs %7s %8.2fs %7s\n" "wc -l" "$e_wc" "1.00" "$c_wc" "1.00"
printf "%-24s %8.2fs %7s %8.2fs %7s   (target 6)\n" "frostmark-cli analyze" "$e_an" "$(ratio "$e_an" "$e_wc")" \
    "$c_an" "$(ratio "$c_an" "$c_wc")"
printf "%-24s %8.2fs %7s %8.2fs %7s   (target 10)\n" "frostmark-cli freeze" "$e_fr" "$(ratio "$e_fr" "$e_wc")" \
    "$c_fr" "$(ratio "$c_fr" "$c_wc")"

echo
echo "peak memory of analyze by the size of the freeze list:"
for name in none fifth; do
    declare -n args=$name
    frozen=$("$cli" analyze -w "$world" -s "$scripts" "${args[@]}" --json |
        sed -n 's/.*"topLevelObjects":\([0-9]*\),"objectsToFreeze":\([0-9]*\).*/\2 of \1/p')
    mb=$(peak_mb "$cli" analyze -w "$world" -s "$scripts" "${args[@]}")
    echo "  $name: $frozen top-level objects frozen, peak $mb MB"
done
mb=$(peak_mb "$cli" freeze -w "$world" -s "$scripts" -o "$work/clean.wsc" -p "$work/stat_tavrel.frz" "${fifth[@]}")
echo "  freeze with the fifth: peak $mb MB"
