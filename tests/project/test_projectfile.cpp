// Project files: every value through a save and a load, a hand-made cp1251 file read and
// written back, keys of earlier saves kept, both model layouts, and damaged or hostile files.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cfloat>
#include <csignal>
#include <random>

#include "project/modelfile.h"
#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/codepage.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

std::string FixturePath(const char* name) {
  return (fs::path(__FILE__).parent_path() / "data" / name).string();
}

// A project file from UTF-8 lines, as cp1251 with CR LF.
void WriteProjectText(const std::string& path, const std::vector<std::string>& lines) {
  std::string err;
  ASSERT_TRUE(WriteTextLines(path, lines, err)) << err;
}

// A model data object with an allocated grid, as the program holds it.
std::unique_ptr<SolverData> Model(int nx, int ny, int nz) {
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, nx, ny, nz);
  d->Space.allocate(nx + 1, ny + 1, nz + 1);
  d->UndoSpace.allocate(nx + 1, ny + 1, nz + 1);
  return d;
}

// A project where every value differs from its default.
ProjectData Unusual() {
  ProjectData p;
  MainSettings& m = p.Main;
  m.spX = 12; m.spY = 9; m.spZ = 7;
  m.edX = "0.002"; m.edY = "0.003"; m.edZ = "0.004"; m.eddT = "0.0012";
  m.seStepCount = 1234;
  m.cbBioMaterals = true; m.cbMagneticMaterals = true;
  m.ComboBox = {0, 2, 3, 4, 5, 6};
  m.spCenterI = 4; m.spCenterJ = 5; m.spCenterK = 6;
  m.sePMLCount = 12; m.edpmlR = "0.0001"; m.rgPMLprofile = 1;
  m.rgSources = 1; m.edIncAngle = "15.5"; m.TrackBar1 = 33; m.TrackBar2 = -120; m.rgEOrient = 1;
  m.cbFarDiagram = true; m.cbPX = true; m.cbPY = true; m.cbPZ = true; m.edFarStep = 72;
  m.edFarDiagrR = "250"; m.cbCalcFarH = true; m.cbFarPoints = true;
  m.spFarXmin = 2; m.spFarYmin = 3; m.spFarZmin = 4; m.spFarXmax = 9; m.spFarYmax = 8;
  m.spFarZmax = 6; m.cbFastDigramm = true;
  m.cbEnergy = true; m.seSarDelay = 77;
  m.memoProjectNote = {"Антенна", "  с отступом  ", "\"в кавычках\"", ""};

  SignalPageSettings& s = p.Signal;
  for (int i = 0; i < SignalEditCount; ++i) {
    std::string t = "1.";
    t += std::to_string(i);
    s.Edits[size_t(i)] = t + "e-3";
  }
  s.Edit("edFileName") = "/data/сигналы/импульс 1.srg";
  s.SpinEdit1 = 2; s.SpinEdit2 = 2; s.cbTime = 4; s.cbExpression = 9;
  s.CheckBox1 = false; s.CheckBox2 = false; s.CheckBox3 = false;
  s.RadioButton1 = true; s.RadioButton2 = false;

  ModifiedFlag mod{0};
  p.Outputs.seOutputRate = 3; p.Outputs.cbShowGr = false; p.Outputs.cbShowInput = true;
  p.Outputs.cbNoWriteFile = true;
  AddGridRow(p.Outputs.sgOutPoint, mod);
  for (int c = 0; c < 6; ++c) p.Outputs.sgOutPoint.SetCell(c, 1, std::to_string(c) + "o");
  AddGridRow(p.Outputs.sgFarPoints, mod);
  p.Outputs.sgFarPoints.SetCell(2, 1, "7");
  AddGridRow(p.Lamped.sgInductor, mod);
  AddGridRow(p.Lamped.sgInductor, mod);
  p.Lamped.sgInductor.SetCell(3, 2, "1e-9");
  p.Lamped.sgInductor.SetCell(4, 2, "Y");

  p.Vizual = {3, 4, 5, 11, true, 7, 2, -3, false, false, true, false};
  p.Editor = {2, 3, 4, 1.25f, -2.5f, 300.1f, 6, -FLT_MAX, FLT_MAX, 3};  // range ends read back
  return p;
}

// The stamp of a model file, whatever grid it is for.
ModelFileStamp StampOf(const std::string& bin) {
  tSpace scratch;
  scratch.allocate(2, 2, 2);
  return ReadModelFile(bin, "6", 1, 1, 1, 1, scratch).Stamp;
}

