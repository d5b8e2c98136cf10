// Damage inside a project file this program wrote: a value, table key or count that a save
// of what was read would not write asks the one question, naming the first key and its
// text; «Нет» keeps the open project, «Да» loads with defaults. Files of older versions read
// as before, and forms that change no value (line ends, a tail of blanks, UTF-8) load.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/codepage.h"
#include "solver/solverdata.h"

using namespace prjtest;
using ::testing::HasSubstr;

namespace {

const std::string Samples = (fs::path(__FILE__).parent_path() / "../../examples/").string();

struct Load {
  ProjectLoadStatus status;
  std::vector<std::string> asked;
  ProjectData p;
  std::unique_ptr<SolverData> d;
};

// Loads over an open project of a 7-cell grid and one marked cell, answering the question.
Load LoadAnswering(const std::string& fdt, bool yes) {
  Load l{ProjectLoadStatus::NotFound, {}, {}, std::make_unique<SolverData>()};
  l.p.Main.spX = 7;
  l.d->Space.allocate(8, 8, 8);
  l.d->Space(7, 7, 7) = 3;
  l.status = LoadProject(fdt, l.p, *l.d, {}, [&](const std::string& q) { l.asked.push_back(q); return yes; }).Status;
  return l;
}

// The first `from` replaced (none throws).
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

}  // namespace

TEST(DamagedProject, ValuesAndTableKeysASaveWouldNotWriteAskNamingTheFirst) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", whole = ReadBytes(Samples + "dipole/dipole.fdt");
  WriteBytes(tmp / "p.bin", ReadBytes(Samples + "dipole/dipole.bin"));
  auto with = [&](const std::string& from, const std::string& to) { return Replace(whole, from, to); };
  // The voltage line's header swapped with the spark gaps': out of the save's order.
  const std::string swapped = Replace(with("[sgVoltage]", "[sgTmp]"), "[sgRazraydnic]", "[sgVoltage]");
  // Not a number, not whole, outside its list, a radio button that disagrees with its pair,
  // an edit kept as typed that holds no number, no Single; a count below the one saved, the
  // record of the counts unreadable or renamed, a cell beyond its table's columns.
  const std::pair<std::string, std::string> cases[] = {
      {with("StepCount=1500", "StepCount=150?"), "[Geometry] StepCount = \"150?\" не число"},
      {with("StepCount=1500", "StepCount=15.5"), "[Geometry] StepCount = \"15.5\" не целое число"},
      {with("rgSources=2", "rgSources=3"), "[InputSourse] rgSources = \"3\" вне допустимых пределов"},
      {with("RadioButton1=0", "RadioButton1=1"), "[Signal] RadioButton1 = \"1\" вне допустимых пределов"},
      {with("dT=0.0018", "dT=0.0<18"), "[Geometry] dT = \"0.0<18\" не число"},
      {with("Xo=63", "Xo=1e40"), "[OpenGL] Xo = \"1e40\" вне допустимых пределов"},
      {with("[sgOutPoint]\r\nCount=3", "[sgOutPoint]\r\nCount=2"),
       "изменен после сохранения: число строк не то, что было сохранено ([sgOutPoint] Count = 2, а сохранено 3)"},
      {with("Counts=3 2 2", "Counts=3 2 x"), "[Version] Counts = \"3 2 x 1 2 1 2 1 1 3 1\" не читается"},
      {with("Counts=", "Countz="), "[Version] Countz = \"3 2 2 1 2 1 2 1 1 3 1\": такого ключа сохранение не пишет"},
      {Replace(swapped, "[sgTmp]", "[sgRazraydnic]"), "раздел [sgRazraydnic] стоит на месте раздела [sgVoltage]"},
  };
  for (const auto& [text, named] : cases) {
    SCOPED_TRACE(named);
    WriteBytes(fdt, text);
    const Load no = LoadAnswering(fdt, false);
    ASSERT_EQ(std::tuple(no.status, no.asked.size(), no.p.Main.spX, no.d->Space.len1(), no.d->Space(7, 7, 7)),
              std::tuple(ProjectLoadStatus::Refused, 1u, 7, 8, 3));
    EXPECT_THAT(no.asked[0], HasSubstr(named.rfind("изменен", 0) == 0 ? "p.fdt " + named : "p.fdt поврежден: " + named));
    // A file of an older version (no mark, no stamp) asks nothing: only no Single refuses it.
    WriteBytes(fdt, Replace(Replace(text, std::string(ProjectFileOrderMark) + "\r\n", ""), "ModelFile=", "Kept="));
    const Load older = LoadAnswering(fdt, false);
    EXPECT_EQ(std::tuple(older.status, older.asked.size()),
              std::tuple(named.rfind("[OpenGL]", 0) ? ProjectLoadStatus::Loaded : ProjectLoadStatus::Refused, 0u));
  }
  // «Да» loads what could be read, the rest by default; several damaged places are counted.
  WriteBytes(fdt, Replace(with("StepCount=1500", "StepCount=150?"), "1=4", "1=9"));
  Load yes = LoadAnswering(fdt, true);
  ASSERT_EQ(std::tuple(yes.status, yes.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 1u));
  EXPECT_THAT(yes.asked[0], HasSubstr("\"150?\" не число (поврежденных мест всего: 2).\nЗагрузить то, что удалось "
                                      "прочитать, а остальное взять по умолчанию?"));
  EXPECT_EQ(std::tuple(yes.p.Main.seStepCount, yes.p.Main.ComboBox[0], yes.p.Main.ComboBox[1], yes.p.Main.spX),
            std::tuple(100, int(BorderRTABC), 4, 30));
  // A section plane beyond the grid (the editor not shown since the grid shrank) is saved
  // as a load reads it, inside the grid, and so loads without a question.
  yes.p.Editor.X = 45;
  std::string err;
  ASSERT_TRUE(SaveProject(tmp / "plane.fdt", yes.p, *yes.d, err)) << err;
  const Load plane = LoadAnswering(tmp / "plane.fdt", false);
  EXPECT_EQ(std::tuple(plane.status, plane.asked.size(), plane.p.Editor.X), std::tuple(ProjectLoadStatus::Loaded, 0u, 30));
}

