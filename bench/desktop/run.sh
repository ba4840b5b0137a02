#!/usr/bin/env bash
# The desktop program against the command line on the 1 GB bench shard (the world and script set of
# bench/cli, with its options), side by side in each run: the real window is driven offscreen through
# Analyze, Create Patch File and Clean Worldfile, and each step is timed from the click until its results
# are shown; frostmark-cli analyze, patch and clean run on the same files, and `wc -l` and
# `grep -c WORLDITEM` are the yardsticks. Medians of RUNS runs (default 5).
#
#   bash bench/desktop/run.sh [BUILD_DIR] [WORK_DIR] [RUNS]
#
# BUILD_DIR (default build) must hold an optimised build with the desktop program. WORK_DIR (default
# /work/tmp-cli/bench, shared with bench/cli) receives the world (~1 GB) and the script set once
# (bench/lib.sh; FROSTMARK_BENCH_BYTES=50M, say, makes a smaller world for a quick try).
#
# Targets: Analyze within 1.3 x frostmark-cli analyze in time and 1.5 x in peak memory; Analyze + Create
# Patch File within 1.3 x frostmark-cli patch; Analyze + Clean Worldfile within 1.3 x frostmark-cli clean
# (each command line run analyses the world too).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=${2:-/work/tmp-cli/bench}
runs=${3:-5}
cli="$(pwd)/$build/cli/frostmark-cli"
desktop="$(pwd)/$build/bench/desktop/frostmark-bench-desktop"
source bench/lib.sh
bench_need "$build" "$cli" "$desktop"
bench_need_time
bench_shard "$build" "$work"
cd "$work"
export QT_QPA_PLATFORM=offscreen

# The bench's options: both include bits and every exclusion (the option word 378010).
selection=(--static --never-moveable --exclude-typed --exclude-doors --exclude-signs --exclude-lights
           --exclude-containers)
flags=378010
common=(--world "$world" --scripts "$scripts" --flags "$flags")

# "elapsed peak-MB" of one run of a command, its output to $out (default /dev/null).
timed() {
    local out=${out:-/dev/null}
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >"$out"
    awk '{printf "%s %.0f\n", $1, $2 / 1024}' "$work/time.txt"
}

echo "world: $world, $(stat -c %s "$world") bytes, $(wc -l <"$world") lines; scripts: $scripts; $runs runs"
declare -A samples
add() { samples[$1]+="$2"$'\n'; }
for run in $(seq "$runs"); do
    rm -f cli.frz cli-clean.wsc desktop.frz desktop-clean.wsc
    read -r t g <<<"$(bench_yardsticks_once "$world" "$work/grep.txt")"; add wc "$t"; add grep "$g"

    read -r t mb <<<"$(timed "$cli" analyze -w "$world" -s "$scripts" "${selection[@]}" --no-progress)"
    add cli_analyze "$t"; add cli_analyze_mb "$mb"
    read -r t mb <<<"$(out=$work/desktop.txt timed "$desktop" "${common[@]}" --steps analyze)"
    add desktop_analyze_process "$t"; add desktop_analyze_mb "$mb"
    add desktop_analyze "$(awk '$1 == "analyze" {print $2}' desktop.txt)"

    read -r t _ <<<"$(timed "$cli" patch -w "$world" -s "$scripts" "${selection[@]}" -p cli.frz --no-progress)"
    add cli_patch "$t"
    read -r t _ <<<"$(out=$work/desktop.txt timed "$desktop" "${common[@]}" --patch desktop.frz --steps patch)"
    add desktop_patch "$(awk '$1 == "analyze" || $1 == "patch" {s += $2} END {print s}' desktop.txt)"

    read -r t _ <<<"$(timed "$cli" clean -w "$world" -s "$scripts" "${selection[@]}" -p cli.frz -o cli-clean.wsc --no-progress)"
    add cli_clean "$t"
    rm -f desktop.frz
    read -r t _ <<<"$(out=$work/desktop.txt timed "$desktop" "${common[@]}" --patch desktop.frz --out desktop-clean.wsc --steps clean)"
    add desktop_clean "$(awk '$1 == "analyze" || $1 == "clean" {s += $2} END {print s}' desktop.txt)"
    add desktop_clean_step "$(awk '$1 == "clean" {print $2}' desktop.txt)"
    if [ "$run" = 1 ]; then
        # Both programs wrote the same files.
        cmp -s cli.frz desktop.frz || { echo "the patch files differ" >&2; exit 1; }
        cmp -s cli-clean.wsc desktop-clean.wsc || { echo "the cleaned worlds differ" >&2; exit 1; }
        echo "rows in Patch Objects: $(awk '$1 == "rows" {print $2}' desktop.txt); patch and cleaned world identical to frostmark-cli's"
    fi
done
rm -f cli.frz cli-clean.wsc desktop.frz desktop-clean.wsc grep.txt desktop.txt time.txt

m() { printf '%s' "${samples[$1]}" | median; }
wc_t=$(m wc)
echo
printf "%-44s %9s %9s\n" "median of $runs runs" "seconds" "x wc -l"
row() { printf "%-44s %9.2f %9s\n" "$1" "$2" "$(ratio "$2" "$wc_t")"; }
row "wc -l" "$wc_t"
row "grep -c WORLDITEM > file" "$(m grep)"
row "frostmark-cli analyze" "$(m cli_analyze)"
row "desktop Analyze (click to results)" "$(m desktop_analyze)"
row "desktop program, whole process (analyze)" "$(m desktop_analyze_process)"
row "frostmark-cli patch" "$(m cli_patch)"
row "desktop Analyze + Create Patch File" "$(m desktop_patch)"
row "frostmark-cli clean" "$(m cli_clean)"
row "desktop Analyze + Clean Worldfile" "$(m desktop_clean)"
echo
printf "%-44s %9s %9s\n" "" "desktop" "target"
printf "%-44s %9s %9s\n" "Analyze time / frostmark-cli analyze" "$(ratio "$(m desktop_analyze)" "$(m cli_analyze)")" "1.3"
printf "%-44s %9s %9s\n" "  whole process / frostmark-cli analyze" "$(ratio "$(m desktop_analyze_process)" "$(m cli_analyze)")" ""
printf "%-44s %9s %9s\n" "Analyze peak memory / frostmark-cli analyze" \
    "$(ratio "$(m desktop_analyze_mb)" "$(m cli_analyze_mb)")" "1.5"
printf "%-44s %9s %9s\n" "  (MB: desktop / frostmark-cli)" "$(m desktop_analyze_mb) / $(m cli_analyze_mb)" ""
printf "%-44s %9s %9s\n" "Analyze + Create Patch File / cli patch" "$(ratio "$(m desktop_patch)" "$(m cli_patch)")" "1.3"
printf "%-44s %9s %9s\n" "Analyze + Clean Worldfile / cli clean" "$(ratio "$(m desktop_clean)" "$(m cli_clean)")" "1.3"