void ExpectSameGrid(const StringGrid& a, const StringGrid& b) {
  ASSERT_EQ(a.RowCount(), b.RowCount()) << a.Name();
  for (int r = 0; r < a.RowCount(); ++r)
    for (int c = 0; c < a.ColCount(); ++c) EXPECT_EQ(a.Cells(c, r), b.Cells(c, r)) << a.Name();
}

}  // namespace

TEST(ProjectFile, EveryValueSurvivesSaveAndLoad) {
  TempDir tmp;
  const std::string dir = tmp / "";
  ProjectData p = Unusual();
  auto d = Model(12, 9, 7);
  d->Space(1, 1, 1) = 2;
  d->Space(12, 9, 7) = 3;  // the outer layer is part of the model file
  d->Space(5, 4, 3) = 254;
  d->Layers[1] = {0x00FF0000u, 1, "Медь", 5.8e7, 1, 1, 0, 1, 8900};
  d->Layers[2] = {0x12345678u, 0, "  Вода  ", 1.5, 80, 4.5, 9.4e-12, 1.0000001, 1000};
  d->Layers[3] = {0xFFFFFFFFu, 1, "\"ФР-4\"", DBL_MAX, 4.5, 4.3, 1e-11, 1, -DBL_MAX};
  ASSERT_TRUE(ResizeSpace(*d));
  std::string err;
  ASSERT_TRUE(SaveProject(dir + "p.fdt", p, *d, err)) << err;

  ProjectData q;
  auto e = Model(50, 50, 50);
  const ProjectLoadResult r = LoadProject(dir + "p.fdt", q, *e);
  ASSERT_EQ(std::tuple(r.Status, r.Msgs.size(), r.ModelComplete), std::tuple(ProjectLoadStatus::Loaded, 0u, true));
  EXPECT_TRUE(q.Main == p.Main && q.Signal == p.Signal && q.Vizual == p.Vizual);
  EXPECT_TRUE(q.Editor == p.Editor);  // single-precision camera values bit for bit
  const OutPointTables &a = q.Outputs, &b = p.Outputs;
  EXPECT_EQ(std::tuple(a.seOutputRate, a.cbShowGr, a.cbShowInput, a.cbNoWriteFile, q.FileFormat),
            std::tuple(b.seOutputRate, b.cbShowGr, b.cbShowInput, b.cbNoWriteFile, "6"));
  for (auto [x, y] : {std::pair{&a.sgOutPoint, &b.sgOutPoint}, {&a.sgFarPoints, &b.sgFarPoints},
                      {&q.Lamped.sgInductor, &p.Lamped.sgInductor}, {&q.Lamped.sgSourses, &p.Lamped.sgSourses}})
    ExpectSameGrid(*x, *y);
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(e->Layers[size_t(i)] == d->Layers[size_t(i)]) << i;
  ASSERT_EQ(std::tuple(e->Nx, e->SpaceNy, e->SpaceNz, e->Space.len1(), e->UndoSpace.len3()), std::tuple(12, 9, 7, 13, 8));
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 9; ++j)
      for (int k = 1; k <= 7; ++k) ASSERT_EQ(e->Space(i, j, k), d->Space(i, j, k)) << i << j << k;
}

TEST(ProjectFile, FileLayoutKeepsSpellingsOrderAndEarlierKeys) {
  TempDir tmp;
  const std::string dir = tmp / "";
  ProjectData p;
  p.Editor.LayerCount = 5;
  auto d = Model(50, 50, 50);
  for (int i = 1; i <= 5; ++i) d->Layers[size_t(i)].Name = "M" + std::to_string(i);
  std::string err;
  ASSERT_TRUE(SaveProject(dir + "p.fdt", p, *d, err)) << err;

  IniFile ini;
  ASSERT_TRUE(ini.load(dir + "p.fdt"));
  const std::vector<std::string> order = {
      "Signal",   "OutPoints", "sgOutPoint", "sgCurrent", "sgVoltage", "sgFarPoints",
      "sgResistors", "sgCapacitors", "sgSourses", "sgRazraydnic", "sgInductor", "InputSourse",
      "Version", "Geometry", "MemLines", "Borders", "Materals", "Layer", "Layer1", "Layer2",
      "Layer3", "Layer4", "Layer5", "Vizual", "OpenGL", "FarField", "Addition"};
  EXPECT_EQ(ini.sections(), order);
  EXPECT_TRUE(ini.valueExists("Borders", "sePmlCount"));

  // Three materials saved over the five: sections 4 and 5 stay, a load reads three.
  p.Editor.LayerCount = 3;
  d->Layers[4].Name = "changed";
  ASSERT_TRUE(SaveProject(dir + "p.fdt", p, *d, err)) << err;
  ASSERT_TRUE(ini.load(dir + "p.fdt"));
  EXPECT_EQ(std::tuple(ini.readInteger("Layer", "Count", 0), ini.readString("Layer4", "Comment", ""),
                       ini.valueExists("Layer5", "density")), std::tuple(3, "M4", true));
  ProjectData q;
  auto e = Model(50, 50, 50);
  e->Layers[4].Name = "untouched";
  ASSERT_EQ(LoadProject(dir + "p.fdt", q, *e).Status, ProjectLoadStatus::Loaded);
  EXPECT_EQ(std::tuple(q.Editor.LayerCount, e->Layers[3].Name, e->Layers[4].Name), std::tuple(3, "M3", "untouched"));

  // An all-empty model is one run over the whole grid.
  EXPECT_EQ(ReadInts(dir + "p.bin"), (std::vector<int32_t>{0, 50 * 50 * 50}));
  EXPECT_EQ(std::tuple(ModelFileName("/a.b/c"), ModelFileName("/a/c.FDT")), std::tuple("/a.b/c.bin", "/a/c.bin"));
}

