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
cat > "$dir/box.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<openEMS>
  <FDTD NumberOfTimesteps="300" endCriteria="0" f_max="10e9">
    <Excitation Type="0" f0="5e9" fc="5e9"/>
    <BoundaryCond xmin="PML_8" xmax="PML_8" ymin="PML_8" ymax="PML_8" zmin="PML_8" zmax="PML_8"/>
  </FDTD>
  <ContinuousStructure CoordSystem="0">
    <Properties>
      <Excitation Name="exc" Type="0" Excite="0,0,1">
        <Primitives>
          <Box Priority="0"><P1 X="0" Y="0" Z="-2"/><P2 X="0" Y="0" Z="2"/></Box>
        </Primitives>
      </Excitation>
    </Properties>
    <RectilinearGrid DeltaUnit="0.001" CoordSystem="0">
      <XLines>$lines</XLines>
      <YLines>$lines</YLines>
      <ZLines>$lines</ZLines>
    </RectilinearGrid>
  </ContinuousStructure>
</openEMS>
EOF
for r in $(seq "$rounds"); do
  uptime
  "$build/bench/solver_bench" --sizes 200 --threads "$threads" --steps 300 --repeat 1 --case pml_all
  (cd "$dir" && openEMS box.xml --numThreads="$threads" 2>/dev/null) | grep '^Speed' || echo "openEMS failed"
done
