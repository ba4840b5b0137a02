#!/usr/bin/env bash
# The foundation benchmark: Frostmark's world scan, clean and patch writing, each beside the system tool
# that moves the same bytes, measured in one run on one generated world.
#
#   bash bench/foundation/run.sh [SIZE]        SIZE of the world, default 1G (e.g. 200M for a quick look)
#
# Environment: FROSTMARK_BUILD   build directory to use (default: build; configured if missing)
#              FROSTMARK_BENCH_DIR  where the big files go (default: /work/tmp-engine, else $TMPDIR)
#              REPEAT            runs per measurement, the fastest counts (default 3)
#
# Every figure is reported as wall time and as processor time (user + system) of the measured work,
# and compared as ratios: on a machine shared with other jobs processor time is the steadier one.
#   scan   every record read and every ArtId computed, 16383 script constants loaded  vs  wc -l
#          (on one thread, and on one thread per processor as the analysis runs it)
#   clean  the world with every fifth top-level item frozen (20%), output synced      vs  cp (and cp + sync)
#          once from a bare list (the cleaner searches the file for the records), once after an analysis
#          that froze a fifth (the cleaner follows the analysis's plan, as the programs' clean does)
#   patch  a patch file of 1,000,000 objects of the world                              vs  the scan
# The scan's peak memory is measured on the world and on a tenth of it: it must not grow with the file.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
size=${1:-1G}
build=${FROSTMARK_BUILD:-$root/build}
dir=${FROSTMARK_BENCH_DIR:-/work/tmp-engine}
repeat=${REPEAT:-3}
if ! mkdir -p "$dir" 2>/dev/null; then
  dir=${TMPDIR:-/tmp}/frostmark-bench
  mkdir -p "$dir"
fi
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package 'time')" >&2; exit 1; }

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target frostmark-worldgen frostmark-bench-foundation >/dev/null
gen=$build/tools/worldgen/frostmark-worldgen
bench=$build/bench/foundation/frostmark-bench-foundation

world=$dir/bench-world-$size.scp
if [ ! -f "$world" ]; then
  echo "generating $world"
  "$gen" --seed 1 --bytes "$size" -o "$world"
fi
bytes=$(stat -L -c %s "$world")
small=$dir/bench-world-$size-tenth.scp
[ -s "$small" ] || rm -f "$small"
[ -f "$small" ] || head -c $((bytes / 10)) "$world" > "$small"
out=$dir/bench-out.scp
patch=$dir/bench-out.frz
cat "$world" "$small" > /dev/null # into the page cache, as for every tool below

# best_of LABEL COMMAND...: runs the command REPEAT times; keeps the fastest wall and processor times.
# A command that prints "seconds=S cpu=C" (our bench) is taken at its word for the phase it measured.
declare -A wall cpu
tmp=$(mktemp)
trap 'rm -f "$tmp" "$out" "$patch"' EXIT
best_of() {
  local label=$1; shift
  local best_wall="" best_cpu=""
  for ((i = 0; i < repeat; i++)); do
    rm -f "$out" "$patch"
    local start end w c line
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S %M" -o "$tmp.time" "$@" > "$tmp"
    end=$(date +%s%N)
    w=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
    c=$(awk '{ printf "%.4f", $1 + $2 }' "$tmp.time")
    line=$(grep -o 'seconds=[0-9.]* cpu=[0-9.]*' "$tmp" || true)
    if [ -n "$line" ]; then
      w=$(echo "$line" | sed 's/seconds=\([0-9.]*\).*/\1/')
      c=$(echo "$line" | sed 's/.*cpu=\([0-9.]*\)/\1/')
    fi
    rss[$label]=$(awk '{ print $3 }' "$tmp.time")
    detail[$label]=$(grep '^seconds=' "$tmp" | tr ' ' '\n' | grep -v -e '^seconds=' -e '^cpu=' | tr '\n' ' ' || true)
    if [ -z "$best_wall" ] || awk -v a="$w" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$w; fi
    if [ -z "$best_cpu" ] || awk -v a="$c" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$c; fi
  done
  wall[$label]=$best_wall
  cpu[$label]=$best_cpu
  rm -f "$tmp.time"
}
declare -A rss detail

