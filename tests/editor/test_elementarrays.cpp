// Table rows placed at cells, the element arrays built from the rows, and what reads them:
// the lookups at cells, the cell description and the 3-D symbols.

#include "editor/cellinfo.h"
#include "editor/elementarrays.h"
#include "editor/placing.h"
#include "editor/symbols3d.h"
#include "solver/resultpaths.h"
#include "testgrid.h"

namespace {

TEST(Placing, OutputRowsAddAndRemoveByKindDirectionAndCell) {
  rv::OutPointTables t;
  rv::ModifiedFlag mod{0};
  rv::StringGrid& g = t.sgOutPoint;
  const rv::Cell3 c{3, 4, 5};
  for (int tag : {1, 45, 4}) rv::SetOutputAt(g, *rv::OutputKindOfTag(tag), c, true, mod);
  EXPECT_EQ(Row(g, 1) + Row(g, 2) + Row(g, 3), "E|x|3|4|5|Ex(3,4,5).grf|P||3|4|5|P(3,4,5).grf|E||3|4|5|E(3,4,5).grf|");
  EXPECT_EQ(std::tuple(rv::OutputTagsAt(g, c), rv::OutputTagsAt(g, {3, 4, 6})), std::tuple(std::vector{1, 45, 4}, std::vector<int>{}));
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
  // Each kind refuses what its table's run rule refuses, naming the field, the text and why;
  // nothing is added then.
  using K = rv::ElementKind;
  const std::tuple<K, const char*, const char*, const char*> refused[] = {
      {K::Source, "", "+", "«Внутреннее сопротивление, Ом» = \"\" — пусто."},
      {K::Source, "50", "x", "«Полярность, + или -» = \"x\" — не «+» и не «-»."},
      {K::Resistor, "0", "", "«Сопротивление, Ом» = \"0\" — на ноль уравнение элемента делит"},
      {K::Capacitor, "-1e-12", "", "«Емкость, Ф» = \"-1e-12\" — элемент с отрицательным значением отдает энергию"},
      {K::Inductor, "1;5e-9", "", "«Индуктивность, Гн» = \"1;5e-9\" — не число."},
      {K::SparkGap, "1e999", "", "«Напряжение пробоя, В» = \"1e999\" — вне допустимых пределов."},
      // Beyond the run's 32-bit numbers, or so small it reads as 0 there: the limits named.
      {K::Resistor, "1e39", "", "= \"1e39\" — вне допустимых пределов 32-битных чисел расчета: по модулю от 1.175494E-38 до 3.402823E38."},
      {K::Source, "1e-300", "+", "= \"1e-300\" — вне допустимых пределов 32-битных чисел расчета"},
      {K::Capacitor, "1e-300", "", "вне допустимых пределов 32-битных чисел"},
      {K::SparkGap, "-4e38", "", "вне допустимых пределов 32-битных чисел"}};
  for (const auto& [kind, value, polarity, why] : refused) {
    EXPECT_FALSE(rv::AddElementAt(t, kind, c, value, 'X', polarity, mod, err)) << value;
    EXPECT_NE(err.find(why), std::string::npos) << err;
  }
  EXPECT_EQ(t.sgSourses.RowCount() + t.sgResistors.RowCount() + t.sgCapacitors.RowCount() + t.sgInductor.RowCount() +
                t.sgRazraydnic.RowCount(),
            5);
  // A gap fires at any threshold, a capacitor of 0 is a plain edge; a polarity in blanks counts.
  ASSERT_TRUE(rv::AddElementAt(t, K::SparkGap, {9, 9, 9}, "-5", 'X', "", mod, err)) << err;
  ASSERT_TRUE(rv::AddElementAt(t, K::Capacitor, {9, 9, 9}, "0", 'X', "", mod, err)) << err;
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Source, c, "50", 'Z', " - ", mod, err));
  EXPECT_EQ(Row(t.sgSourses, 1), "3|4|5|50|Z|-|");
  // The help's minus (U+2212) and an en dash are a minus.
  for (const char* minus : {"\xE2\x88\x92", "\xE2\x80\x93"}) {
    ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Source, {8, 8, 8}, "50", 'Z', minus, mod, err)) << err;
    EXPECT_EQ(Row(t.sgSourses, t.sgSourses.RowCount() - 1), "8|8|8|50|Z|-|");
    rv::DeleteElementsAt(t, {8, 8, 8}, mod);
  }
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, {9, 9, 9}, "1", 'X', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, c, "1000", 'X', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Resistor, c, "2", 'Y', "", mod, err));
  ASSERT_TRUE(rv::AddElementAt(t, rv::ElementKind::Capacitor, c, "1e-12", 'Z', "", mod, err));
  // One row of each kind at the cell goes, the first in table order; others stay.
  const int deleted = rv::DeleteElementsAt(t, c, mod);
  EXPECT_EQ(std::tuple(deleted, t.sgSourses.RowCount(), t.sgCapacitors.RowCount(), Row(t.sgResistors, 1) + Row(t.sgResistors, 2)),
            std::tuple(3, 1, 2, "9|9|9|1|X|3|4|5|2|Y|"));
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
  EXPECT_EQ(std::tuple(row[0] + row[1] + row[2] + row[3] + row[4] + row[5], row[6], rv::CurrentRegionRow(v, sel, false)[6]),
            std::tuple("522597", "Ix (5,2,2;5,9,7)", " (5,2,2;5,9,7)"));
}