TEST(ProjectFile, HandMadeCp1251FileReadsAndWritesBackTheSameKeys) {
  TempDir tmp;
  const std::string dir = tmp / "";
  const std::string src = dir + "handmade.fdt";
  fs::copy_file(FixturePath("handmade.fdt"), src);
  fs::permissions(src, fs::perms::owner_write, fs::perm_options::add);  // saved over below; the tree may be read-only
  // A dipole of material 1 in a 12 x 10 x 14 grid, present layout.
  WriteInts(dir + "handmade.bin", {0, 100, 1, 20, 0, 1560});

  ProjectData p;
  auto d = Model(50, 50, 50);
  const ProjectLoadResult r = LoadProject(src, p, *d);
  ASSERT_EQ(std::tuple(r.Status, r.Msgs.size()), std::tuple(ProjectLoadStatus::Loaded, 0u));
  EXPECT_EQ(p.Main.memoProjectNote, (std::vector<std::string>{"Диполь в коробке", "Медь, 50 Ом"}));
  EXPECT_EQ(std::tuple(d->Layers[2].Name, d->Layers[2].Tau, d->Layers[2].On, p.Signal.Edit("edFileName")),
            std::tuple("Стеклотекстолит ФР-4", 6.67e-9, 0, "/tmp/сигнал.srg"));
  EXPECT_EQ(std::tuple(p.Outputs.sgOutPoint.Cells(5, 1), p.Editor.EyeX), std::tuple("Ez_центр", 12.5f));
  EXPECT_EQ(p.Main.ComboBox, (std::array<int, 6>{1, 1, 4, 4, 2, 0}));
  // Cell 100 in x-fastest order is empty, cells 101 .. 120 hold the dipole.
  EXPECT_EQ(std::tuple(d->Space(4, 9, 1), d->Space(5, 9, 1), d->Space(12, 10, 1), d->Space(1, 1, 2)),
            std::tuple(0, 1, 1, 0));

  std::string err;
  ASSERT_TRUE(SaveProject(dir + "copy.fdt", p, *d, err)) << err;
  // The same keys and values, and the stamp of the model file saved with them.
  KeyMap copied = Keys(dir + "copy.fdt");
  EXPECT_EQ(copied.at({"Version", "ModelFile"}), StampText(StampOf(dir + "copy.bin")));
  copied.erase({"Version", "ModelFile"});
  EXPECT_EQ(copied.at({"Version", "Counts"}), "2 1 2 1 1 1 2 1 1 2 2");
  copied.erase({"Version", "Counts"});
  EXPECT_EQ(copied, Keys(src));
  EXPECT_EQ(ReadInts(dir + "copy.bin"), (std::vector<int32_t>{0, 100, 1, 20, 0, 1560}));
  // Written over itself, the file keeps its comment line and every key.
  ASSERT_TRUE(SaveProject(src, p, *d, err)) << err;
  EXPECT_EQ(Keys(src), Keys(dir + "copy.fdt"));
  EXPECT_EQ(ReadBytes(src).rfind(Utf8ToCp1251(std::string(ProjectFileOrderMark) + "\r\n; Проект, набранный вручную"), 0), 0u);
}

