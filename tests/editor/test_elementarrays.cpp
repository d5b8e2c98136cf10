// Element arrays built from the table rows, and the lookups at cells.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "editor/elementarrays.h"
#include "solver/solverdata.h"

namespace {

void AddRow(rv::StringGrid& g, rv::ModifiedFlag& m, std::initializer_list<const char*> cells) {
  rv::AddGridRow(g, m);
  int c = 0;
  for (const char* t : cells) g.SetCell(c++, g.RowCount() - 1, t);
}

struct ElementArraysTest : ::testing::Test {
  std::unique_ptr<rv::SolverData> d = std::make_unique<rv::SolverData>();
  rv::OutPointTables out;
  rv::LampedTables lamped;
  rv::ElementArrays a;
  rv::Messages Build() { return rv::LoadElementArrays(*d, out, lamped, a); }
};

TEST_F(ElementArraysTest, RecordsFromGoodEmptyAndBadRows) {
  auto& m = d->Modified;
  EXPECT_TRUE(Build().empty());  // empty tables: empty arrays, no message
  EXPECT_TRUE(a.Resistors.empty() && a.OutputPoints.empty() && a.CurrentRegions.empty());
  AddRow(lamped.sgResistors, m, {"3", "4", "5", "50", "x"});
  AddRow(lamped.sgResistors, m, {"", "4", "5", "50", "Y"});      // empty first column
  AddRow(lamped.sgResistors, m, {"abc", "4", "5", "50", "Y"});   // coordinate not a number
  AddRow(lamped.sgResistors, m, {"3", "1.5", "5", "50", "Y"});   // not a whole number
  AddRow(lamped.sgResistors, m, {"3", "4", "5", "50 Ом", "Z"});  // value not a number
  AddRow(lamped.sgResistors, m, {"3", "4", "5", "", "Z"});       // value missing
  AddRow(lamped.sgResistors, m, {" 7", "8 ", "9", "1e3", "xy"});
  AddRow(lamped.sgResistors, m, {"7", "8", "9", "inf", "z"});    // no infinities from a table
  EXPECT_TRUE(Build().empty());  // unreadable rows are silent
  ASSERT_EQ(a.Resistors.size(), 8u);
  const auto& r = a.Resistors;
  EXPECT_TRUE(r[0].X == 3 && r[0].Y == 4 && r[0].Z == 5 && r[0].Value == 50.0 && r[0].Dir == 'X');
  for (int i : {1, 2, 3, 4, 5, 7}) EXPECT_EQ(r[i].X, 0) << i;  // unused: every reader skips X = 0
  EXPECT_EQ(r[6].X, 7);
  EXPECT_EQ(r[6].Y, 8);
  EXPECT_EQ(r[6].Value, 1000.0);
  EXPECT_EQ(r[6].Dir, 'X');

  // Every kind, with its own value column and letters.
  AddRow(lamped.sgCapacitors, m, {"1", "2", "3", "1e-12", "z"});
  AddRow(lamped.sgSourses, m, {"2", "3", "4", "50", "Y", "-"});
  AddRow(lamped.sgSourses, m, {"2", "3", "5", "50", "Y", ""});
  AddRow(lamped.sgRazraydnic, m, {"5", "5", "5", "1000", "z"});
  AddRow(lamped.sgInductor, m, {"6", "6", "6", "1e-9", "Х"});  // a Cyrillic letter, not X
  AddRow(out.sgOutPoint, m, {"e", "x", "3", "4", "5", "ex(3,4,5).grf"});
  AddRow(out.sgOutPoint, m, {"P", "", "3", "4", "6", "p(3,4,6) мощность"});
  AddRow(out.sgOutPoint, m, {"", "x", "3", "4", "7", "skipped"});
  Build();
  EXPECT_EQ(a.Capacitors[0].Value, 1e-12);
  EXPECT_EQ(a.Capacitors[0].Dir, 'Z');
  EXPECT_EQ(a.VoltageSources[0].R, 50.0);
  EXPECT_EQ(a.VoltageSources[0].Polarity, '-');
  EXPECT_EQ(a.VoltageSources[0].Dir, 'Y');
  EXPECT_EQ(a.VoltageSources[1].Polarity, 0);  // empty: the solver drives it as "+"
  EXPECT_EQ(a.SparkGaps[0].Threshold, 1000.0);
  EXPECT_EQ(a.SparkGaps[0].Dir, 'Z');
  EXPECT_EQ(a.Inductors[0].L, 1e-9);
  EXPECT_NE(a.Inductors[0].Dir, 'X');
  EXPECT_EQ(static_cast<unsigned char>(a.Inductors[0].Dir), 0xD5u);
  ASSERT_EQ(a.OutputPoints.size(), 3u);
  EXPECT_EQ(a.OutputPoints[0].Kind, 'E');
  EXPECT_EQ(a.OutputPoints[0].Dir, 'X');
  EXPECT_EQ(a.OutputPoints[0].Z, 5);
  EXPECT_EQ(a.OutputPoints[0].FileName, "EX(3,4,5).GRF");
  EXPECT_EQ(a.OutputPoints[1].Dir, 0);
  EXPECT_EQ(a.OutputPoints[1].FileName, "P(3,4,6) МОЩНОСТЬ");
  EXPECT_EQ(a.OutputPoints[2].X, 0);

  // A row that turns unreadable becomes unused at the next rebuild.
  lamped.sgResistors.SetCell(2, 1, "five");
  Build();
  EXPECT_EQ(a.Resistors[0].X, 0);
}

TEST_F(ElementArraysTest, RunStateSurvivesRebuildsAndRunsAreNeverChanged) {
  auto& m = d->Modified;
  AddRow(lamped.sgRazraydnic, m, {"5", "5", "5", "1000", "X"});
  AddRow(lamped.sgInductor, m, {"6", "6", "6", "1e-9", "Z"});
  Build();
  a.SparkGaps[0].Fired = 1;
  a.Inductors[0].Accum = 2.5f;
  Build();
  EXPECT_EQ(a.SparkGaps[0].Fired, 1);
  EXPECT_EQ(a.Inductors[0].Accum, 2.5f);

  // While a run is active the arrays stay exactly as the run copied them.
  AddRow(lamped.sgInductor, m, {"7", "7", "7", "1e-9", "Z"});
  lamped.sgRazraydnic.SetCell(3, 1, "5");
  d->CalcRunning = 1;
  EXPECT_TRUE(Build().empty());
  EXPECT_EQ(a.Inductors.size(), 1u);
  EXPECT_EQ(a.SparkGaps[0].Threshold, 1000.0);
  d->CalcRunning = 0;
  Build();
  EXPECT_EQ(a.Inductors.size(), 2u);
  EXPECT_EQ(a.SparkGaps[0].Threshold, 5.0);

  // A shorter table gives a shorter array.
  rv::ClearGrid(lamped.sgInductor, m);
  Build();
  EXPECT_TRUE(a.Inductors.empty());
}

TEST_F(ElementArraysTest, PlaneOfFlatAndNonFlatRegions) {
  auto& m = d->Modified;
  AddRow(out.sgCurrent, m, {"1", "2", "3", "1", "5", "7", "ix"});
  AddRow(out.sgCurrent, m, {"1", "2", "3", "4", "2", "3", "iy"});
  AddRow(out.sgCurrent, m, {"1", "2", "3", "4", "5", "3", "iz"});
  AddRow(out.sgCurrent, m, {"1", "2", "3", "4", "5", "6", "bad"});
  AddRow(out.sgCurrent, m, {"1", "2", "3", "1", "2", "9", "line"});  // flat in X and Y: X first
  AddRow(out.sgCurrent, m, {"", "2", "3", "4", "5", "6", "unused"});  // unused: no message
  AddRow(out.sgVoltage, m, {"1", "2", "3", "4", "5", "6", "u"});
  AddRow(out.sgVoltage, m, {"1", "2", "3", "1", "5", "6", "u2"});
  const rv::Messages msgs = Build();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0], "Ошибка: Токовый регион № 3 не ортогонален ни одной из координатных осей");
  ASSERT_EQ(a.CurrentRegions.size(), 6u);
  EXPECT_EQ(a.CurrentRegions[0].Plane, 'X');
  EXPECT_EQ(a.CurrentRegions[1].Plane, 'Y');
  EXPECT_EQ(a.CurrentRegions[2].Plane, 'Z');
  EXPECT_EQ(a.CurrentRegions[3].Plane, 'E');
  EXPECT_EQ(a.CurrentRegions[3].X2, 4);  // kept in the array
  EXPECT_EQ(a.CurrentRegions[3].FileName, "BAD");
  EXPECT_EQ(a.CurrentRegions[4].Plane, 'X');
  EXPECT_EQ(a.CurrentRegions[5].X1, 0);
  EXPECT_EQ(a.CurrentRegions[5].X2, 0);
  EXPECT_EQ(a.VoltageLines[0].Plane, 0);
  EXPECT_EQ(a.VoltageLines[1].Plane, 'X');
  // One message per rebuild.
  EXPECT_EQ(Build().size(), 1u);
}

