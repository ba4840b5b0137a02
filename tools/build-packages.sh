#!/usr/bin/env bash
# Builds the Debian packages frostmark-cli and frostmark, and a .tar.gz of the install tree, from a
# Release build under /usr. The packages land in BUILD/packages/ (BUILD is build-package, or
# FROSTMARK_BUILD_DIR). Usage: bash tools/build-packages.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev) and file compute the packages' dependencies from the binaries.
bash tools/install-deps.sh dpkg-dev file
build=${FROSTMARK_BUILD_DIR:-build-package}
# A build of its own needs only what ships; a build directory handed in (CI's) keeps its tests.
options=()
[ -n "${FROSTMARK_BUILD_DIR:-}" ] || options=(-DFROSTMARK_TESTS=OFF -DFROSTMARK_BENCH=OFF)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack -B "$PWD/packages" >"$PWD/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
find "$build/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.tar.gz' \) | sort