TEST(ProjectFile, EarlierLayoutsLoadWithDefaults) {
  TempDir tmp;
  const std::string dir = tmp / "";
  // Format 4, no "Vizual", "FarField", "Addition" or "OpenGL", the note in "Project".
  WriteProjectText(dir + "old.fdt",
                   {"[Version]", "FileFormat=4", "[Geometry]", "NX=10", "NY=10", "NZ=10",
                    "[MemLines]", "Count=0", "[Project]", "Name=Старый проект", "[Layer]",
                    "Count=1", "[Layer1]", "Eps=3.5"});
  // The older model layout covers 1..N-1: 9^3 cells, the first and the last set.
  WriteInts(dir + "old.bin", {2, 1, 0, 727, 3, 1});
  ProjectData p;
  p.Signal.Edit("edSinFreq") = "2.5e9";
  auto d = Model(50, 50, 50);
  const ProjectLoadResult r = LoadProject(dir + "old.fdt", p, *d);
  ASSERT_EQ(std::tuple(r.Status, r.ModelComplete, p.FileFormat), std::tuple(ProjectLoadStatus::Loaded, true, "4"));
  EXPECT_EQ(std::tuple(d->Space(1, 1, 1), d->Space(9, 9, 9), d->Space(10, 1, 1), d->Space(1, 10, 1),
                       d->Space(9, 9, 10), p.Main.memoProjectNote),
            std::tuple(2, 3, 0, 0, 0, std::vector<std::string>{"Старый проект"}));
  // The older note key is folded into the note: it comes back as saved, every time.
  p.Main.memoProjectNote.push_back("вторая строка");
  for (int cycle = 0; cycle < 3; ++cycle) {
    std::string err;
    ASSERT_TRUE(SaveProject(dir + "old.fdt", p, *d, err)) << err;
    ProjectData q;
    auto e = Model(10, 10, 10);
    ASSERT_EQ(LoadProject(dir + "old.fdt", q, *e).Status, ProjectLoadStatus::Loaded);
    EXPECT_EQ(q.Main.memoProjectNote, (std::vector<std::string>{"Старый проект", "вторая строка"}));
  }
  const tLayer& L = d->Layers[1];  // "EpsInf" defaults to "Eps"
  EXPECT_EQ(std::tuple(L.EpsInf, L.Tau, L.Density, L.On), std::tuple(3.5, 6.67e-9, 1000.0, 1));
  const EditorState& e = p.Editor;
  EXPECT_EQ(std::tuple(e.X, e.EyeX, e.EyeY, e.EyeZ, e.CenterX, e.CenterY, e.CenterZ),
            std::tuple(1, 50.f, 50.f, 100.f, 50.f, 50.f, 50.f));
  const MainSettings& m = p.Main;
  EXPECT_EQ(std::tuple(m.cbFarDiagram, m.edFarStep, m.edFarDiagrR, m.TrackBar1, m.edX, m.ComboBox, p.Vizual.SpinEdit2,
                       p.Vizual.cbVisualOn), std::tuple(false, 36, "1000", 90, "1", std::array<int, 6>{3, 3, 3, 3, 3, 3}, 1, true));
  // Signal edits missing from the file keep their texts; the later keys get defaults.
  EXPECT_EQ(std::tuple(p.Signal.Edit("edSinFreq"), p.Signal.Edit("edGaussSymm"), p.Signal.RadioButton1,
                       p.Signal.CheckBox3), std::tuple("2.5e9", "1", true, false));
}

TEST(ProjectFile, AFailedSaveLeavesBothOldFiles) {
  TempDir tmp;
  const std::string dir = tmp / "", fdt = dir + "p.fdt", bin = dir + "p.bin";
  ProjectData p;
  p.Main.spX = p.Main.spY = p.Main.spZ = 40;
  auto d = Model(40, 40, 40);
  std::string err;
  ASSERT_TRUE(SaveProject(fdt, p, *d, err)) << err;
  const std::string oldFdt = ReadBytes(fdt), oldBin = ReadBytes(bin);
  // The new model alternates cells: a model file of 512 KB against a project file of a
  // few KB.
  for (int k = 1; k <= 40; ++k)
    for (int j = 1; j <= 40; ++j)
      for (int i = 1; i <= 40; ++i) d->Space(i, j, k) = uint8_t((i + j + k) % 2 + 1);
  p.Main.memoProjectNote = {"новая заметка"};
  auto expectOld = [&](const char* what) {
    EXPECT_EQ(ReadBytes(fdt), oldFdt) << what;
    EXPECT_EQ(ReadBytes(bin), oldBin) << what;
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.dir), fs::directory_iterator()), 2) << what;
  };

  // The disk fills up after the project file: a file size limit stands in for it.
  {
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = SaveProject(fdt, p, *d, err);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("нет места на диске"), std::string::npos) << err;
    EXPECT_NE(err.find(bin), std::string::npos) << err;
    expectOld("disk full");
  }
  // Either file read-only: refused, nothing changes, the mode stays.
  for (const std::string& f : {fdt, bin}) {
    fs::permissions(f, fs::perms(0444));
    EXPECT_FALSE(SaveProject(fdt, p, *d, err));
    EXPECT_NE(err.find("Ошибка записи в файл " + f + ": файл только для чтения"), std::string::npos) << err;
    EXPECT_EQ(fs::status(f).permissions(), fs::perms(0444));
    expectOld("read-only");
    fs::permissions(f, fs::perms(0644));
  }
  ASSERT_TRUE(SaveProject(fdt, p, *d, err)) << err;
  EXPECT_GT(ReadBytes(bin).size(), 400000u);
}