// Forms a file picks up between machines and editors, and rows an earlier save left beyond a
// count (a save keeps the keys it does not write), change no value: they load silently.
TEST(DamagedProject, HarmlessFormsLoadAndAnOlderCutFileIsNamed) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", whole = ReadBytes(Samples + "dipole/dipole.fdt");
  WriteBytes(tmp / "p.bin", ReadBytes(Samples + "dipole/dipole.bin"));
  const Load original = LoadAnswering(Samples + "dipole/dipole.fdt", false);
  ASSERT_EQ(original.status, ProjectLoadStatus::Loaded);
  const auto ends = [&](const std::string& eol) {  // every line ending made eol
    std::string t;
    for (const char c : whole)
      if (c != '\r') t += c == '\n' ? eol : std::string(1, c);
    return t;
  };
  const std::string earlierRow =
      Replace(Replace(whole, "[sgResistors]\r\nCount=2", "[sgResistors]\r\nCount=1"), "Counts=3 2 2 1 2", "Counts=3 2 2 1 1");
  const std::string comma = Replace(Replace(whole, "dT=0.0018", "dT=0,0018"), "Eps=1", "Eps=1,0");
  // A tail of blanks, a tab and Ctrl-Z; CR CR LF, CR alone, LF CR; UTF-8 without its mark
  // (the note is Cyrillic); decimal commas.
  for (const std::string& text : {whole + " \t\x1A", ends("\r\r\n"), ends("\r") + " \x1A", ends("\n\r"), Cp1251ToUtf8(whole), earlierRow, comma}) {
    WriteBytes(fdt, text);
    const Load l = LoadAnswering(fdt, false);
    ASSERT_EQ(std::tuple(l.status, l.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 0u))
        << (l.asked.empty() ? "" : l.asked[0]);
    EXPECT_TRUE(l.p.Main == original.p.Main && l.d->Layers == original.d->Layers);
  }

  // A file of an older version cut before [Version]: the question names the project file
  // and what it lacks, not only the model file.
  const std::string old = Replace(whole, std::string(ProjectFileOrderMark) + "\r\n", "");
  WriteBytes(fdt, old.substr(0, old.find("[Version]")));
  const Load cut = LoadAnswering(fdt, false);
  ASSERT_EQ(std::tuple(cut.status, cut.asked.size()), std::tuple(ProjectLoadStatus::Refused, 1u));
  EXPECT_THAT(cut.asked[0], HasSubstr(fdt + " нет ключей [Geometry] NX, [Geometry] NY, [Geometry] NZ, [Version] FileFormat"));
}

