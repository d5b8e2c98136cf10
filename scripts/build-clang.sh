#!/usr/bin/env bash
# Builds the core libraries (no windows, tests or benchmarks) with clang into build-clang/,
# so the code keeps building with a second compiler: what its sanitizer and fuzzer builds
# need. clang's OpenMP comes from libomp-dev.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh" clang libomp-dev
dir="${CLANG_BUILD_DIR:-$here/build-clang}"
cmake -S "$here" -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DRAVELIN_BUILD_UI=OFF \
  -DRAVELIN_BUILD_TESTS=OFF -DRAVELIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target ravelin_solver ravelin_boundaries ravelin_project \
  ravelin_editor ravelin_charts