TEST(ProjectFile, RefusedFilesLeaveTheProjectAlone) {
  TempDir tmp;
  const std::string dir = tmp / "";
  auto d = Model(20, 20, 20);
  d->Space(3, 3, 3) = 9;
  d->Layers[1].Name = "old";
  ProjectData p;
  p.Main.spX = 20;
  const std::vector<std::vector<std::string>> bad = {
      {"[Geometry]", "NX=-5", "NY=10", "NZ=10"},                     // negative size
      {"[Geometry]", "NX=10", "NY=2", "NZ=10"},                      // below 3
      {"[Geometry]", "NX=10", "NY=10", "NZ=2000000000"},             // beyond the window
      {"[Geometry]", "NX=5000", "NY=5000", "NZ=5000"},               // beyond memory
      {"[sgSourses]", "Count=2000000000"},                           // a table too long
      {"[Layer]", "Count=2", "[Layer2]", "Sig=1;5"},                 // not a number
      {"[OpenGL]", "Xo=1e300"},                                      // beyond a Single
      {"[Geometry]", "NX=abc", "NY=10", "NZ=10"},                    // no number
      {},                                                            // empty
      {"some text", "[Unknown]", "a=1"},                             // no project section
  };
  // What each refusal names (besides the file).
  const std::map<size_t, std::string> names = {
      {1, "NY=2,"}, {7, "NX=abc, NY=10, NZ=10"}, {8, "не файл проекта"}, {9, "не файл проекта"}};
  auto refused = [&](const std::string& f, const std::string& named) {
    const ProjectLoadResult r = LoadProject(f, p, *d);
    EXPECT_EQ(r.Status, ProjectLoadStatus::Refused) << f;
    ASSERT_FALSE(r.Msgs.empty()) << f;
    EXPECT_NE(r.Msgs[0].find(f), std::string::npos) << r.Msgs[0];
    EXPECT_NE(r.Msgs[0].find(named), std::string::npos) << r.Msgs[0];
    EXPECT_EQ(std::tuple(p.Main.spX, d->Space.len1(), d->Space(3, 3, 3), d->Layers[1].Name),
              std::tuple(20, 21, 9, "old"));
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string f = dir + "bad" + std::to_string(i) + ".fdt";
    WriteProjectText(f, bad[i]);
    refused(f, names.count(i) ? names.at(i) : "");
  }
  // Bytes of no text at all.
  std::mt19937 gen(7);
  std::string noise(4096, '\0');
  for (char& c : noise) c = char(gen());
  WriteBytes(dir + "noise.fdt", noise);
  refused(dir + "noise.fdt", "не файл проекта");
  EXPECT_EQ(LoadProject(dir + "none.fdt", p, *d).Status, ProjectLoadStatus::NotFound);
}