TEST_F(ElementArraysTest, LookupsAtAndOffElements) {
  auto& m = d->Modified;
  AddRow(out.sgOutPoint, m, {"E", "x", "3", "4", "5", "a"});
  AddRow(out.sgOutPoint, m, {"H", "y", "3", "4", "6", "b"});
  AddRow(lamped.sgResistors, m, {"", "4", "5", "50", "X"});     // unused row first
  AddRow(lamped.sgResistors, m, {"3", "4", "5", "50", "X"});
  AddRow(lamped.sgResistors, m, {"3", "4", "5", "75", "Y"});    // same cell, other direction
  AddRow(lamped.sgCapacitors, m, {"1", "1", "1", "1e-12", "X"});
  AddRow(lamped.sgSourses, m, {"2", "2", "2", "50", "Z", "+"});
  AddRow(lamped.sgRazraydnic, m, {"8", "8", "8", "100", "Z"});
  AddRow(lamped.sgInductor, m, {"9", "9", "9", "1e-9", "Z"});
  Build();

  int idx = -1;
  EXPECT_TRUE(rv::FindOutputPointAt(a, 3, 4, 5, idx));
  EXPECT_EQ(idx, 1);  // counted from 1: its table row
  EXPECT_TRUE(rv::FindOutputPointAt(a, 3, 4, 6, idx));
  EXPECT_EQ(idx, 2);
  EXPECT_FALSE(rv::FindOutputPointAt(a, 3, 4, 7, idx));
  EXPECT_TRUE(rv::FindResistorAt(a, 3, 4, 5, idx));
  EXPECT_EQ(idx, 1);  // counted from 0; the first of two on the cell
  EXPECT_FALSE(rv::FindResistorAt(a, 0, 0, 0, idx));  // unused records are never found
  EXPECT_FALSE(rv::FindResistorAt(a, 3, 4, 6, idx));
  EXPECT_TRUE(rv::FindCapacitorAt(a, 1, 1, 1, idx));
  EXPECT_EQ(idx, 0);
  EXPECT_TRUE(rv::FindSourceAt(a, 2, 2, 2, idx));
  EXPECT_TRUE(rv::FindSparkGapAt(a, 8, 8, 8, idx));
  EXPECT_TRUE(rv::FindInductorAt(a, 9, 9, 9, idx));
  EXPECT_FALSE(rv::FindInductorAt(a, 8, 8, 8, idx));

  // Rows added after the rebuild are not in the arrays yet; lookups go by the arrays.
  AddRow(lamped.sgCapacitors, m, {"4", "4", "4", "1e-12", "X"});
  EXPECT_FALSE(rv::FindCapacitorAt(a, 4, 4, 4, idx));
  rv::ClearGrid(lamped.sgResistors, m);
  EXPECT_TRUE(rv::FindResistorAt(a, 3, 4, 5, idx));
  rv::ElementArrays empty;
  EXPECT_FALSE(rv::FindOutputPointAt(empty, 3, 4, 5, idx));
}

}  // namespace
