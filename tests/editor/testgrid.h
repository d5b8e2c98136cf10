// Models and tables for the editor's tests: a grid with the default materials, the count of
// filled cells, a box of cells, a table row as one text.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "editor/modelstore.h"
#include "project/tables.h"

inline std::unique_ptr<rv::SolverData> Grid(int nx, int ny = 0, int nz = 0) {
  auto d = std::make_unique<rv::SolverData>();
  rv::SetGridSize(*d, nx, ny ? ny : nx, nz ? nz : nx);
  EXPECT_TRUE(rv::ResizeSpace(*d));
  rv::FillDefaultLayers(d->Layers);
  return d;
}

inline int Occupied(const rv::SolverData& d) {
  int n = 0;
  for (int x = 1; x < d.Nx; ++x)
    for (int y = 1; y < d.Ny; ++y)
      for (int z = 1; z < d.Nz; ++z) n += d.Space(x, y, z) != 0;
  return n;
}

// Fills the cells from `lo` to `hi`, both included.
inline void Box(rv::SolverData& d, std::array<int, 3> lo, std::array<int, 3> hi, uint8_t material) {
  for (int x = lo[0]; x <= hi[0]; ++x)
    for (int y = lo[1]; y <= hi[1]; ++y)
      for (int z = lo[2]; z <= hi[2]; ++z) d.Space(x, y, z) = material;
}

inline std::string Row(const rv::StringGrid& g, int r) {
  std::string s;
  for (int c = 0; c < g.ColCount(); ++c) s += g.Cells(c, r) + "|";
  return s;
}