struct ElementArraysTest : ::testing::Test {
  std::unique_ptr<rv::SolverData> d = std::make_unique<rv::SolverData>();
  rv::OutPointTables out;
  rv::LampedTables lamped;
  rv::ElementArrays a;
  rv::Messages Build() { return rv::LoadElementArrays(*d, out, lamped, a); }
  void Add(rv::StringGrid& g, const std::vector<std::string>& cells) { rv::AppendRow(g, cells, d->Modified); }
};

TEST_F(ElementArraysTest, RecordsFromGoodEmptyAndBadRows) {
  Add(lamped.sgResistors, {"3", "4", "5", "50", "x"});
  Add(lamped.sgResistors, {"", "4", "5", "50", "Y"});      // empty first column
  Add(lamped.sgResistors, {"abc", "4", "5", "50", "Y"});   // coordinate not a number
  Add(lamped.sgResistors, {"3", "1.5", "5", "50", "Y"});   // not a whole number
  Add(lamped.sgResistors, {"3", "4", "5", "50 Ом", "Z"});  // value not a number
  Add(lamped.sgResistors, {"3", "4", "5", "", "Z"});       // value missing
  Add(lamped.sgResistors, {" 7", "8 ", "9", "1e3", "xy"});
  Add(lamped.sgResistors, {"7", "8", "9", "inf", "z"});    // no infinities from a table
  EXPECT_TRUE(Build().empty());  // unreadable rows are silent
  ASSERT_EQ(a.Resistors.size(), 8u);
  const auto& r = a.Resistors;
  EXPECT_TRUE(r[0].X == 3 && r[0].Y == 4 && r[0].Z == 5 && r[0].Value == 50.0 && r[0].Dir == 'X');
  for (int i : {1, 2, 3, 4, 5, 7}) EXPECT_EQ(r[i].X, 0) << i;  // unused: every reader skips X = 0
  EXPECT_EQ(std::tuple(r[6].X, r[6].Y, r[6].Value, r[6].Dir), std::tuple(7, 8, 1000.0, 'X'));

  // Every kind, with its own value column and letters.
  Add(lamped.sgCapacitors, {"1", "2", "3", "1e-12", "z"});
  Add(lamped.sgSourses, {"2", "3", "4", "50", "Y", "-"});
  Add(lamped.sgSourses, {"2", "3", "5", "50", "Y", ""});
  Add(lamped.sgRazraydnic, {"5", "5", "5", "1000", "z"});
  Add(lamped.sgInductor, {"6", "6", "6", "1e-9", "Х"});  // a Cyrillic letter, not X
  Add(out.sgOutPoint, {"e", "x", "3", "4", "5", "ex(3,4,5).grf"});
  Add(out.sgOutPoint, {"P", "", "3", "4", "6", "p(3,4,6) мощность"});
  Add(out.sgOutPoint, {"", "x", "3", "4", "7", "skipped"});
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
  Add(lamped.sgRazraydnic, {"5", "5", "5", "1000", "X"});
  Add(lamped.sgInductor, {"6", "6", "6", "1e-9", "Z"});
  Build();
  a.SparkGaps[0].Fired = 1;
  a.Inductors[0].Accum = 2.5f;
  Build();
  EXPECT_EQ(std::tuple(a.SparkGaps[0].Fired, a.Inductors[0].Accum), std::tuple(1, 2.5f));

  // While a run is active the arrays stay exactly as the run copied them.
  Add(lamped.sgInductor, {"7", "7", "7", "1e-9", "Z"});
  lamped.sgRazraydnic.SetCell(3, 1, "5");
  d->CalcRunning = 1;
  EXPECT_TRUE(Build().empty());
  EXPECT_EQ(std::tuple(a.Inductors.size(), a.SparkGaps[0].Threshold), std::tuple(1u, 1000.0));
  d->CalcRunning = 0;
  Build();
  EXPECT_EQ(std::tuple(a.Inductors.size(), a.SparkGaps[0].Threshold), std::tuple(2u, 5.0));

  // A shorter table gives a shorter array.
  rv::ClearGrid(lamped.sgInductor, d->Modified);
  Build();
  EXPECT_TRUE(a.Inductors.empty());
}

