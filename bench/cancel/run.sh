#!/usr/bin/env bash
# How soon the analysis, Create Patch File, Clean Worldfile and freeze return once cancelled, on the 1 GB
# shard of the command-line benchmark, beside `wc -l` and `grep -c` of the same world: first in the process,
# through the cancel token the desktop program's Cancel button sets from another thread
# (frostmark-bench-cancel), then as Ctrl+C stops frostmark-cli (SIGINT, exit 130).
#
#   bash bench/cancel/run.sh [BUILD_DIR] [WORK_DIR] [RUNS]
#
# BUILD_DIR (default build) must hold frostmark-bench-cancel, frostmark-cli, frostmark-worldgen and
# frostmark-scriptgen (an optimised build). WORK_DIR (default /work/tmp-cli/bench) holds the world and
# scripts bench/cli/run.sh uses; they are made here when missing (bench/lib.sh; FROSTMARK_BENCH_BYTES=50M,
# say, makes a smaller world for a quick try).
#
# Each command first runs to its end, for its duration; then it is cancelled RUNS times (default 5), at
# moments spread from a tenth to eight tenths of that duration. A run that ends before its cancel arrives
# measures nothing: it is said so and run again at half the moment. Every cancelled run must leave the
# outputs of an earlier run exactly as they were, and no file beside them. The figure is the median time
# from the request to the return.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
work=${2:-/work/tmp-cli/bench}
runs=${3:-5}
bench="$(pwd)/$build/bench/cancel/frostmark-bench-cancel"
cli="$(pwd)/$build/cli/frostmark-cli"
source bench/lib.sh
bench_need "$build" "$bench" "$cli"
bench_shard "$build" "$work"
out="$work/cancel-out"
# frostmark-cli runs here, where its log goes, so that the log is no change to the outputs' directory.
cwd="$work/cancel-cwd"
results="$work/cancel-results.txt"
errors="$work/cancel-stderr.txt"
rm -rf "$out" "$cwd"
mkdir -p "$out" "$cwd"
trap 'rm -rf "$out" "$cwd" "$results" "$errors"' EXIT

yardstick_runs=$((runs > 5 ? runs : 5))
bench_yardsticks "$world" "$out/grep.txt" "$yardstick_runs"
printf "yardsticks on %s: wc -l %.3f s, grep -c WORLDITEM > file %.3f s (medians of %d)\n" "$world" "$wc_s" \
    "$grep_s" "$yardstick_runs"

