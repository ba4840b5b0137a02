#!/usr/bin/env bash
# Peak memory of frostmark-cli for a world whose one record has an ID line of SIZE megabytes (default 200)
# among ordinary records: analyze, analyze --list and analyze --list --json, each as the peak resident
# size over the line's length. A line is to be held at most twice (the reader's buffer and the freeze
# list's copy): every ratio below 2.5.
#
#   bash bench/longline/run.sh [BUILD_DIR] [SIZE_MB] [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
megabytes=${2:-200}
work=${3:-/tmp/frostmark-longline}
cli="$(pwd)/$build/cli/frostmark-cli"
[ -x "$cli" ] || { echo "missing $cli: build it first (cmake --build $build)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (package time)" >&2; exit 2; }
mkdir -p "$work"
world="$work/longline.wsc"
bytes=$((megabytes * 1000 * 1000))
# The ID is zeros ending in "eed": the art ID 0eed, so the record is frozen and listed.
{
    printf '[WORLDITEM 0eee]\nSERIAL=1\nP=10,10,0\nATTR=8000\n[WORLDITEM '
    head -c "$bytes" /dev/zero | tr '\0' '0'
    printf 'eed]\nSERIAL=2\nP=11,11,0\nATTR=8000\n[WORLDITEM 0eef]\nSERIAL=3\nP=12,12,0\nATTR=8000\n'
} >"$world"
for options in "" "--list" "--list --json"; do
    # shellcheck disable=SC2086
    /usr/bin/time -f '%M' -o "$work/peak" "$cli" analyze -w "$world" --static --no-progress $options \
        >"$work/out" 2>/dev/null
    peak=$(tail -1 "$work/peak")
    awk -v peak="$peak" -v bytes="$bytes" -v what="analyze ${options:-(counts)}" \
        'BEGIN { printf "%-28s peak %7.1f MB = %.2f x the line\n", what, peak * 1024 / 1e6, peak * 1024 / bytes }'
done
rm -rf "$work"