TEST_F(ElementArraysTest, PlaneOfFlatAndNonFlatRegions) {
  Add(out.sgCurrent, {"1", "2", "3", "1", "5", "7", "ix"});
  Add(out.sgCurrent, {"1", "2", "3", "4", "2", "3", "iy"});
  Add(out.sgCurrent, {"1", "2", "3", "4", "5", "3", "iz"});
  Add(out.sgCurrent, {"1", "2", "3", "4", "5", "6", "bad"});
  Add(out.sgCurrent, {"1", "2", "3", "1", "2", "9", "line"});  // flat in X and Y: X first
  Add(out.sgCurrent, {"", "2", "3", "4", "5", "6", "unused"});  // unused: no message
  Add(out.sgVoltage, {"1", "2", "3", "4", "5", "6", "u"});
  Add(out.sgVoltage, {"1", "2", "3", "1", "5", "6", "u2"});
  // The fourth row, numbered as the table numbers it.
  EXPECT_EQ(Build(), rv::Messages{"Ошибка: Токовый регион № 4 не ортогонален ни одной из координатных осей. Сделайте "
                                  "его плоским: в строке 4 таблицы «Токовые регионы» окна «Точки вывода» задайте "
                                  "X1 = X2, Y1 = Y2 или Z1 = Z2."});
  ASSERT_EQ(a.CurrentRegions.size(), 6u);
  std::string planes;
  for (size_t i = 0; i < 5; ++i) planes += a.CurrentRegions[i].Plane;
  EXPECT_EQ(planes, "XYZEX");
  // The faulty region is kept in the array; the unused one is left empty.
  const auto& c = a.CurrentRegions;
  EXPECT_EQ(std::tuple(c[3].X2, c[3].FileName, c[5].X1, c[5].X2, a.VoltageLines[0].Plane, a.VoltageLines[1].Plane),
            std::tuple(4, "BAD", 0, 0, '\0', 'X'));
  EXPECT_EQ(Build().size(), 1u);  // one message per rebuild
}

TEST_F(ElementArraysTest, LookupsAtAndOffElements) {
  Add(out.sgOutPoint, {"E", "x", "3", "4", "5", "a"});
  Add(out.sgOutPoint, {"H", "y", "3", "4", "6", "b"});
  Add(lamped.sgResistors, {"", "4", "5", "50", "X"});  // unused row first
  Add(lamped.sgResistors, {"3", "4", "5", "50", "X"});
  Add(lamped.sgResistors, {"3", "4", "5", "75", "Y"});  // same cell, other direction
  Add(lamped.sgCapacitors, {"1", "1", "1", "1e-12", "X"});
  Add(lamped.sgSourses, {"2", "2", "2", "50", "Z", "+"});
  Add(lamped.sgRazraydnic, {"8", "8", "8", "100", "Z"});
  Add(lamped.sgInductor, {"9", "9", "9", "1e-9", "Z"});
  Build();
  // Output points count from 1 (their table row), the elements from 0; of two resistors on
  // a cell the first; unused records are never found.
  int idx = -1;
  auto found = [&](bool f) { return f ? idx : -1; };
  EXPECT_EQ(std::tuple(found(rv::FindOutputPointAt(a, 3, 4, 5, idx)), found(rv::FindOutputPointAt(a, 3, 4, 6, idx)),
                       found(rv::FindOutputPointAt(a, 3, 4, 7, idx)), found(rv::FindResistorAt(a, 3, 4, 5, idx)),
                       found(rv::FindResistorAt(a, 0, 0, 0, idx)), found(rv::FindResistorAt(a, 3, 4, 6, idx)),
                       found(rv::FindCapacitorAt(a, 1, 1, 1, idx))),
            std::tuple(1, 2, -1, 1, -1, -1, 0));
  EXPECT_TRUE(rv::FindSourceAt(a, 2, 2, 2, idx) && rv::FindSparkGapAt(a, 8, 8, 8, idx) &&
              rv::FindInductorAt(a, 9, 9, 9, idx) && !rv::FindInductorAt(a, 8, 8, 8, idx));
}

