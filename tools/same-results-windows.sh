#!/usr/bin/env bash
# Freezes the sample shard and two generated shards with several option sets, once with the Linux build's
# frostmark-cli and once with the Windows build's under Wine, and compares what they wrote: patch files
# byte for byte; cleaned worlds byte for byte with --line-end lf, and equal once CR LF became LF with the
# default line end (CR LF on Windows). The generators' outputs are compared the same way.
# Usage: bash tools/same-results-windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR (Wine as test-windows.sh sets it)
set -euo pipefail
cd "$(dirname "$0")/.."
linux=$(realpath "$1")
windows=$(realpath "$2")
export LC_ALL=C
wine=$(dpkg -L wine64 | grep -m1 '/wine64$')
work=$(mktemp -d "${TMPDIR:-/tmp}/frostmark-same-results.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
compared=0

fail() {
    echo "same-results: $*" >&2
    failures=$((failures + 1))
}

# Wine sees this machine's folders under drive Z:.
winpath() { echo "Z:${1//\//\\}"; }

# Both builds' generators make the same shards.
"$linux/tools/worldgen/frostmark-worldgen" --seed 7 --items 20000 -o "$work/gen1.wsc"
"$wine" "$windows/tools/worldgen/frostmark-worldgen.exe" --seed 7 --items 20000 -o "$(winpath "$work/gen1-win.wsc")"
cmp -s "$work/gen1.wsc" "$work/gen1-win.wsc" || fail "worldgen --seed 7: the Windows build wrote other bytes"
"$linux/tools/worldgen/frostmark-worldgen" --seed 11 --items 20000 --crlf --named 300 -o "$work/gen2.wsc"
"$linux/tools/scriptgen/frostmark-scriptgen" --seed 3 --items 3000 "$work/scripts-gen" >/dev/null
"$wine" "$windows/tools/scriptgen/frostmark-scriptgen.exe" --seed 3 --items 3000 \
    "$(winpath "$work/scripts-gen-win")" >/dev/null
diff -r "$work/scripts-gen" "$work/scripts-gen-win" >/dev/null ||
    fail "scriptgen --seed 3: the Windows build wrote other files"

# One freeze with each build; $1 names the case, $2 the world, $3 the script directory, the rest are options.
freeze_both() {
    local name=$1 world=$2 scripts=$3
    shift 3
    local l="$work/$name-linux" w="$work/$name-windows"
    mkdir -p "$l" "$w"
    (cd "$l" && "$linux/cli/frostmark-cli" freeze -w "$world" -s "$scripts" -p "$l/p.frz" \
        -o "$l/lf.wsc" --line-end lf "$@" >/dev/null) || fail "$name: the Linux build failed"
    (cd "$w" && "$wine" "$windows/cli/frostmark-cli.exe" freeze -w "$(winpath "$world")" \
        -s "$(winpath "$scripts")" -p "$(winpath "$w/p.frz")" -o "$(winpath "$w/lf.wsc")" --line-end lf \
        "$@" >/dev/null) || fail "$name: the Windows build failed"
    (cd "$w" && "$wine" "$windows/cli/frostmark-cli.exe" clean -w "$(winpath "$world")" \
        -s "$(winpath "$scripts")" -p "$(winpath "$w/p.frz")" -o "$(winpath "$w/default.wsc")" \
        "$@" >/dev/null) || fail "$name: the Windows build's clean failed"
    cmp -s "$l/p.frz" "$w/p.frz" || fail "$name: the patch files differ"
    cmp -s "$l/lf.wsc" "$w/lf.wsc" || fail "$name: the cleaned worlds (--line-end lf) differ"
    # The default on Windows: every line ends with CR LF, and is otherwise the same.
    if grep -q $'[^\r]$' "$w/default.wsc" || grep -q $'^$' "$w/default.wsc"; then
        fail "$name: the Windows build's default cleaned world has lines without CR LF"
    fi
    tr -d '\r' <"$w/default.wsc" | cmp -s - <(tr -d '\r' <"$l/lf.wsc") ||
        fail "$name: the cleaned worlds differ after line-end normalisation"
    [ -s "$l/p.frz" ] || fail "$name: an empty patch file compares equal to anything"
    compared=$((compared + 1))
}

sample=$PWD/samples/world.wsc
sample_scripts=$PWD/samples/scripts
freeze_both sample-main "$sample" "$sample_scripts" --static --never-moveable --exclude-typed --exclude-doors \
    --exclude-signs --exclude-lights --exclude-containers
freeze_both sample-areas "$sample" "$sample_scripts" --flags 108010 --area 1000,1000,3000,3000 \
    --area 4000,2000,5000,3000 --exclude-art 0eed,0eee
freeze_both gen1-static "$work/gen1.wsc" "$work/scripts-gen" --static --exclude-containers
freeze_both gen1-typed "$work/gen1.wsc" "$work/scripts-gen" --never-moveable --static --exclude-typed \
    --include-art 0x1000,0x2000 --area 0,0,3072,4096
freeze_both gen2-crlf "$work/gen2.wsc" "$work/scripts-gen" --static --never-moveable --exclude-doors \
    --exclude-lights

echo "same-results: $compared freezes compared, $failures differences"
[ "$failures" -eq 0 ]
