// The six boundary selections of the main window turned into the solver's per-face flags.
#pragma once
#include <array>

#include "solver/solverdata.h"

namespace rv {

// For every kind and face: flag := (the face's item index = kind); each "any" flag is the or
// of its six faces, AnyPECOrSym is AnyPEC or AnySymE or AnySymH. An index outside 0..6
// (no selection) sets no flag for its face. ABC2Face is cleared: no selection gives it.
// `combo` holds ComboBox1..ComboBox6 in face order (Y=1, Y=max, Z=max, Z=1, X=max, X=1).
void ReadBorders(const std::array<int, 6>& combo, SolverData& d);

// True when some face has the kind.
bool AnyBorder(const std::array<int, 6>& combo, int kind);

// Open faces for the automatic box: neither PEC nor a symmetry plane. Index 1..6.
std::array<bool, 7> OpenFaces(const std::array<int, 6>& combo);

}  // namespace rv
