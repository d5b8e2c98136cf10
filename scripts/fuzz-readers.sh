#!/usr/bin/env bash
# Builds the file readers' fuzz driver under ASan and UBSan in build-fuzz/ and runs it.
# Usage: scripts/fuzz-readers.sh [seconds] [seed]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$here/build-fuzz"
cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_BUILD_UI=OFF \
  -DRAVELIN_BUILD_TESTS=OFF -DRAVELIN_BUILD_BENCH=OFF -DRAVELIN_BUILD_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_readers
"$dir/tools/fuzz_readers" "${1:-60}" "${2:-1}"
