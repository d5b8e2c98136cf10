// The symbols of outputs and lumped elements in the 3-D view, as lists of primitives in
// drawing units (cells times the axis scales); the view only draws them.
#pragma once
#include <array>
#include <vector>

#include "solver/elements.h"

namespace rv {

struct SymbolPrim {
  enum Kind { Box, Lines, LineStrip, Quads } kind;
  std::array<float, 4> color;
  // Box: the lowest corner and the extent; otherwise the vertices.
  std::vector<std::array<float, 3>> v;
  bool smooth = false;  // line smoothing goes on before it (and stays on)
};

// Output points, voltage sources, spark gaps, resistors, capacitors, inductors, each kind in
// array order. Points, gaps and capacitors with a cell below 1 are skipped; an element whose
// direction is not X, Y or Z draws nothing.
std::vector<SymbolPrim> ElementSymbols(const ElementArrays& a, double sx, double sy, double sz);

}  // namespace rv
