// Damage inside a project file this program wrote: a value, table key or count that a save
// of what was read would not write asks the one question, naming the first key and its
// text; «Нет» keeps the open project, «Да» loads with defaults. Files of older versions read
// as before, and forms that change no value (line ends, a tail of blanks, UTF-8) load.
#include <gtest/gtest.h>

#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/codepage.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

const std::string Samples = (fs::path(__FILE__).parent_path() / "../../examples/").string();

struct Load {
  ProjectLoadStatus status;
  std::vector<std::string> asked;
  ProjectData p;
  std::unique_ptr<SolverData> d;
};

// Loads with an open project of a 7-cell grid and one marked cell, answering the question.
Load LoadAnswering(const std::string& fdt, bool yes) {
  Load l{ProjectLoadStatus::NotFound, {}, {}, std::make_unique<SolverData>()};
  l.p.Main.spX = 7;
  l.d->Space.allocate(8, 8, 8);
  l.d->Space(7, 7, 7) = 3;
  l.status = LoadProject(fdt, l.p, *l.d, {}, [&](const std::string& q) { l.asked.push_back(q); return yes; }).Status;
  return l;
}

bool Untouched(const Load& l) { return l.p.Main.spX == 7 && l.d->Space.len1() == 8 && l.d->Space(7, 7, 7) == 3; }

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

}  // namespace

TEST(DamagedProject, AValueASaveWouldNotWriteAsksNamingItsKeyAndText) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", whole = ReadBytes(Samples + "dipole/dipole.fdt");
  WriteBytes(tmp / "p.bin", ReadBytes(Samples + "dipole/dipole.bin"));
  // Not a number, not whole, outside its range or list, a Boolean a save does not write,
  // empty, a radio button that disagrees with its pair, a format the save does not write,
  // an edit that holds a number holding none.
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"StepCount=1500", "StepCount=150?", "[Geometry] StepCount = \"150?\" не число"},
      {"StepCount=1500", "StepCount=15.5", "[Geometry] StepCount = \"15.5\" не целое число"},
      {"StepCount=1500", "StepCount=", "[Geometry] StepCount = \"\" не число"},
      {"rgSources=2", "rgSources=3", "[InputSourse] rgSources = \"3\" вне допустимых пределов"},
      {"rgSources=2", "rgSources=2:", "[InputSourse] rgSources = \"2:\" не число"},
      {"1=4", "1=7", "[Borders] 1 = \"7\" вне допустимых пределов"},
      {"sePmlCount=8", "sePmlCount=80", "[Borders] sePmlCount = \"80\" вне допустимых пределов"},
      {"edFarStep=36", "edFarStep=36v", "[FarField] edFarStep = \"36v\" не число"},
      {"seOutputRate=1", "seOutputRate=0", "[OutPoints] seOutputRate = \"0\" вне допустимых пределов"},
      {"cbShowInput=1", "cbShowInput=~", "[OutPoints] cbShowInput = \"~\" не число"},
      {"CheckBox1=1", "CheckBox1=3", "[Signal] CheckBox1 = \"3\" вне допустимых пределов"},
      {"RadioButton1=0", "RadioButton1=1", "[Signal] RadioButton1 = \"1\" вне допустимых пределов"},
      {"FileFormat=6", "FileFormat=7", "[Version] FileFormat = \"7\" вне допустимых пределов"},
      {"OutputItem=2", "OutputItem=13", "[Vizual] OutputItem = \"13\" вне допустимых пределов"},
      {"dT=0.0018", "dT=0.0<18", "[Geometry] dT = \"0.0<18\" не число"},
      {"edSinFreq=1e9", "edSinFreq=1u9", "[Signal] edSinFreq = \"1u9\" не число"},
      {"Eps=1", "Eps=x", "[Layer1] Eps = \"x\" не число"},
      {"Xo=63", "Xo=1e40", "[OpenGL] Xo = \"1e40\" вне допустимых пределов"},
  };
  for (const auto& [from, to, named] : cases) {
    SCOPED_TRACE(to);
    WriteBytes(fdt, Replace(whole, from, to));
    const Load no = LoadAnswering(fdt, false);
    ASSERT_EQ(std::tuple(no.status, no.asked.size(), Untouched(no)), std::tuple(ProjectLoadStatus::Refused, 1u, true));
    EXPECT_EQ(no.asked[0].rfind("Файл проекта " + fdt + " поврежден: " + named + ".\n", 0), 0u) << no.asked[0];
    EXPECT_NE(no.asked[0].find("Загрузить то, что удалось прочитать, а остальное взять по умолчанию?"),
              std::string::npos);
    // The same text in a file of an older version (no mark, no stamp): read as always, a
    // material or camera value that is no Single refused without a question.
    WriteBytes(fdt, Replace(Replace(Replace(whole, from, to), std::string(ProjectFileMark) + "\r\n", ""),
                            "ModelFile=", "Kept="));
    const Load older = LoadAnswering(fdt, false);
    const bool single = named.find("[Layer1]") == 0 || named.find("[OpenGL]") == 0;
    EXPECT_EQ(std::tuple(older.status, older.asked.size()),
              std::tuple(single ? ProjectLoadStatus::Refused : ProjectLoadStatus::Loaded, 0u));
  }
  // «Да» loads what could be read; several damaged places are counted.
  WriteBytes(fdt, Replace(Replace(whole, "StepCount=1500", "StepCount=150?"), "1=4", "1=9"));
  const Load yes = LoadAnswering(fdt, true);
  ASSERT_EQ(std::tuple(yes.status, yes.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 1u));
  EXPECT_NE(yes.asked[0].find("StepCount = \"150?\" не число (поврежденных мест всего: 2)."), std::string::npos)
      << yes.asked[0];
  EXPECT_EQ(std::tuple(yes.p.Main.seStepCount, yes.p.Main.ComboBox[0], yes.p.Main.ComboBox[1], yes.p.Main.spX),
            std::tuple(100, int(BorderRTABC), 4, 30));
  // A section plane beyond the grid (the editor not shown since the grid shrank) is saved
  // inside it, as a load would read it, and so loads without a question.
  ProjectData q = yes.p;
  q.Editor.X = 45;
  std::string err;
  ASSERT_TRUE(SaveProject(tmp / "plane.fdt", q, *yes.d, err)) << err;
  const Load plane = LoadAnswering(tmp / "plane.fdt", false);
  EXPECT_EQ(std::tuple(plane.status, plane.asked.size(), plane.p.Editor.X),
            std::tuple(ProjectLoadStatus::Loaded, 0u, 30));
  WriteBytes(fdt, Replace(whole, "[OpenGL]\r\nX=15", "[OpenGL]\r\nX=45"));
  EXPECT_EQ(LoadAnswering(fdt, false).asked.size(), 1u);
}

