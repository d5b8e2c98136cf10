#!/usr/bin/env bash
# Sets up, builds and runs every test headless. Window tests use the offscreen
# platform; tests that need OpenGL run under their own virtual X server.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
BUILD_DIR="${BUILD_DIR:-$here/build}"
unset DISPLAY
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --timeout 600
