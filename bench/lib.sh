# What the benchmarks on the bench shard share: sourced by bench/cli, bench/desktop and bench/cancel
# (run.sh), after they have changed to the source tree.
#
# The shard is a world of about 1 GB and a script set of 100,000 item definitions, both of seed 7, made
# once under the work directory and reused by every later run. FROSTMARK_BENCH_BYTES (worldgen's --bytes:
# N, NK, NM or NG; default 1G) asks for another size, to try a benchmark quickly; a world of another size
# is made anew.

# bench_need BUILD_DIR TOOL...: stops the benchmark (exit 2) at the first TOOL that is not built.
bench_need() {
    local build=$1 tool
    shift
    for tool in "$@"; do
        [ -x "$tool" ] || { echo "missing $tool: build it first (cmake --build $build)" >&2; exit 2; }
    done
}

# bench_need_time: stops the benchmark (exit 2) without GNU time, which gives the peak memory.
bench_need_time() {
    [ -x /usr/bin/time ] || { echo "needs /usr/bin/time (package time)" >&2; exit 2; }
}

# bench_shard BUILD_DIR WORK_DIR: sets `world` and `scripts` to the shard under WORK_DIR, making what is
# missing, and reads the world once so that the page cache holds it for every program alike.
bench_shard() {
    local build=$1 work=$2
    local worldgen scriptgen bytes made
    worldgen="$(pwd)/$build/tools/worldgen/frostmark-worldgen"
    scriptgen="$(pwd)/$build/tools/scriptgen/frostmark-scriptgen"
    bench_need "$build" "$worldgen" "$scriptgen"
    bytes=${FROSTMARK_BENCH_BYTES:-1G}
    mkdir -p "$work"
    world="$work/world.wsc"
    scripts="$work/scripts"
    # A world made before its size was written down is the default one.
    made=1G
    [ ! -f "$world.bytes" ] || made=$(cat "$world.bytes")
    if [ ! -s "$world" ] || [ "$made" != "$bytes" ]; then
        echo "generating $world ($bytes bytes)" >&2
        rm -f "$world" "$world.bytes"
        "$worldgen" --seed 7 --bytes "$bytes" -o "$world.tmp" && mv "$world.tmp" "$world"
        echo "$bytes" >"$world.bytes"
    fi
    if [ ! -f "$scripts/tavrel.ini" ]; then
        echo "generating $scripts (100,000 item definitions)" >&2
        rm -rf "$scripts"
        "$scriptgen" --seed 7 --items 100000 "$scripts" >/dev/null
    fi
    cat "$world" >/dev/null
}

# bench_now: the wall clock in seconds, read without starting a process.
bench_now() {
    local now=$EPOCHREALTIME
    echo "${now/,/.}"
}

# bench_yardsticks_once WORLD COUNT_FILE: "WC GREP", the seconds of one `wc -l WORLD` and of one
# `grep -c WORLDITEM WORLD > COUNT_FILE` (the count goes to a file, as the yardstick is defined).
bench_yardsticks_once() {
    local t0 t1 t2
    t0=$EPOCHREALTIME
    wc -l "$1" >/dev/null
    t1=$EPOCHREALTIME
    grep -c WORLDITEM "$1" >"$2" || true  # a world without a record is no reason to stop
    t2=$EPOCHREALTIME
    awk -v a="${t0/,/.}" -v b="${t1/,/.}" -v c="${t2/,/.}" 'BEGIN {printf "%.6f %.6f\n", b - a, c - b}'
}

# bench_yardsticks WORLD COUNT_FILE RUNS: sets `wc_s` and `grep_s` to the medians of RUNS runs of each
# yardstick, taken in turn, and removes COUNT_FILE.
bench_yardsticks() {
    local runs=$3 wc_all= grep_all= w g
    for _ in $(seq "$runs"); do
        read -r w g <<<"$(bench_yardsticks_once "$1" "$2")"
        wc_all+="$w"$'\n'
        grep_all+="$g"$'\n'
    done
    rm -f "$2"
    wc_s=$(printf '%s' "$wc_all" | median)
    grep_s=$(printf '%s' "$grep_all" | median)
}

# median: the median of the numbers on stdin, one a line (of an even count, the mean of the middle two).
median() {
    sort -g | awk '{v[NR] = $1} END {m = int((NR + 1) / 2); print (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2}'
}

# ratio A B: A / B to two decimals.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'
}