TEST(DamagedProject, TablesAskWhenTheirCountOrCellsAreNotTheSavesAndKeepAnEarlierSavesRows) {
  TempDir tmp;
  const std::string fdt = tmp / "p.fdt", whole = ReadBytes(Samples + "dipole/dipole.fdt");
  WriteBytes(tmp / "p.bin", ReadBytes(Samples + "dipole/dipole.bin"));
  auto asks = [&](const std::string& text, const std::string& named) {
    WriteBytes(fdt, text);
    const Load l = LoadAnswering(fdt, false);
    ASSERT_EQ(std::tuple(l.status, l.asked.size(), Untouched(l)), std::tuple(ProjectLoadStatus::Refused, 1u, true))
        << named;
    EXPECT_NE(l.asked[0].find(" поврежден: " + named), std::string::npos) << l.asked[0];
  };
  // A count lowered: the row beyond it would be dropped, and the save recorded three.
  asks(Replace(whole, "[sgOutPoint]\r\nCount=3", "[sgOutPoint]\r\nCount=2"),
       "[sgOutPoint] Count = \"2\", а сохранено 3");
  asks(Replace(whole, "[MemLines]\r\nCount=3", "[MemLines]\r\nCount=1"), "[MemLines] Count = \"1\", а сохранено 3");
  asks(Replace(whole, "[Layer]\r\nCount=1", "[Layer]\r\nCount=0"), "[Layer] Count = \"0\", а сохранено 1");
  asks(Replace(whole, "[sgSourses]\r\nCount=2", "[sgSourses]\r\nCount=0"),
       "[sgSourses] Count = \"0\" вне допустимых пределов");
  asks(Replace(whole, "Counts=3 2 2", "Counts=3 2 x"), "[Version] Counts = \"3 2 x 1 2 1 2 1 1 3 1\" не читается");
  asks(Replace(whole, "Counts=", "Countz="), "[Version] Countz = \"3 2 2 1 2 1 2 1 1 3 1\": такого ключа");
  // The voltage line's header swapped with the spark gaps': its cells 5 and 6 do not fit.
  std::string swapped = Replace(Replace(whole, "[sgVoltage]", "[sgTmp]"), "[sgRazraydnic]", "[sgVoltage]");
  asks(Replace(swapped, "[sgTmp]", "[sgRazraydnic]"), "[sgRazraydnic] Cell5x1 = \"15\": столбцов в таблице 5");
  asks(Replace(whole, "Cell4x1=Z\r\n[sgCapacitors]", "Cell4x1=Z\r\nCell0x0=1\r\n[sgCapacitors]"),
       "[sgResistors] Cell0x0 = \"1\": такого ключа сохранение не пишет");

  // Rows, note lines and materials an earlier save left beyond the counts: loaded silently.
  fs::remove(fdt);
  const Load l = LoadAnswering(Samples + "dipole/dipole.fdt", false);
  ASSERT_EQ(l.status, ProjectLoadStatus::Loaded);
  ProjectData p = l.p;
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, 30, 30, 30);
  ASSERT_TRUE(ResizeSpace(*d));
  d->Layers[2].Name = "второй";
  p.Editor.LayerCount = 2;
  p.Main.memoProjectNote.push_back("четвертая строка");
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, p, *d, err)) << err;
  ModifiedFlag m{0};
  p.Lamped.sgResistors.SetCurrent(0, 1);
  DeleteGridRow(p.Lamped.sgResistors, m);
  p.Editor.LayerCount = 1;
  p.Main.memoProjectNote.resize(1);
  ASSERT_TRUE(SaveProject(fdt, p, *d, err)) << err;
  IniFile ini;
  ASSERT_TRUE(ini.load(fdt));
  ASSERT_TRUE(ini.valueExists("sgResistors", "Cell3x1") && ini.valueExists("Layer2", "Comment") &&
              ini.valueExists("MemLines", "St3"));
  const Load again = LoadAnswering(fdt, false);
  EXPECT_EQ(std::tuple(again.status, again.asked.size(), again.p.Lamped.sgResistors.RowCount(),
                       again.p.Main.memoProjectNote.size()),
            std::tuple(ProjectLoadStatus::Loaded, 0u, 1, size_t(1)));
}

