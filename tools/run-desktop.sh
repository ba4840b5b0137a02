#!/usr/bin/env bash
# Builds the desktop program and opens it on the bundled sample shard: the paths and options of the
# sample are filled in, and the map shows client map files made by our map generator. The sample's
# settings are kept in build/sample-desktop/ so the user's own settings are not touched; outputs are
# written there too. Extra arguments go to the program (e.g. --analyze).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${FROSTMARK_BUILD_DIR:-$root/build}
bash tools/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target frostmark frostmark-mapgen

work="$build/sample-desktop"
mkdir -p "$work"
# The map generator leaves existing files alone, so this costs nothing after the first run.
"$build/tools/mapgen/frostmark-mapgen" --out "$work/client" >/dev/null 2>&1 || true

if [ ! -f "$work/frostmark.ini" ]; then
    # Both include bits and every exclusion (flags 0x378010).
    cat >"$work/frostmark.ini" <<INI
[General]
Input%20Worldfile=$root/samples/world.wsc
Patch%20File=$work/stat_tavrel.frz
Output%20Worldfile=$work/world-clean.wsc
Script%20Path=$root/samples/scripts
Flags=3637264
ClientDirectory=$work/client/
INI
fi

cd "$work"
exec "$build/app/frostmark" --settings "$work/frostmark.ini" "$@"