best_of "wc -l" wc -l "$world"
best_of "cat" cat "$world"
best_of "scan" "$bench" scan "$world"
best_of "scan, no constants" "$bench" scan-nonames "$world"
best_of "scan, all cores" "$bench" scan-threads "$world"
best_of "scan of a tenth" "$bench" scan "$small"
best_of "cp" cp "$world" "$out"
best_of "cp + sync" sh -c 'cp "$1" "$2" && sync "$2"' sh "$world" "$out"
best_of "clean 20%" "$bench" clean "$world" "$out" 5
best_of "clean 20%, planned" "$bench" clean-analysed "$world" "$out"
best_of "patch 1,000,000" "$bench" patch "$world" "$patch" 1000000

printf '\nWorld: %s (%s bytes), %s runs each, fastest counts. Load average: %s\n\n' "$world" "$bytes" "$repeat" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %10s %10s %12s  %s\n' "measurement" "wall s" "cpu s" "peak KiB" "details"
for label in "wc -l" "cat" "scan" "scan, no constants" "scan, all cores" "scan of a tenth" "cp" "cp + sync" "clean 20%" \
  "clean 20%, planned" "patch 1,000,000"; do
  printf '%-22s %10s %10s %12s  %s\n' "$label" "${wall[$label]}" "${cpu[$label]}" "${rss[$label]}" "${detail[$label]}"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf '\nRatios (wall / processor time):\n'
printf '  scan / wc -l                 %s / %s   (target: within 5)\n' \
  "$(ratio "${wall[scan]}" "${wall[wc -l]}")" "$(ratio "${cpu[scan]}" "${cpu[wc -l]}")"
printf '  scan without constants / wc  %s / %s\n' \
  "$(ratio "${wall[scan, no constants]}" "${wall[wc -l]}")" "$(ratio "${cpu[scan, no constants]}" "${cpu[wc -l]}")"
printf '  scan on all cores / wc -l    %s / %s   (%s processors; the analysis scans this way)\n' \
  "$(ratio "${wall[scan, all cores]}" "${wall[wc -l]}")" "$(ratio "${cpu[scan, all cores]}" "${cpu[wc -l]}")" "$(nproc)"
printf '  clean / cp                   %s / %s   (target: within 4)\n' \
  "$(ratio "${wall[clean 20%]}" "${wall[cp]}")" "$(ratio "${cpu[clean 20%]}" "${cpu[cp]}")"
printf '  clean / (cp + sync)          %s / %s\n' \
  "$(ratio "${wall[clean 20%]}" "${wall[cp + sync]}")" "$(ratio "${cpu[clean 20%]}" "${cpu[cp + sync]}")"
printf '  clean after analysis / cp    %s / %s   (the clean the programs run: it follows the plan)\n' \
  "$(ratio "${wall[clean 20%, planned]}" "${wall[cp]}")" "$(ratio "${cpu[clean 20%, planned]}" "${cpu[cp]}")"
printf '  clean after analysis / (cp + sync)  %s / %s\n' \
  "$(ratio "${wall[clean 20%, planned]}" "${wall[cp + sync]}")" "$(ratio "${cpu[clean 20%, planned]}" "${cpu[cp + sync]}")"
printf '  patch 1,000,000 / scan       %s / %s   (target: below 1)\n' \
  "$(ratio "${wall[patch 1,000,000]}" "${wall[scan]}")" "$(ratio "${cpu[patch 1,000,000]}" "${cpu[scan]}")"
printf '  scan peak memory, world / tenth: %s KiB / %s KiB\n' "${rss[scan]}" "${rss[scan of a tenth]}"
