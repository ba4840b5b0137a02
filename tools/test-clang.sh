#!/usr/bin/env bash
# CI stage: builds everything with Clang (Debian's clang), Release, warnings as errors: the programs,
# the tools, every test and the benchmarks (a user's default build has them too), and runs the tests.
# GCC and Clang warn about different things, and users build with either.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh clang
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DFROSTMARK_WERROR=ON -DFROSTMARK_BENCH=ON >/dev/null
cmake --build build-clang -j"$jobs"
(cd build-clang && ctest --output-on-failure --no-tests=error -j"$jobs")
