#!/usr/bin/env bash
# The PML box of solver_bench's pml_all against openEMS (Debian package) on the same box,
# the two taking turns: 200 lines per axis, 1 mm cells, PML_8 on all six faces, a soft E
# line along z at the centre, 300 steps. Prints our mcells_per_s line and openEMS's
# "Speed" line of every round, and the load average; compare the medians.
#
#   bench/pml_vs_openems.sh [BUILD_DIR] [THREADS] [ROUNDS]     (defaults: build 8 5)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
threads="${2:-8}"
rounds="${3:-5}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
lines="$(seq -s, -100 99)"
source "$here/bench/openems_box.sh"
openems_box "$dir/box.xml" 300 "$lines" PML_8
for r in $(seq "$rounds"); do
  uptime
  "$build/bench/solver_bench" --sizes 200 --threads "$threads" --steps 300 --repeat 1 --case pml_all
  (cd "$dir" && openEMS box.xml --numThreads="$threads" 2>/dev/null) | grep '^Speed' || echo "openEMS failed"
done
