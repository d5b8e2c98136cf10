#include <gtest/gtest.h>

#include "editor/cellinfo.h"
#include "editor/modelstore.h"

using namespace rv;

TEST(CellInfo, CapacitancesResistancesAndElementsOnTheCell) {
  SolverData d;
  SetGridSize(d, 10, 10, 10);
  ASSERT_TRUE(ResizeSpace(d));
  FillDefaultLayers(d.Layers);
  const std::array<std::string, 3> mm{"0.001", "0.001", "0.001"};
  ElementArrays a;
  const auto empty = CellInfoLines(d, a, 3, 4, 5, mm);
  ASSERT_EQ(empty.size(), 5u);
  EXPECT_EQ(std::tuple(empty[0], empty[2]), std::tuple("Координаты (X, Y, Z): 3, 4, 5", "X: 0.00884 пФ"));
  // A dielectric: capacitances only; a conductor: resistance and capacitance per axis.
  d.Layers[1].Name = "фольга", d.Layers[1].On = 1, d.Layers[1].EpsStatic = 2, d.Layers[1].Sigma = 0;
  d.Space(3, 4, 5) = 1;
  const auto dielectric = CellInfoLines(d, a, 3, 4, 5, mm);
  EXPECT_EQ(std::tuple(dielectric[1], dielectric[5]), std::tuple("Материал: ФОЛЬГА", "Z: 0.01768 пФ"));
  d.Layers[1].Sigma = 1000;
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, {"0.002", "0.001", "0.001"})[3], "X: 2 Ом/ 0.00884 пФ");
  // Elements on the cell are listed, others not; unreadable sizes stop after the material.
  a.OutputPoints.push_back({3, 4, 5, 'E', 'X', ""});
  a.Resistors.push_back({3, 4, 5, 'Y', 50});
  a.Resistors.push_back({3, 4, 6, 'Y', 75});
  const auto full = CellInfoLines(d, a, 3, 4, 5, mm);
  ASSERT_EQ(full.size(), 8u);
  EXPECT_EQ(std::tuple(full[6], full[7]), std::tuple("Вывод: EX", "Резистор: Y 50 Ом"));
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, {"abc", "1", "1"}).size(), 2u);
}
