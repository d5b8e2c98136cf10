#!/usr/bin/env bash
# Sets up, builds and starts the program with the sample project.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" --target ravelin
BUILD_DIR="${BUILD_DIR:-$here/build}"
sample="$here/examples/dipole/dipole.fdt"
if [ $# -gt 0 ]; then
  exec "$BUILD_DIR/ravelin" "$@"
elif [ -f "$sample" ]; then
  exec "$BUILD_DIR/ravelin" "$sample"
else
  exec "$BUILD_DIR/ravelin"
fi