TEST(DamagedProject, FormsThatChangeNoValueLoadAndAnOlderCutFileIsNamed) {
  TempDir tmp;
  for (const char* name : {"dipole/dipole", "scatterer/scatterer"}) {
    SCOPED_TRACE(name);
    const std::string fdt = tmp / "p.fdt", whole = ReadBytes(Samples + name + ".fdt");
    WriteBytes(tmp / "p.bin", ReadBytes(Samples + std::string(name) + ".bin"));
    const Load original = LoadAnswering(Samples + name + ".fdt", false);
    ASSERT_EQ(original.status, ProjectLoadStatus::Loaded);
    std::string crcrlf;
    for (const char c : whole) crcrlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string forms[] = {whole + "   ", whole + "\t", whole + "\x1A", crcrlf,
                                 Cp1251ToUtf8(whole), Cp1251ToUtf8(crcrlf) + " \x1A"};
    for (const std::string& text : forms) {
      WriteBytes(fdt, text);
      const Load l = LoadAnswering(fdt, false);
      ASSERT_EQ(std::tuple(l.status, l.asked.size()), std::tuple(ProjectLoadStatus::Loaded, 0u))
          << (l.asked.empty() ? "" : l.asked[0]);
      EXPECT_TRUE(l.p.Main == original.p.Main && l.d->Layers == original.d->Layers);
      EXPECT_EQ(l.p.Lamped.sgResistors.Cells(3, 1), original.p.Lamped.sgResistors.Cells(3, 1));
    }
  }
  // cp1251 Cyrillic stays cp1251; valid UTF-8 with Cyrillic is UTF-8.
  std::string text, err;
  WriteBytes(tmp / "t.txt", "\xCC\xE5\xE4\xFC \xC0\xE1\xE2");
  ASSERT_TRUE(ReadTextFile(tmp / "t.txt", text, err));
  EXPECT_EQ(text, "Медь Абв");
  WriteBytes(tmp / "t.txt", "Медь \xC2\xA0");
  ASSERT_TRUE(ReadTextFile(tmp / "t.txt", text, err));
  EXPECT_EQ(text, "Медь \xC2\xA0");

  // A file of an older version cut before [Version]: the question names the project file
  // and what it lacks, not only the model file.
  const std::string old = Replace(ReadBytes(Samples + "dipole/dipole.fdt"), std::string(ProjectFileMark) + "\r\n", "");
  WriteBytes(tmp / "p.fdt", old.substr(0, old.find("[Version]")));
  const Load cut = LoadAnswering(tmp / "p.fdt", false);
  ASSERT_EQ(std::tuple(cut.status, cut.asked.size()), std::tuple(ProjectLoadStatus::Refused, 1u));
  EXPECT_EQ(cut.asked[0].rfind("В файле проекта " + (tmp / "p.fdt") +
                                   " нет ключей [Geometry] NX, [Geometry] NY, [Geometry] NZ, [Version] FileFormat: "
                                   "сетка и формат файла модели взяты по умолчанию (файл, возможно, оборван).\nФайл модели",
                               0),
            0u)
      << cut.asked[0];
}
