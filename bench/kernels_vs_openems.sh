#!/usr/bin/env bash
# solver_bench's vacuum_pec, dielectric_pec and debye_pec boxes against openEMS (Debian
# package) on the same boxes, the two taking turns: SIZE cells per axis, 1 mm cells, PEC on
# all six faces, a soft E line along z at the centre; dielectric_pec fills the lower half
# along z with eps 4 and 0.5 S/m, debye_pec with a Debye medium (eps_s 4, eps_inf 2,
# tau 10 ps, 0.5 S/m). Prints our mcells_per_s line and openEMS's "Speed" line of every
# round, and the load average; compare the medians.
#
#   bench/kernels_vs_openems.sh [BUILD_DIR] [THREADS] [ROUNDS] [SIZE] [STEPS]
#                                                     (defaults: build 8 5 300 50)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
threads="${2:-8}"
rounds="${3:-5}"
size="${4:-300}"
steps="${5:-50}"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
half=$((size / 2))
lines="$(seq -s, -"$half" $((size - half)))"
source "$here/bench/openems_box.sh"
lower="<Primitives><Box Priority=\"1\"><P1 X=\"-$half\" Y=\"-$half\" Z=\"-$half\"/><P2 X=\"$((size - half))\" Y=\"$((size - half))\" Z=\"0\"/></Box></Primitives>"
openems_box "$dir/vacuum_pec.xml" "$steps" "$lines" PEC
openems_box "$dir/dielectric_pec.xml" "$steps" "$lines" PEC "<Material Name=\"lossy\"><Property Epsilon=\"4\" Kappa=\"0.5\"/>$lower</Material>"
openems_box "$dir/debye_pec.xml" "$steps" "$lines" PEC "<DebyeMaterial Name=\"debye\"><Property Epsilon=\"2\" Kappa=\"0.5\" EpsilonDelta_1=\"2\" EpsilonRelaxTime_1=\"1e-11\"/>$lower</DebyeMaterial>"
for r in $(seq "$rounds"); do
  uptime
  for c in vacuum_pec dielectric_pec debye_pec; do
    "$build/bench/solver_bench" --sizes "$size" --threads "$threads" --steps "$steps" --repeat 1 --case "$c"
    echo "openEMS $c $(cd "$dir" && openEMS "$c.xml" --numThreads="$threads" 2>/dev/null | grep '^Speed' || echo "failed")"
  done
done
