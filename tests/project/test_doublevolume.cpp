#include <gtest/gtest.h>

#include "project/doublevolume.h"
#include "project_fixture.h"

using namespace prjtest;

TEST(DoubleVolume, ModelSizesAndTablesFollow) {
  MainSettings s;
  s.spX = s.spY = s.spZ = 10;
  s.seStepCount = 300;
  s.eddT = "0.0015";
  s.spFarXmin = 2;
  s.spFarZmax = 7;
  SolverData d;
  SetGridSize(d, 10, 10, 10);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(3, 4, 5) = 7;
  d.Space(10, 10, 10) = 2;  // the last index of the model array

  OutPointTables out;
  LampedTables lamped;
  AddRow(out.sgOutPoint, {"E", "X", "3", "4", "5", "a.srg"});
  AddRow(out.sgCurrent, {"4", "4", "4", "4", "6", "x", "i.grf"});
  AddRow(out.sgVoltage, {"1", "2", "3", "4", "5", "6", "u.grf"});
  AddRow(out.sgFarPoints, {"3", "", "5"});
  AddRow(lamped.sgSourses, {"2", "3", "4", "50", "X", "+"});
  AddRow(lamped.sgInductor, {"7", "1e2", "9", "1e-9", "Z"});
  DoubleVolumeTables t{&out.sgOutPoint, &out.sgCurrent,    &out.sgVoltage,
                       &out.sgFarPoints, &lamped.sgResistors, &lamped.sgRazraydnic,
                       &lamped.sgCapacitors, &lamped.sgSourses, &lamped.sgInductor};
  std::string msg;
  ASSERT_TRUE(DoubleVolume(s, d, t, msg)) << msg;

  // Half the cell and half the step: the end time stays.
  EXPECT_EQ(std::tuple(s.spX, s.edX, s.seStepCount, s.eddT, s.spFarXmin, s.spFarZmax, d.SpaceNx),
            std::tuple(20, "0.005", 600, "0.00075", 4, 14, 20));
  ASSERT_EQ(d.Space.len1(), 21);
  // Cell (3, 4, 5) fills 5..6 x 7..8 x 9..10, and nothing else holds material 7.
  int sevens = 0;
  for (int i = 0; i <= 20; ++i)
    for (int j = 0; j <= 20; ++j)
      for (int k = 0; k <= 20; ++k)
        if (d.Space(i, j, k) == 7) {
          ++sevens;
          EXPECT_TRUE(i >= 5 && i <= 6 && j >= 7 && j <= 8 && k >= 9 && k <= 10);
        }
  EXPECT_EQ(std::tuple(sevens, d.Space(20, 20, 20), d.UndoSpace(6, 8, 10)), std::tuple(8, 2, 7));

  // A region one cell thick stays flat (4..4 -> 8..8); 4..6 becomes 8..11. A cell that is
  // not a number is left as it is; the value column is not a coordinate.
  const struct { const StringGrid& g; int col; const char* text; } cells[] = {
      {out.sgOutPoint, 2, "6"},   {out.sgOutPoint, 0, "E"},    {out.sgCurrent, 0, "8"},   {out.sgCurrent, 3, "8"},
      {out.sgCurrent, 1, "8"},    {out.sgCurrent, 4, "11"},    {out.sgCurrent, 5, "x"},   {out.sgVoltage, 0, "1"},
      {out.sgVoltage, 5, "11"},   {out.sgFarPoints, 0, "5"},   {out.sgFarPoints, 1, ""},  {lamped.sgSourses, 2, "8"},
      {lamped.sgSourses, 3, "50"}, {lamped.sgInductor, 1, "1e2"}};
  for (const auto& c : cells) EXPECT_EQ(c.g.Cells(c.col, 1), c.text) << c.g.Name() << " " << c.col;
}

TEST(DoubleVolume, RefusesWhatDoesNotFitAndStaysInsideTheModel) {
  MainSettings s;
  s.spX = 2600;
  s.spY = s.spZ = 10;
  SolverData d;
  std::string msg;
  EXPECT_FALSE(DoubleVolume(s, d, {}, msg));
  EXPECT_NE(msg.find("5000"), std::string::npos);
  EXPECT_EQ(std::tuple(s.spX, s.edX), std::tuple(2600, "0.01"));

  s.spX = 10;
  s.seStepCount = 60000000;
  EXPECT_FALSE(DoubleVolume(s, d, {}, msg));
  EXPECT_EQ(s.seStepCount, 60000000);
  s.seStepCount = 100;

  s.edY = "abc";
  EXPECT_FALSE(DoubleVolume(s, d, {}, msg));
  EXPECT_EQ(s.spX, 10);
  s.edY = "0.01";

  d.CalcRunning = 1;
  EXPECT_FALSE(DoubleVolume(s, d, {}, msg));
  d.CalcRunning = 0;

  // The model array is smaller than the grid says (the grid was changed, the model not yet
  // re-sized): only what exists is refined.
  SetGridSize(d, 4, 4, 4);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(4, 4, 4) = 3;
  ASSERT_TRUE(DoubleVolume(s, d, {}, msg)) << msg;
  EXPECT_EQ(std::tuple(d.Space.len1(), d.Space(8, 8, 8), d.Space(7, 7, 7), d.Space(9, 9, 9)), std::tuple(21, 3, 3, 0));
}
