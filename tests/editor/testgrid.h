// A cubic model of n nodes per axis with the default materials.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "editor/modelstore.h"

inline std::unique_ptr<rv::SolverData> Grid(int n) {
  auto d = std::make_unique<rv::SolverData>();
  rv::SetGridSize(*d, n, n, n);
  EXPECT_TRUE(rv::ResizeSpace(*d));
  rv::FillDefaultLayers(d->Layers);
  return d;
}