TEST(ProjectFile, HostileAndTruncatedFilesLoadWithMessages) {
  TempDir tmp;
  const std::string dir = tmp / "";
  auto d = Model(20, 20, 20);
  ProjectData p;

  // Huge counts are kept to what the program holds; a combo index beyond its list reads as
  // its default; spins are clamped.
  WriteProjectText(dir + "counts.fdt",
                   {"[Version]", "FileFormat=6", "[Geometry]", "NX=4", "NY=4", "NZ=4",
                    "StepCount=-7", "[Layer]",
                    "Count=100000", "[MemLines]", "Count=2000000000", "St0=a", "St1=b",
                    "[Borders]", "1=99", "2=-1", "sePmlCount=100000", "[InputSourse]",
                    "rgSources=7", "TrackBar2=999", "[OpenGL]", "X=99", "[Vizual]",
                    "OutputItem=13"});
  WriteInts(dir + "counts.bin", {2, 64});  // material 2 lies within the table
  ProjectLoadResult r = LoadProject(dir + "counts.fdt", p, *d);
  ASSERT_EQ(r.Status, ProjectLoadStatus::Loaded);
  ASSERT_EQ(r.Msgs.size(), 1u);
  EXPECT_NE(r.Msgs[0].find("100000"), std::string::npos);
  // No more note lines than the section holds keys.
  const MainSettings& m = p.Main;
  EXPECT_EQ(std::tuple(p.Editor.LayerCount, m.memoProjectNote.size(), m.ComboBox[0], m.ComboBox[1]),
            std::tuple(MaxLayers - 1, size_t(3), BorderRTABC, BorderRTABC));
  EXPECT_EQ(std::tuple(m.sePMLCount, m.seStepCount, m.rgSources, m.TrackBar2, p.Editor.X, p.Vizual.imageRGroup),
            std::tuple(PMLCountMax, StepCountMin, 0, TrackBar2Max, 4, 1));
  EXPECT_EQ(std::tuple(d->Space(1, 1, 1), d->Space(4, 4, 4)), std::tuple(2, 2));

  // A negative "Layer" "Count" is no material at all.
  WriteProjectText(dir + "neg.fdt", {"[Geometry]", "NX=3", "NY=3", "NZ=3", "[Layer]", "Count=-4"});
  WriteInts(dir + "neg.bin", {0, 8});  // no "FileFormat": the older layout of 2 x 2 x 2
  r = LoadProject(dir + "neg.fdt", p, *d);
  EXPECT_EQ(std::tuple(r.Status, p.Editor.LayerCount, r.Msgs.size()), std::tuple(ProjectLoadStatus::Loaded, 0, 1u));

  // A model file cut in the middle of a record, taken as it is: the cells before stay.
  const auto yes = [](const std::string&) { return true; };
  WriteProjectText(dir + "cut.fdt", {"[Version]", "FileFormat=6", "[Geometry]", "NX=4", "NY=4", "NZ=4"});
  WriteInts(dir + "cut.bin", {1, 10, 2, 5});
  WriteBytes(dir + "cut.bin", ReadBytes(dir + "cut.bin") + std::string("\x03\x00\x00\x00\x07", 5));
  r = LoadProject(dir + "cut.fdt", p, *d, {}, yes);
  EXPECT_EQ(std::tuple(r.Status, r.ModelComplete, r.Msgs.size()), std::tuple(ProjectLoadStatus::Loaded, false, 0u));
  // Cells 10 and 15 set, 16 not reached.
  EXPECT_EQ(std::tuple(d->Space(2, 3, 1), d->Space(3, 4, 1), d->Space(4, 4, 1), d->Space.len1()),
            std::tuple(1, 2, 0, 5));

  // A model file shorter than the grid (whole records), taken as it is: the rest is empty.
  WriteInts(dir + "cut.bin", {1, 3});
  r = LoadProject(dir + "cut.fdt", p, *d, {}, yes);
  EXPECT_EQ(std::tuple(r.ModelComplete, r.Msgs.size(), d->Space(3, 1, 1), d->Space(4, 1, 1)), std::tuple(false, 0u, 1, 0));

  // No model file at all, taken as it is: the project loads empty.
  fs::remove(dir + "cut.bin");
  r = LoadProject(dir + "cut.fdt", p, *d, {}, yes);
  EXPECT_EQ(std::tuple(r.Status, r.ModelComplete, r.ModelNote.empty(), d->Space(3, 1, 1)),
            std::tuple(ProjectLoadStatus::Loaded, false, false, 0));

  // A project file cut in the middle of a line loads what it holds.
  std::string text = ReadBytes(FixturePath("handmade.fdt"));
  text.resize(text.find("seOutputRate=5") + 8);
  WriteBytes(dir + "half.fdt", text);
  r = LoadProject(dir + "half.fdt", p, *d, {}, yes);  // there is no model file beside it
  ASSERT_EQ(r.Status, ProjectLoadStatus::Loaded);
  // "seOutput" is no key of the section.
  EXPECT_EQ(std::tuple(p.Signal.cbExpression, p.Outputs.seOutputRate, p.Main.spX), std::tuple(2, 1, 100));
}