TEST(CellInfo, CapacitancesResistancesAndElementsOnTheCell) {
  auto d = Grid(10);
  const std::array<std::string, 3> mm{"0.001", "0.001", "0.001"};
  rv::ElementArrays a;
  const auto empty = rv::CellInfoLines(*d, a, 3, 4, 5, mm);
  ASSERT_EQ(empty.size(), 5u);
  EXPECT_EQ(std::tuple(empty[0], empty[2]), std::tuple("Координаты (X, Y, Z): 3, 4, 5", "X: 0.00884 пФ"));
  // A dielectric: capacitances only; a conductor: resistance and capacitance per axis.
  d->Layers[1].Name = "фольга", d->Layers[1].EpsStatic = 2, d->Layers[1].Sigma = 0;
  d->Space(3, 4, 5) = 1;
  const auto dielectric = rv::CellInfoLines(*d, a, 3, 4, 5, mm);
  EXPECT_EQ(std::tuple(dielectric[1], dielectric[5]), std::tuple("Материал: ФОЛЬГА", "Z: 0.01768 пФ"));
  d->Layers[1].Sigma = 1000;
  rv::FindObjectBounds(*d);
  EXPECT_EQ(rv::CellInfoLines(*d, a, 3, 4, 5, {"0.002", "0.001", "0.001"})[3], "X: 2 Ом/ 0.00884 пФ");
  // Switched off, the conductor is vacuum to the solver: capacitances only, also beside
  // another conductor. Resistances need the edge the solver sees to conduct.
  d->Layers[1].On = 0;
  d->Space(3, 3, 5) = 2;  // the cell below: one of the four round the X edge
  rv::FindObjectBounds(*d);
  const auto off = rv::CellInfoLines(*d, a, 3, 4, 5, mm);
  EXPECT_EQ(std::tuple(off.size(), off[3], off[5]), std::tuple(6u, "X: 0.01768 пФ", "Z: 0.01768 пФ"));
  d->Layers[1].On = 1;
  d->Space(3, 3, 5) = 0;
  // Elements on the cell are listed, others not; unreadable sizes stop after the material.
  a.OutputPoints.push_back({3, 4, 5, 'E', 'X', ""});
  a.Resistors.push_back({3, 4, 5, 'Y', 50});
  a.Resistors.push_back({3, 4, 6, 'Y', 75});
  const auto full = rv::CellInfoLines(*d, a, 3, 4, 5, mm);
  ASSERT_EQ(full.size(), 8u);
  EXPECT_EQ(std::tuple(full[6], full[7]), std::tuple("Вывод: EX", "Резистор: Y 50 Ом"));
  EXPECT_EQ(rv::CellInfoLines(*d, a, 3, 4, 5, {"abc", "1", "1"}).size(), 2u);
}

TEST(Symbols3d, ShapesFollowTheEdgeAndBadRecordsDrawNothing) {
  rv::ElementArrays a;
  a.OutputPoints.resize(2);
  a.OutputPoints[1].X = 2, a.OutputPoints[1].Y = 3, a.OutputPoints[1].Z = 4;  // the first at cell 0
  a.VoltageSources.resize(2);
  a.VoltageSources[0].X = 5, a.VoltageSources[0].Y = 6, a.VoltageSources[0].Z = 7, a.VoltageSources[0].Dir = 'Z';
  a.VoltageSources[1].Dir = 'Q';  // no direction: nothing
  a.Resistors = {{1, 1, 1, 'Y', 50}};
  a.Capacitors = {{0, 1, 1, 'X', 1e-12}};  // cell 0: skipped
  const auto s = rv::ElementSymbols(a, 1, 2, 0.5);
  ASSERT_EQ(s.size(), 4u);  // point box, source lines and base, resistor
  // The half-size cube in the middle of the cell, scaled per axis; the source's edge runs one
  // cell along Z; the resistor along Y draws its body across X.
  using V = std::array<float, 3>;
  EXPECT_EQ(std::tuple(s[0].kind, s[0].v[0], s[0].v[1], s[1].v[0], s[1].v[1], s[3].v[4][0], s[3].v[4][1]),
            std::tuple(rv::SymbolPrim::Box, V{2.25f, 6.5f, 2.125f}, V{0.5f, 1.0f, 0.25f}, V{5, 12, 3.5f},
                       V{5, 12, 4}, 1.2f, 2.6f));
}

}  // namespace