// What the user typed comes back as typed (characters cp1251 lacks, a decimal comma saved as
// the point); a count that is no whole number, and section headers out of the save's order,
// ask.
TEST(DamagedProject, TypedTextComesBackAndCountsOrHeadersASaveWouldNotWriteAsk) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt";
  WriteBytes(tmp / "p.bin", ReadBytes(Samples + "dipole/dipole.bin"));
  Load l = LoadAnswering(Samples + "dipole/dipole.fdt", false);
  ASSERT_EQ(l.status, ProjectLoadStatus::Loaded);
  l.p.Main.memoProjectNote = {"Диполь λ/2, R = 50 Ω, ε = 4.4, tg δ ≈ 0.02 \xF0\x9F\x98\x80", "вторая строка"};
  l.d->Layers[1].Name = "Подложка ε=4.4";
  l.p.Main.edX = "0,001", l.p.Main.edpmlR = "0,01";
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, l.p, *l.d, err)) << err;
  ASSERT_EQ(ReadBytes(fdt).rfind("\xEF\xBB\xBF" + std::string(ProjectFileOrderMark), 0), 0u);
  const Load back = LoadAnswering(fdt, false);
  ASSERT_EQ(std::tuple(back.status, back.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 0u));
  EXPECT_EQ(std::tuple(back.p.Main.memoProjectNote, back.d->Layers[1].Name, back.p.Main.edX, back.p.Main.edpmlR),
            std::tuple(l.p.Main.memoProjectNote, l.d->Layers[1].Name, std::string("0.001"), std::string("0.01")));
  // A file cp1251 holds whole stays cp1251, as older versions wrote it.
  l.p.Main.memoProjectNote = {"Диполь"}, l.d->Layers[1].Name = "Медь";
  ASSERT_TRUE(SaveProject(fdt, l.p, *l.d, err)) << err;
  const std::string plain = ReadBytes(fdt);
  ASSERT_EQ(plain.rfind(std::string(ProjectFileOrderMark) + "\r\n", 0), 0u);
  EXPECT_NE(plain.find(Utf8ToCp1251("St0=Диполь")), std::string::npos);

  const std::pair<std::string, std::string> cases[] = {
      {Replace(plain, "[MemLines]\r\nCount=1", "[MemLines]\r\nCount=0.0"), "[MemLines] Count = \"0.0\" не целое число"},
      {Replace(plain, "[MemLines]\r\nCount=1", "[MemLines]\r\nCount=1e-999"), "[MemLines] Count = \"1e-999\" не целое число"},
      {Replace(Replace(Replace(plain, "[sgCurrent]", "[sgTmp]"), "[sgVoltage]", "[sgCurrent]"), "[sgTmp]", "[sgVoltage]"),
       "раздел [sgVoltage] стоит на месте раздела [sgCurrent]"},
  };
  for (const auto& [text, named] : cases) {
    WriteBytes(fdt, text);
    const Load no = LoadAnswering(fdt, false);
    ASSERT_EQ(std::tuple(no.status, no.asked.size()), std::tuple(ProjectLoadStatus::Refused, 1u)) << named;
    EXPECT_THAT(no.asked[0], HasSubstr("p.fdt поврежден: " + named));
  }
  // A file saved before the order was kept (the older mark) reads as before.
  WriteBytes(fdt, Replace(cases[2].first, ProjectFileOrderMark, ProjectFileMark));
  const Load older = LoadAnswering(fdt, false);
  EXPECT_EQ(std::tuple(older.status, older.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 0u));
}
