#!/usr/bin/env bash
# Builds frostmark-cli and runs the whole job (analyze, write the patch file, clean the world file) on the
# bundled sample shard, into a scratch directory; prints the result and checks the patch file it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/install-deps.sh

# FROSTMARK_BUILD_DIR chooses another build directory (default build).
build=${FROSTMARK_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(frostmark-cli)
if [ -f tools/mapgen/CMakeLists.txt ]; then targets+=(frostmark-mapgen); fi
cmake --build "$build" --target "${targets[@]}"
cli="$root/$build/cli/frostmark-cli"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/frostmark-sample.XXXXXX")
# The log, frostmark.log, is written to the working directory, as by the desktop program.
cd "$scratch"

echo "== frostmark-cli freeze on samples/world.wsc (scratch directory $scratch)"
"$cli" freeze \
    --world "$root/samples/world.wsc" --scripts "$root/samples/scripts" \
    --patch "$scratch/stat_tavrel.frz" --out "$scratch/world-clean.wsc" \
    --static --never-moveable --exclude-typed \
    --exclude-doors --exclude-signs --exclude-lights --exclude-containers

echo
echo "== frostmark-cli inspect stat_tavrel.frz"
"$cli" inspect "$scratch/stat_tavrel.frz"

echo
echo "== sizes"
wc -c "$root/samples/world.wsc" "$scratch/world-clean.wsc" "$scratch/stat_tavrel.frz"

mapgen="$root/$build/tools/mapgen/frostmark-mapgen"
if [ -x "$mapgen" ]; then
    echo
    echo "== frostmark-cli map (client files generated into $scratch/client)"
    "$mapgen" --out "$scratch/client" >/dev/null
    "$cli" map --client-dir "$scratch/client" --zoom -8 --center 2000,1750 --out "$scratch/map.png" \
        --area 1000,1000,3000,2500 --frozen \
        --world "$root/samples/world.wsc" --scripts "$root/samples/scripts" \
        --static --never-moveable --exclude-typed \
        --exclude-doors --exclude-signs --exclude-lights --exclude-containers
fi
echo
echo "Results are in $scratch"
