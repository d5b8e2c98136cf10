#!/usr/bin/env bash
# Configures and builds (Release unless BUILD_TYPE says otherwise) into build/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"
BUILD_TYPE="${BUILD_TYPE:-Release}"
cmake -S "$here" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="$BUILD_TYPE" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