TEST(SignalSection, MissingKeysRangesAndTheRadioGroup) {
  IniFile ini;
  ini.parse("[Signal]\r\ncbTime=5\r\ncbExpression=12\r\nSpinEdit1=9\r\nRadioButton1=1\r\n"
            "RadioButton2=1\r\nedSinFreq= 3e9 \r\n");
  SignalPageSettings s;
  s.Edit("edExp_a") = "typed";
  s.Edit("edGaussSymm") = "typed";
  LoadSignalSection(ini, s);
  // "литры" can't be kept; the kind lies beyond the list.
  EXPECT_EQ(std::tuple(s.cbTime, s.cbExpression, s.SpinEdit1, s.SpinEdit2, s.RadioButton1, s.RadioButton2),
            std::tuple(UnitNs, SigSin, SignalLineWidthMax, 1, false, true));
  EXPECT_EQ(std::tuple(s.Edit("edSinFreq"), s.Edit("edExp_a"), s.Edit("edGaussSymm")),
            std::tuple("3e9", "typed", "1"));
  EXPECT_EQ(std::tuple(s.CheckBox1, s.CheckBox2, s.CheckBox3), std::tuple(false, true, false));

  // By file name: the section is written into an existing file, the rest stays.
  TempDir tmp;
  const std::string f = tmp / "s.fdt";
  WriteProjectText(f, {"[Other]", "a=1"});
  Messages msgs;
  s.Edit("edFileName") = "сигнал.srg";
  ASSERT_TRUE(SaveSignalSettings(f, s, msgs));
  SignalPageSettings t;
  ASSERT_TRUE(LoadSignalSettings(f, t, msgs));
  EXPECT_EQ(t.Edits, s.Edits);
  EXPECT_TRUE(t.RadioButton2);
  EXPECT_EQ(Keys(f).at({"Other", "a"}), "1");
  EXPECT_TRUE(msgs.empty());
  EXPECT_FALSE(SaveSignalSettings("/nonexistent-dir/x.fdt", s, msgs));
  EXPECT_EQ(msgs.size(), 1u);
}

// A model file whose runs do not add up to the layout's cells asks; a refusal leaves the
// project in memory as it was, "load what it holds" fills what the file covers and tells
// how many cells were left empty or dropped; files that add up load without a question.
TEST(ProjectFile, AModelFileThatDoesNotCoverItsGridAsks) {
  TempDir tmp;
  const std::string dir = tmp / "";
  const std::string fdt = dir + "m.fdt", bin = dir + "m.bin";
  WriteProjectText(fdt, {"[Version]", "FileFormat=6", "[Geometry]", "NX=4", "NY=4", "NZ=4"});
  std::vector<std::string> asked;
  bool answer = false;
  auto choose = [&](const std::string& q) { asked.push_back(q); return answer; };

  auto d = Model(3, 3, 3);
  d->Space(2, 2, 2) = 7;
  ProjectData p;
  p.Main.spX = 3;
  // Short by 4 cells (60 of 64), then 10 past the grid (74 of 64): refused, nothing changes.
  for (int last : {44, 58}) {
    SCOPED_TRACE(last);
    WriteInts(bin, {1, 10, 2, 6, 0, last});
    asked.clear();
    const ProjectLoadResult r = LoadProject(fdt, p, *d, {}, choose);
    ASSERT_EQ(asked.size(), 1u);
    const std::string inFile = std::to_string(16 + last);
    EXPECT_NE(asked[0].find("Файл модели " + bin + " не соответствует сетке проекта: в нем " + inFile +
                            " ячеек, а сетке 4 x 4 x 4 нужно 64"), std::string::npos) << asked[0];
    EXPECT_EQ(std::tuple(r.Status, r.Msgs.size(), d->Nx, d->Space.len1(), d->Space(2, 2, 2), p.Main.spX),
              std::tuple(ProjectLoadStatus::Refused, 0u, 3, 4, 7, 3));
    // No choice at all refuses as well.
    EXPECT_EQ(LoadProject(fdt, p, *d).Status, ProjectLoadStatus::Refused);
  }

  // Accepted: the runs fill the grid from the start, and the note counts the cells.
  answer = true;
  WriteInts(bin, {1, 10, 2, 6, 0, 44});
  ProjectLoadResult r = LoadProject(fdt, p, *d, {}, choose);
  EXPECT_EQ(std::tuple(r.Status, r.ModelComplete, r.ModelNote, d->Space(2, 3, 1), d->Space(4, 4, 1), d->Space(1, 1, 2)),
            std::tuple(ProjectLoadStatus::Loaded, false,
                       "Файл модели " + bin + " не соответствует сетке проекта: в нем 60 ячеек, а сетке 4 x 4 x 4 "
                       "нужно 64. Ячеек сетки прочитано: 60 из 64; оставлены пустыми: 4.", 1, 2, 0));
  // One run over the whole grid and beyond: the first 64 cells can't be out of place.
  WriteInts(bin, {3, 74});
  r = LoadProject(fdt, p, *d, {}, choose);
  EXPECT_EQ(std::tuple(r.ModelNote, d->Space(4, 4, 4)),
            std::tuple("Файл модели " + bin + " не соответствует сетке проекта: в нем 74 ячеек, а сетке 4 x 4 x 4 "
                       "нужно 64; сетка заполняется на середине серии записи 2 (смещение 4). Ячеек сетки прочитано: "
                       "64 из 64; отброшены последние ячейки файла: 10.", 3));

  // The older layout counts (NX-1)(NY-1)(NZ-1): 27 cells add up, 64 do not.
  WriteProjectText(fdt, {"[Version]", "FileFormat=4", "[Geometry]", "NX=4", "NY=4", "NZ=4"});
  asked.clear();
  WriteInts(bin, {1, 27});
  r = LoadProject(fdt, p, *d, {}, choose);
  EXPECT_EQ(std::tuple(asked.size(), r.ModelComplete, r.ModelNote, d->Space(3, 3, 3), d->Space(4, 4, 4)),
            std::tuple(0u, true, "", 1, 0));
  WriteInts(bin, {1, 64});
  r = LoadProject(fdt, p, *d, {}, choose);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find("нужно 27"), std::string::npos) << asked[0];
  EXPECT_NE(asked[0].find("старого формата"), std::string::npos) << asked[0];
}

