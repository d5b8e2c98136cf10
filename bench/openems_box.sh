# The boxes the openEMS comparisons run: sourced by the *_vs_openems.sh scripts.
#
#   openems_box FILE STEPS LINES BOUNDARY [PROPERTIES_XML]
# writes an openEMS model: grid lines LINES (mm, comma-separated) on every axis, the same
# BOUNDARY on all six faces (PEC, PML_8...), STEPS time steps, a soft E line along z at the
# centre, and any further properties (materials).
openems_box() {
  cat > "$1" <<EOX
<?xml version="1.0" encoding="UTF-8"?>
<openEMS>
  <FDTD NumberOfTimesteps="$2" endCriteria="0" f_max="10e9">
    <Excitation Type="0" f0="5e9" fc="5e9"/>
    <BoundaryCond xmin="$4" xmax="$4" ymin="$4" ymax="$4" zmin="$4" zmax="$4"/>
  </FDTD>
  <ContinuousStructure CoordSystem="0">
    <Properties>
      ${5:-}
      <Excitation Name="exc" Type="0" Excite="0,0,1">
        <Primitives>
          <Box Priority="0"><P1 X="0" Y="0" Z="-2"/><P2 X="0" Y="0" Z="2"/></Box>
        </Primitives>
      </Excitation>
    </Properties>
    <RectilinearGrid DeltaUnit="0.001" CoordSystem="0">
      <XLines>$3</XLines>
      <YLines>$3</YLines>
      <ZLines>$3</ZLines>
    </RectilinearGrid>
  </ContinuousStructure>
</openEMS>
EOX
}
