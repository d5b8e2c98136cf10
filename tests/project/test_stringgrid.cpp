// Tables of outputs and lumped elements: row operations, cycling cells, project sections.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "project/stringgrid.h"
#include "project_fixture.h"

namespace {

using namespace prjtest;

void Fill(StringGrid& g, int rows, rv::ModifiedFlag& m) {
  for (int r = 1; r <= rows; ++r) {
    rv::AddGridRow(g, m);
    for (int c = 0; c < g.ColCount(); ++c) g.SetCell(c, r, std::to_string(r * 10 + c));
  }
}

TEST(StringGrid, AddAndDeleteRowsAtTheEdges) {
  rv::ModifiedFlag m{0};
  StringGrid g("sgResistors", 5);
  g.SetCell(0, 0, "X");
  // Row count, fixed rows, enabled, current row and the title cell.
  auto state = [&] { return std::tuple(g.RowCount(), g.FixedRows(), g.Enabled(), g.Row(), g.Cells(0, 0)); };
  // Only the title row: deleting and clearing change nothing and mark nothing.
  rv::DeleteGridRow(g, m);
  rv::ClearGrid(g, m);
  EXPECT_EQ(std::tuple(g.RowCount(), g.FixedRows(), int(m)), std::tuple(1, 0, 0));

  rv::AddGridRow(g, m);  // the title row stays
  EXPECT_EQ(state(), std::tuple(2, 1, true, 1, "X"));
  EXPECT_EQ(std::tuple(g.Col(), int(m)), std::tuple(0, 1));

  // Deleting the only data row leaves the title row and a disabled table.
  rv::DeleteGridRow(g, m);
  EXPECT_EQ(std::tuple(g.RowCount(), g.FixedRows(), g.Enabled(), g.Cells(0, 0)), std::tuple(1, 0, false, "X"));

  // Row 0 current: nothing happens, not even the modified mark.
  Fill(g, 4, m);
  g.SetCurrent(0, 0);
  m = 0;
  rv::DeleteGridRow(g, m);
  EXPECT_EQ(std::tuple(g.RowCount(), int(m)), std::tuple(5, 0));

  // Row 2 of 4: rows 3 and 4 move up with every column.
  g.SetCurrent(3, 2);
  rv::DeleteGridRow(g, m);
  ASSERT_EQ(std::tuple(g.RowCount(), int(m)), std::tuple(4, 1));
  for (int c = 0; c < 5; ++c)
    for (int r : {1, 2, 3}) EXPECT_EQ(g.Cells(c, r), std::to_string((r == 1 ? 10 : r * 10 + 10) + c));

  // The last row current: it goes and the current row follows the new last row.
  g.SetCurrent(0, 3);
  rv::DeleteGridRow(g, m);
  ASSERT_EQ(state(), std::tuple(3, 1, true, 2, "X"));
  EXPECT_EQ(g.Cells(0, 2), "30");

  // A row added after a delete starts empty, not with the texts of the old last row.
  rv::AddGridRow(g, m);
  EXPECT_EQ(g.Cells(0, 3) + g.Cells(1, 3) + g.Cells(2, 3) + g.Cells(3, 3) + g.Cells(4, 3), "");

  m = 0;
  rv::ClearGrid(g, m);
  EXPECT_EQ(std::tuple(g.RowCount(), g.Enabled(), int(m), g.Cells(0, 0)), std::tuple(1, false, 1, "X"));

  // Cells outside the table read empty and cannot be written.
  EXPECT_EQ(g.Cells(7, 0) + g.Cells(0, -1), "");
  EXPECT_FALSE(g.SetCell(5, 0, "x") || g.SetCell(0, 1, "x"));
}

TEST(StringGrid, ShiftLeavesUnreadableCellsAndShiftsTheRest) {
  rv::ModifiedFlag m{0};
  StringGrid g("sgCapacitors", 5);
  for (int i = 0; i < 4; ++i) rv::AddGridRow(g, m);
  const char* rows[4][3] = {{"1", "2", "3"}, {"", "5", "6"}, {"abc", " 7 ", "1.5"}, {"2147483647", "-4", "9"}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) g.SetCell(c, r + 1, rows[r][c]);
  g.SetCell(3, 1, "100");
  m = 0;
  const int left = rv::ShiftGridCoords(g, 1, -2, 10);
  // The caller marks the project; left: "", "abc", "1.5" and the sum beyond 32 bits.
  EXPECT_EQ(std::tuple(int(m), left), std::tuple(0, 4));
  const char* want[4][3] = {{"2", "0", "13"}, {"", "3", "16"}, {"abc", "5", "1.5"}, {"2147483647", "-6", "19"}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(g.Cells(c, r + 1), want[r][c]) << "row " << r + 1 << " col " << c;
  EXPECT_EQ(g.Cells(3, 1), "100");  // values are not coordinates

  // The output tables keep their coordinates further right.
  StringGrid out("sgOutPoint", 6);
  rv::AddGridRow(out, m);
  const char* probe[6] = {"E", "x", "3", "4", "5", "Ex(3,4,5).grf"};
  for (int c = 0; c < 6; ++c) out.SetCell(c, 1, probe[c]);
  EXPECT_EQ(rv::ShiftGridColumns(out, 2, 1, 1, 1), 0);
  EXPECT_EQ(std::tuple(out.Cells(1, 1), out.Cells(2, 1), out.Cells(4, 1), out.Cells(5, 1)),
            std::tuple("x", "4", "6", "Ex(3,4,5).grf"));
  // Columns past the table are ignored rather than written; the file name is no number.
  EXPECT_EQ(rv::ShiftGridColumns(out, 4, 1, 1, 1), 1);
  EXPECT_EQ(out.Cells(4, 1), "7");
}

// Clicks on a cell, reading the cell after each; "!" marks a click that selected the cell.
template <class Select>
std::string Clicks(StringGrid& g, int col, int n, rv::ModifiedFlag& m, Select select) {
  std::string seen;
  for (int i = 0; i < n; ++i) {
    if (select(g, col, 1, m)) seen += "!";
    seen += "[" + g.Cells(col, 1) + "]";
  }
  return seen;
}

TEST(StringGrid, DirectionAndPolarityCycleOnSelect) {
  rv::ModifiedFlag m{0};
  rv::LampedTables t;
  rv::OutPointTables o;
  for (StringGrid* g : {&t.sgResistors, &t.sgSourses, &o.sgOutPoint}) rv::AddGridRow(*g, m);
  m = 0;
  // Element directions cycle X, Y, Z by the first letter; sources' polarity toggles;
  // probe directions cycle X, Y, Z, empty ("x" gives Y, anything else X).
  const struct {
    StringGrid* g;
    int col;
    const char* start;
    bool probe;
    const char* seen;
  } cases[] = {{&t.sgResistors, 4, "", false, "[X][Y][Z][X][Y]"},
               {&t.sgResistors, 4, "xy", false, "[Y]"},
               {&t.sgSourses, 5, "", false, "[+][-][+]"},
               {&t.sgResistors, 5, "", false, "![]"},  // no polarity column: selects
               {&o.sgOutPoint, 1, "", true, "[X][Y][Z][]"},
               {&o.sgOutPoint, 1, "x", true, "[Y]"},
               {&o.sgOutPoint, 1, "Q", true, "[X]"},
               {&o.sgOutPoint, 2, "", true, "![]"}};
  for (const auto& c : cases) {
    c.g->SetCell(c.col, 1, c.start);
    const int n = int(std::count(c.seen, c.seen + std::strlen(c.seen), '['));
    EXPECT_EQ(c.probe ? Clicks(*c.g, c.col, n, m, rv::OutPointSelectCell)
                      : Clicks(*c.g, c.col, n, m, rv::LampedSelectCell),
              c.seen)
        << c.g->Name() << " column " << c.col << " from \"" << c.start << "\"";
  }
  EXPECT_EQ(m, 1);  // any data cell marks the project
  // The title row and rows past the table do nothing.
  m = 0;
  EXPECT_TRUE(rv::LampedSelectCell(t.sgResistors, 4, 0, m) && rv::LampedSelectCell(t.sgResistors, 4, 9, m));
  // a Cyrillic С in the capacitors' title
  EXPECT_EQ(std::tuple(t.sgResistors.Cells(4, 0), t.sgCapacitors.Cells(3, 0), int(m)),
            std::tuple("Направл.", "С, Ф", 0));
}

TEST(TableSections, RoundTripThroughTheProjectFile) {
  TempDir dir;
  const std::string path = dir / "tables.fdt";
  rv::ModifiedFlag m{0};

  rv::LampedTables t;
  Fill(t.sgSourses, 12, m);
  t.sgSourses.SetCell(3, 12, "Сопротивление 50 Ом");
  t.sgSourses.SetCell(0, 2, "");
  rv::AddGridRow(t.sgInductor, m);
  t.sgInductor.SetCell(4, 1, "ёЁ");
  rv::OutPointTables o;
  o.seOutputRate = 25; o.cbShowGr = false; o.cbNoWriteFile = true;
  Fill(o.sgCurrent, 2, m);
  o.sgCurrent.SetCell(6, 1, "Ток в проводе.grf");

  rv::Messages msgs;
  ASSERT_TRUE(rv::SaveOutPointSettings(o, path, msgs) && rv::SaveLampedSettings(t, path, msgs) && msgs.empty());

  // Keys as other programs of the family read them; the file is Windows Cyrillic.
  rv::IniFile ini;
  ASSERT_TRUE(ini.load(path));
  auto key = [&](const char* s, const char* k) { return ini.readString(s, k, ""); };
  EXPECT_EQ(std::tuple(key("sgSourses", "Count"), key("sgSourses", "Cell3x12"), key("sgResistors", "Count"),
                       key("OutPoints", "seOutputRate"), key("OutPoints", "cbShowGr")),
            std::tuple("13", "Сопротивление 50 Ом", "1", "25", "0"));
  EXPECT_EQ(ini.readSection("sgResistors"), std::vector<std::string>{"Count"});
  EXPECT_EQ(ini.readSection("OutPoints"),
            (std::vector<std::string>{"seOutputRate", "cbNoWriteFile", "cbShowInput", "cbShowGr"}));
  EXPECT_NE(ReadBytes(path).find("Cell3x12=\xD1\xEE\xEF\xF0"), std::string::npos);  // "Сопр" in cp1251

  rv::LampedTables t2;
  rv::OutPointTables o2;
  rv::AddGridRow(t2.sgResistors, m);  // loading replaces what was there
  m = 0;
  ASSERT_TRUE(rv::LoadOutPointSettings(o2, path, m, msgs) && rv::LoadLampedSettings(t2, path, m, msgs));
  // The project reader clears the mark afterwards.
  EXPECT_EQ(std::tuple(msgs.empty(), int(m), t2.sgResistors.RowCount()), std::tuple(true, 1, 1));
  ASSERT_EQ(t2.sgSourses.RowCount(), 13);
  for (int r = 1; r < 13; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(t2.sgSourses.Cells(c, r), t.sgSourses.Cells(c, r));
  EXPECT_EQ(std::tuple(t2.sgInductor.Cells(4, 1), t2.sgSourses.Cells(5, 0), o2.sgCurrent.Cells(6, 1)),
            std::tuple("ёЁ", "Полярн.", "Ток в проводе.grf"));
  EXPECT_EQ(std::tuple(o2.seOutputRate, o2.cbShowGr, o2.cbNoWriteFile, o2.sgCurrent.Enabled()),
            std::tuple(25, false, true, true));

  // A smaller table saved over the file leaves the old keys; the reader goes by Count.
  rv::ClearGrid(t.sgSourses, m);
  Fill(t.sgSourses, 1, m);
  ASSERT_TRUE(rv::SaveLampedSettings(t, path, msgs) && ini.load(path) && rv::LoadLampedSettings(t2, path, m, msgs));
  EXPECT_EQ(std::tuple(ini.readString("sgSourses", "Cell3x12", ""), t2.sgSourses.RowCount()),
            std::tuple("Сопротивление 50 Ом", 2));
}

TEST(TableSections, MissingAndDamagedSections) {
  rv::ModifiedFlag m{0};
  rv::Messages msgs;

  // No "OutPoints": rate 1, every box cleared, empty tables; a rate of 0 is raised to 1.
  rv::IniFile ini;
  ini.parse("[sgCurrent]\nCount=3\nCell0x1=5\nCell6x2=Имя\n[OutPoints]\nseOutputRate=0\n");
  rv::OutPointTables o;
  o.cbShowGr = true;
  ASSERT_TRUE(rv::LoadOutPointSettings(o, ini, m, msgs));
  EXPECT_EQ(std::tuple(o.seOutputRate, o.cbShowGr, o.sgOutPoint.RowCount()), std::tuple(1, false, 1));
  // Count beyond the keys present gives rows of empty cells.
  ASSERT_EQ(o.sgCurrent.RowCount(), 3);
  EXPECT_EQ(std::tuple(o.sgCurrent.Cells(0, 1), o.sgCurrent.Cells(1, 1), o.sgCurrent.Cells(6, 2)),
            std::tuple("5", "", "Имя"));

  ini.parse("[OutPoints]\nseOutputRate=99999999999\n[sgOutPoint]\nCount=abc\n");
  ASSERT_TRUE(rv::LoadOutPointSettings(o, ini, m, msgs));
  // Not a 32-bit number: the default, raised to the minimum.
  EXPECT_EQ(std::tuple(o.seOutputRate, o.sgOutPoint.RowCount()), std::tuple(1, 1));
  ini.parse("[OutPoints]\nseOutputRate=20000000\n");
  ASSERT_TRUE(rv::LoadOutPointSettings(o, ini, m, msgs));
  EXPECT_EQ(o.seOutputRate, rv::MaxOutputRate);
  EXPECT_TRUE(msgs.empty());

  // A count no table can hold is refused before anything changes.
  rv::LampedTables t;
  Fill(t.sgResistors, 2, m);
  ini.parse("[sgResistors]\nCount=1\n[sgInductor]\nCount=2000000000\n");
  EXPECT_FALSE(rv::LoadLampedSettings(t, ini, m, msgs));
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_NE(msgs[0].find("sgInductor"), std::string::npos);
  EXPECT_EQ(std::tuple(t.sgResistors.RowCount(), t.sgInductor.RowCount()), std::tuple(3, 1));

  // A file that exists but cannot be read (a folder) changes nothing and says why.
  msgs.clear();
  TempDir dir;
  EXPECT_FALSE(rv::LoadLampedSettings(t, dir.dir.string(), m, msgs));
  EXPECT_EQ(std::tuple(msgs.size(), t.sgResistors.RowCount()), std::tuple(1u, 3));

  // A project file that does not exist gives empty tables (the new-project command).
  msgs.clear();
  EXPECT_TRUE(rv::LoadLampedSettings(t, dir / "no_such_project.fdt", m, msgs));
  EXPECT_EQ(std::tuple(t.sgResistors.RowCount(), msgs.empty()), std::tuple(1, true));
}

TEST(StringGrid, UpperCaseOfLatinAndCyrillic) {
  EXPECT_EQ(rv::UpperCaseText("ex(3,4,5).grf"), "EX(3,4,5).GRF");
  EXPECT_EQ(rv::UpperCaseText("ток ёжик яЯ"), "ТОК ЁЖИК ЯЯ");
  EXPECT_EQ(rv::UpperCaseText("€x"), "€X");  // three-byte characters pass through
}

}  // namespace
