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
  EXPECT_EQ(std::tuple(r[6].X, r[6].Y, r[6].Value, r[6].Dir), std::tuple(7, 8, 1000.0, 'X'));

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
  // An empty polarity the solver drives as "+"; the Cyrillic letter is no direction.
  EXPECT_EQ(std::tuple(a.Capacitors[0].Value, a.Capacitors[0].Dir, a.VoltageSources[0].R, a.VoltageSources[0].Polarity,
                       a.VoltageSources[0].Dir, a.VoltageSources[1].Polarity),
            std::tuple(1e-12, 'Z', 50.0, '-', 'Y', '\0'));
  EXPECT_EQ(std::tuple(a.SparkGaps[0].Threshold, a.SparkGaps[0].Dir, a.Inductors[0].L,
                       static_cast<unsigned char>(a.Inductors[0].Dir)), std::tuple(1000.0, 'Z', 1e-9, 0xD5u));
  ASSERT_EQ(a.OutputPoints.size(), 3u);
  const auto& o = a.OutputPoints;
  EXPECT_EQ(std::tuple(o[0].Kind, o[0].Dir, o[0].Z, o[0].FileName, o[1].Dir, o[1].FileName, o[2].X),
            std::tuple('E', 'X', 5, "EX(3,4,5).GRF", '\0', "P(3,4,6) МОЩНОСТЬ", 0));

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
  EXPECT_EQ(std::tuple(a.SparkGaps[0].Fired, a.Inductors[0].Accum), std::tuple(1, 2.5f));

  // While a run is active the arrays stay exactly as the run copied them.
  AddRow(lamped.sgInductor, m, {"7", "7", "7", "1e-9", "Z"});
  lamped.sgRazraydnic.SetCell(3, 1, "5");
  d->CalcRunning = 1;
  EXPECT_TRUE(Build().empty());
  EXPECT_EQ(std::tuple(a.Inductors.size(), a.SparkGaps[0].Threshold), std::tuple(1u, 1000.0));
  d->CalcRunning = 0;
  Build();
  EXPECT_EQ(std::tuple(a.Inductors.size(), a.SparkGaps[0].Threshold), std::tuple(2u, 5.0));

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
  EXPECT_EQ(Build(), rv::Messages{"Ошибка: Токовый регион № 3 не ортогонален ни одной из координатных осей"});
  ASSERT_EQ(a.CurrentRegions.size(), 6u);
  std::string planes;
  for (size_t i = 0; i < 5; ++i) planes += a.CurrentRegions[i].Plane;
  EXPECT_EQ(planes, "XYZEX");
  // The faulty region is kept in the array; the unused one is left empty.
  const auto& c = a.CurrentRegions;
  EXPECT_EQ(std::tuple(c[3].X2, c[3].FileName, c[5].X1, c[5].X2, a.VoltageLines[0].Plane, a.VoltageLines[1].Plane),
            std::tuple(4, "BAD", 0, 0, '\0', 'X'));
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
  // Output points count from 1 (their table row), the elements from 0; of two resistors on
  // a cell the first; unused records are never found.
  auto found = [&](bool f) { return f ? idx : -1; };
  EXPECT_EQ(std::tuple(found(rv::FindOutputPointAt(a, 3, 4, 5, idx)), found(rv::FindOutputPointAt(a, 3, 4, 6, idx)),
                       found(rv::FindOutputPointAt(a, 3, 4, 7, idx)), found(rv::FindResistorAt(a, 3, 4, 5, idx)),
                       found(rv::FindResistorAt(a, 0, 0, 0, idx)), found(rv::FindResistorAt(a, 3, 4, 6, idx)),
                       found(rv::FindCapacitorAt(a, 1, 1, 1, idx))),
            std::tuple(1, 2, -1, 1, -1, -1, 0));
  EXPECT_TRUE(rv::FindSourceAt(a, 2, 2, 2, idx) && rv::FindSparkGapAt(a, 8, 8, 8, idx) &&
              rv::FindInductorAt(a, 9, 9, 9, idx) && !rv::FindInductorAt(a, 8, 8, 8, idx));

  // Rows added after the rebuild are not in the arrays yet; lookups go by the arrays.
  AddRow(lamped.sgCapacitors, m, {"4", "4", "4", "1e-12", "X"});
  EXPECT_FALSE(rv::FindCapacitorAt(a, 4, 4, 4, idx));
  rv::ClearGrid(lamped.sgResistors, m);
  EXPECT_TRUE(rv::FindResistorAt(a, 3, 4, 5, idx));
  rv::ElementArrays empty;
  EXPECT_FALSE(rv::FindOutputPointAt(empty, 3, 4, 5, idx));
}

}  // namespace
