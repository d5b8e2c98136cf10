#include <gtest/gtest.h>

#include "project/doublevolume.h"
#include "project_fixture.h"

using namespace prjtest;

TEST(DoubleVolume, ModelSizesAndTablesFollow) {
  MainSettings s;
  s.spX = s.spY = s.spZ = 10;
  s.seStepCount = 300;
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

  EXPECT_EQ(s.spX, 20);
  EXPECT_EQ(s.edX, "0.005");
  EXPECT_EQ(s.seStepCount, 600);
  EXPECT_EQ(s.spFarXmin, 4);
  EXPECT_EQ(s.spFarZmax, 14);
  EXPECT_EQ(d.SpaceNx, 20);
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
  EXPECT_EQ(sevens, 8);
  EXPECT_EQ(d.Space(20, 20, 20), 2);
  EXPECT_EQ(d.UndoSpace(6, 8, 10), 7);

  EXPECT_EQ(out.sgOutPoint.Cells(2, 1), "6");
  EXPECT_EQ(out.sgOutPoint.Cells(0, 1), "E");
  // A region one cell thick stays flat (4..4 -> 8..8); 4..6 becomes 8..11.
  EXPECT_EQ(out.sgCurrent.Cells(0, 1), "8");
  EXPECT_EQ(out.sgCurrent.Cells(3, 1), "8");
  EXPECT_EQ(out.sgCurrent.Cells(1, 1), "8");
  EXPECT_EQ(out.sgCurrent.Cells(4, 1), "11");
  EXPECT_EQ(out.sgCurrent.Cells(5, 1), "x");  // not a number: left as it is
  EXPECT_EQ(out.sgVoltage.Cells(0, 1), "1");
  EXPECT_EQ(out.sgVoltage.Cells(5, 1), "11");
  EXPECT_EQ(out.sgFarPoints.Cells(0, 1), "5");
  EXPECT_EQ(out.sgFarPoints.Cells(1, 1), "");
  EXPECT_EQ(lamped.sgSourses.Cells(2, 1), "8");
  EXPECT_EQ(lamped.sgSourses.Cells(3, 1), "50");  // the value column is not a coordinate
  EXPECT_EQ(lamped.sgInductor.Cells(1, 1), "1e2");
}

TEST(DoubleVolume, RefusesWhatDoesNotFitAndStaysInsideTheModel) {
  MainSettings s;
  s.spX = 2600;
  s.spY = s.spZ = 10;
  SolverData d;
  std::string msg;
  EXPECT_FALSE(DoubleVolume(s, d, {}, msg));
  EXPECT_NE(msg.find("5000"), std::string::npos);
  EXPECT_EQ(s.spX, 2600);
  EXPECT_EQ(s.edX, "0.01");

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
  EXPECT_EQ(d.Space.len1(), 21);
  EXPECT_EQ(d.Space(8, 8, 8), 3);
  EXPECT_EQ(d.Space(7, 7, 7), 3);
  EXPECT_EQ(d.Space(9, 9, 9), 0);
}
