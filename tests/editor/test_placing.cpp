// Placing outputs and lumped elements at the anchor cell.
#include <gtest/gtest.h>

#include "editor/placing.h"

namespace {

using rv::StringGrid;

std::string Row(const StringGrid& g, int r) {
  std::string s;
  for (int c = 0; c < g.ColCount(); ++c) s += g.Cells(c, r) + "|";
  return s;
}

TEST(Placing, OutputRowsAddAndRemoveByKindDirectionAndCell) {
  rv::OutPointTables t;
  rv::ModifiedFlag mod{0};
  StringGrid& g = t.sgOutPoint;
  const rv::Cell3 c{3, 4, 5};
  rv::SetOutputAt(g, *rv::OutputKindOfTag(1), c, true, mod);
  rv::SetOutputAt(g, *rv::OutputKindOfTag(45), c, true, mod);
  rv::SetOutputAt(g, *rv::OutputKindOfTag(4), c, true, mod);
  EXPECT_EQ(Row(g, 1), "E|x|3|4|5|Ex(3,4,5).grf|");
  EXPECT_EQ(Row(g, 2), "P||3|4|5|P(3,4,5).grf|");
  EXPECT_EQ(Row(g, 3), "E||3|4|5|E(3,4,5).grf|");
  EXPECT_EQ(rv::OutputTagsAt(g, c), (std::vector<int>{1, 45, 4}));
  EXPECT_TRUE(rv::OutputTagsAt(g, {3, 4, 6}).empty());
  // Releasing Ex removes its row only; a row typed by hand in other letter cases goes too.
  rv::SetOutputAt(g, *rv::OutputKindOfTag(1), c, false, mod);
  EXPECT_EQ(g.RowCount(), 3);
  rv::AppendRow(g, {"e", "X", "3", "4", "5", "mine.grf"}, mod);
  EXPECT_EQ(rv::OutputTagsAt(g, c), (std::vector<int>{45, 4, 1}));
  rv::SetOutputAt(g, *rv::OutputKindOfTag(1), c, false, mod);
  rv::SetOutputAt(g, *rv::OutputKindOfTag(2), c, false, mod);  // no such row: nothing happens
  EXPECT_EQ(std::tuple(g.RowCount(), Row(g, 2)), std::tuple(3, "E||3|4|5|E(3,4,5).grf|"));
}

TEST(Placing, ElementsAddAndDeleteByTheirCellTexts) {
  rv::LampedTables t;
  rv::ModifiedFlag mod{0};
  std::string err;
  const rv::Cell3 c{3, 4, 5};
  EXPECT_FALSE(rv::AddElementAt(t, rv::ElementKind::Source, c, "", 'X', "+", mod, err));
  EXPECT_EQ(std::tuple(err, t.sgSourses.RowCount()), std::tuple(rv::BadResistanceText, 1));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Source, c, "50", 'Z', "x", mod, err));
  EXPECT_EQ(Row(t.sgSourses, 1), "3|4|5|50|Z|+|");
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, {9, 9, 9}, "1", 'X', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, c, "1k", 'X', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, c, "2", 'Y', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Capacitor, c, "1e-12", 'Z', "", mod, err));
  // One row of each kind at the cell goes, the first in table order; others stay.
  EXPECT_EQ(rv::DeleteElementsAt(t, c, mod), 3);
  EXPECT_EQ(std::tuple(t.sgSourses.RowCount(), t.sgCapacitors.RowCount(), t.sgResistors.RowCount()),
            std::tuple(1, 1, 3));
  EXPECT_EQ(Row(t.sgResistors, 1) + Row(t.sgResistors, 2), "9|9|9|1|X|3|4|5|2|Y|");
  EXPECT_EQ(rv::DeleteElementsAt(t, {1, 1, 1}, mod), 0);
}

TEST(Placing, CurrentRegionRowTakesTheSmallerCornerFirst) {
  rv::SectionView v;
  v.Axis = rv::SectionAxis::X, v.SliceX = 5;
  v.SizeFor(12, 12, 12);
  int h1, v1, h2, v2, w;
  rv::ModelToPlane(v, {5, 9, 7}, h1, v1, w);
  rv::ModelToPlane(v, {5, 2, 2}, h2, v2, w);
  const rv::GridRect sel{h1 - 1, v.RowCount - v1, h2 - 1, v.RowCount - v2};
  const auto row = rv::CurrentRegionRow(v, sel, true);
  EXPECT_EQ(std::string(row[0] + row[1] + row[2] + row[3] + row[4] + row[5]), "522597");
  EXPECT_EQ(row[6], "Ix (5,2,2;5,9,7)");
  EXPECT_EQ(rv::CurrentRegionRow(v, sel, false)[6], " (5,2,2;5,9,7)");
}

}  // namespace
