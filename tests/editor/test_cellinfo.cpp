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
  EXPECT_EQ(empty[0], "Координаты (X, Y, Z): 3, 4, 5");
  EXPECT_EQ(empty[2], "X: 0.00884 пФ");
  // A dielectric: capacitances only; a conductor: resistance and capacitance per axis.
  d.Layers[1].Name = "фольга";
  d.Layers[1].On = 1;
  d.Layers[1].EpsStatic = 2;
  d.Layers[1].Sigma = 0;
  d.Space(3, 4, 5) = 1;
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, mm)[1], "Материал: ФОЛЬГА");
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, mm)[5], "Z: 0.01768 пФ");
  d.Layers[1].Sigma = 1000;
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, {"0.002", "0.001", "0.001"})[3], "X: 2 Ом/ 0.00884 пФ");
  // Elements on the cell are listed, others not; unreadable sizes stop after the material.
  a.OutputPoints.push_back({3, 4, 5, 'E', 'X', ""});
  a.Resistors.push_back({3, 4, 5, 'Y', 50});
  a.Resistors.push_back({3, 4, 6, 'Y', 75});
  const auto full = CellInfoLines(d, a, 3, 4, 5, mm);
  ASSERT_EQ(full.size(), 8u);
  EXPECT_EQ(full[6], "Вывод: EX");
  EXPECT_EQ(full[7], "Резистор: Y 50 Ом");
  EXPECT_EQ(CellInfoLines(d, a, 3, 4, 5, {"abc", "1", "1"}).size(), 2u);
}