// Every model file that is not exactly what its layout needs asks the one question, naming
// the file and its fault; «Нет» leaves the open project exactly as it was, «Да» loads what
// the file holds and leaves the project marked incomplete.
TEST(ProjectFile, EveryFaultyModelFileAsksAndNoKeepsTheOpenProject) {
  TempDir tmp;
  const std::string fdt = tmp / "m.fdt", bin = tmp / "m.bin";
  WriteProjectText(fdt, {"[Version]", "FileFormat=6", "[Geometry]", "NX=4", "NY=4", "NZ=4", "dT=0.001",
                         "[Layer]", "Count=2", "[Layer2]", "Comment=новый"});
  WriteInts(bin, {1, 10, 2, 6, 0, 48});
  const std::string good = ReadBytes(bin);

  ProjectData open = Unusual();
  auto d = Model(12, 9, 7);
  d->Space(12, 9, 7) = 3;
  d->Layers[2].Name = "открытый";
  const std::string before = ReadBytes(fdt);
  const struct {
    std::string bytes;  // empty: no model file
    std::string fault;
  } cases[] = {
      {"", "не найден"},
      {good.substr(0, good.size() - 3), "обрывается на середине пары записей 5–6"},
      {good.substr(0, 12) + std::string(4, '\0') + good.substr(16), "неверная длина серии 0"},
      {good + "abc", "после полной модели"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    fs::remove(bin);
    if (!c.bytes.empty()) WriteBytes(bin, c.bytes);
    std::vector<std::string> asked;
    const ProjectLoadResult r = LoadProject(fdt, open, *d, {}, [&](const std::string& q) {
      asked.push_back(q);
      return false;
    });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Файл модели " + bin + " ", 0), 0u) << asked[0];
    EXPECT_NE(asked[0].find(c.fault), std::string::npos) << asked[0];
    EXPECT_NE(asked[0].find("«Нет» — проект не загружается, открытый остается как был."), std::string::npos);
    EXPECT_EQ(std::tuple(r.Status, r.Msgs.size()), std::tuple(ProjectLoadStatus::Refused, 0u));
    // The open project as it was: settings, grid, cells, materials; the files untouched.
    const ProjectData unusual = Unusual();
    EXPECT_TRUE(open.Main == unusual.Main && open.Editor == unusual.Editor && open.Vizual == unusual.Vizual &&
                open.Signal == unusual.Signal);
    EXPECT_EQ(std::tuple(d->Nx, d->SpaceNy, d->Space.len1(), d->Space(12, 9, 7), d->Layers[2].Name),
              std::tuple(12, 9, 13, 3, "открытый"));
    EXPECT_EQ(std::tuple(ReadBytes(fdt) == before, fs::exists(bin) ? ReadBytes(bin) : "", fs::exists(bin)),
              std::tuple(true, c.bytes, !c.bytes.empty()));
  }

  // «Да» on stray bytes after a complete model: every cell as meant, nothing claimed lost.
  WriteBytes(bin, good + "abc");
  const ProjectLoadResult r = LoadProject(fdt, open, *d, {}, [](const std::string&) { return true; });
  EXPECT_EQ(std::tuple(r.Status, r.ModelComplete, d->Space(2, 3, 1), d->Space(4, 4, 1), d->Space(1, 1, 2)),
            std::tuple(ProjectLoadStatus::Loaded, false, 1, 2, 0));
  EXPECT_NE(r.ModelNote.find("Ячеек сетки прочитано: 64 из 64."), std::string::npos) << r.ModelNote;
}