echo
echo "The cancel token, set from another thread (the desktop program's Cancel):"
# Its "result NAME MEDIAN MAX" lines are for the table at the end.
"$bench" "$world" "$scripts" "$out" "$runs" >"$results"
grep -v '^result ' "$results"
rm -rf "${out:?}"/*

# The outputs' directory as a cancelled run must leave it: names, sizes and modification times.
listing() { find "$out" -mindepth 1 -printf '%P %s %T@\n' | sort; }
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN {print b - a}'; }

# cli_cancel NAME ARGS...: runs `frostmark-cli ARGS` to its end three times for its duration (the shortest),
# then RUNS times stopped by SIGINT at spread moments; prints the runs and adds "result cli-NAME MEDIAN MAX"
# (milliseconds) to the results.
cli_cancel() {
    local name=$1
    shift
    local whole= start
    for _ in 1 2 3; do
        start=$(bench_now)
        (cd "$cwd" && "$cli" "$@" --no-progress -q) >/dev/null
        whole+="$(seconds_between "$start" "$(bench_now)")"$'\n'
    done
    local duration before latencies= reruns= run fraction pid rc requested returned
    duration=$(printf '%s' "$whole" | sort -g | head -1)
    before=$(listing)
    for run in $(seq "$runs"); do
        fraction=$(awk -v r="$run" -v n="$runs" 'BEGIN {printf "%.3f", (n > 1 ? 0.1 + 0.7 * (r - 1) / (n - 1) : 0.1)}')
        while :; do
            start=$(bench_now)
            # A script's background job starts with SIGINT ignored, and frostmark-cli leaves it so, as a
            # shell's job expects: env gives it SIGINT's default back, as it has in a terminal.
            (cd "$cwd" && exec env --default-signal=INT "$cli" "$@" --no-progress -q) >/dev/null 2>"$errors" &
            pid=$!
            sleep "$(awk -v d="$duration" -v f="$fraction" -v s="$start" -v n="$(bench_now)" \
                'BEGIN {t = d * f - (n - s); printf "%.6f", (t > 0 ? t : 0)}')"
            requested=$(bench_now)
            kill -INT "$pid" 2>/dev/null || true
            rc=0
            wait "$pid" || rc=$?
            returned=$(bench_now)
            [ "$rc" != 130 ] || break
            if [ "$rc" != 0 ]; then
                echo "$name: run $run, cancelled at $fraction of its duration, exited $rc instead of 130:" >&2
                cat "$errors" >&2
                exit 1
            fi
            reruns+="; run $run ended before its cancel at $fraction (exit 0), not counted: again at half that"
            fraction=$(awk -v f="$fraction" 'BEGIN {printf "%.3f", f / 2}')
            if awk -v f="$fraction" 'BEGIN {exit !(f < 0.01)}'; then
                echo "$name: run $run ends before any cancel" >&2
                exit 1
            fi
            before=$(listing)
        done
        if [ "$(listing)" != "$before" ]; then
            echo "$name: run $run, cancelled at $fraction of its duration, changed $out:" >&2
            diff <(echo "$before") <(listing) >&2 || true
            exit 1
        fi
        latencies+="$(awk -v a="$requested" -v b="$returned" 'BEGIN {printf "%.1f", (b - a) * 1000}')"$'\n'
    done
    local med max
    med=$(printf '%s' "$latencies" | median)
    max=$(printf '%s' "$latencies" | sort -g | tail -1)
    printf "%-8s duration %6.2f s   cancel to return: %s ms   median %.1f ms   max %.1f ms   %d of %d runs exit 130%s\n" \
        "$name" "$duration" "$(printf '%s' "$latencies" | paste -sd' ' -)" "$med" "$max" "$runs" "$runs" "$reruns"
    echo "result cli-$name $med $max" >>"$results"
}

echo
echo "frostmark-cli stopped by SIGINT (Ctrl+C):"
selection=(--static --never-moveable --exclude-typed --exclude-doors --exclude-signs --exclude-lights
           --exclude-containers)
patch=(-p "$out/stat_tavrel.frz")
cleaned=(-o "$out/clean.wsc")
cli_cancel analyze analyze -w "$world" -s "$scripts" "${selection[@]}"
cli_cancel patch patch -w "$world" -s "$scripts" "${selection[@]}" "${patch[@]}"
cli_cancel clean clean -w "$world" -s "$scripts" "${selection[@]}" "${patch[@]}" "${cleaned[@]}"
cli_cancel freeze freeze -w "$world" -s "$scripts" "${selection[@]}" "${patch[@]}" "${cleaned[@]}"

echo
echo "medians of $runs cancelled runs, from the request to the return; the yardsticks' whole runs:"
printf "%-32s %11s %9s %9s %10s\n" "" "median" "x wc -l" "x grep -c" "max"
printf "%-32s %9.1f ms %9s %9s\n" "wc -l" "$(awk -v s="$wc_s" 'BEGIN {print s * 1000}')" "1.00" \
    "$(ratio "$wc_s" "$grep_s")"
printf "%-32s %9.1f ms %9s %9s\n" "grep -c WORLDITEM > file" "$(awk -v s="$grep_s" 'BEGIN {print s * 1000}')" \
    "$(ratio "$grep_s" "$wc_s")" "1.00"
while read -r _ name med max; do
    case $name in
    cli-*) label="frostmark-cli ${name#cli-}, SIGINT" ;;
    *) label="$name, cancel token" ;;
    esac
    printf "%-32s %9.1f ms %9s %9s %7.1f ms\n" "$label" "$med" \
        "$(awk -v m="$med" -v s="$wc_s" 'BEGIN {printf "%.3f", m / 1000 / s}')" \
        "$(awk -v m="$med" -v s="$grep_s" 'BEGIN {printf "%.3f", m / 1000 / s}')" "$max"
done < <(grep '^result ' "$results")
