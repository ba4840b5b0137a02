#!/usr/bin/env bash
# Starts the desktop program under a virtual X server on the bundled sample shard (settings pointing at
# it, client map files made by our map generator), runs Analyze, and saves a picture of the dialog at its
# classic size to docs/screenshot.png, and one of the window at 1600 x 1000, zoomed in on the coast with
# the objects to freeze marked, its patch area and one object chosen, to docs/screenshot-1600x1000.png,
# for review.
# Usage: bash tools/gui-screenshot.sh [OUTPUT.png]   (the second picture goes beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/docs/screenshot.png}
build=${FROSTMARK_BUILD_DIR:-$root/build}
bash tools/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target frostmark frostmark-mapgen

scratch=$(mktemp -d "${TMPDIR:-/tmp}/frostmark-screenshot.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$build/tools/mapgen/frostmark-mapgen" --out "$scratch/client" >/dev/null
# A copy of the shard, named relative to the working directory as a shard's own folder would be, so the
# pictures show short paths rather than wherever this tree happens to be checked out.
shard=$scratch/tavrel
cp -r "$root/samples" "$shard"

# Settings of the sample shard: both include bits and every exclusion (flags 0x378010).
cat >"$scratch/frostmark.ini" <<INI
[General]
Input%20Worldfile=world.wsc
Patch%20File=stat_tavrel.frz
Output%20Worldfile=world-clean.wsc
Script%20Path=scripts
Flags=3637264
IgnoreArt=0eed, 0f3f
IncludeArt=@Invalid()
ClientDirectory=$scratch/client/
INI

mkdir -p "$(dirname "$out")"
# The log goes to the working directory, as in everyday use: here the shard's copy.
(cd "$shard" && xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/app/frostmark" --settings "$scratch/frostmark.ini" --area 1200,800,2600,1700 \
    --analyze --screenshot "$out")
echo "screenshot: $out"

# The large window: two tiles a pixel over the eastern coast, an area there.
large=${out%.png}-1600x1000.png
cp "$scratch/frostmark.ini" "$scratch/large.ini"
echo 'Map%20View="-2, 4600, 2650"' >>"$scratch/large.ini"
(cd "$shard" && xvfb-run -a -s "-screen 0 1920x1200x24" \
    "$build/app/frostmark" --settings "$scratch/large.ini" --area 4150,2350,4950,2950 \
    --window-size 1600x1000 --analyze --select 1,9 --screenshot "$large")
echo "screenshot: $large"
