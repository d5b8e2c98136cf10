// The sample projects in examples/: built here, written by the project writer, and compared
// with the files in the tree so that the samples always match what the program writes.
// RAVELIN_WRITE_EXAMPLES=1 writes the files into the tree instead.
#include <gtest/gtest.h>

#include <cmath>

#include "project/modelfile.h"
#include "project/projectfile.h"
#include "project_fixture.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

using namespace prjtest;

namespace {

// n nodes per axis of cubic cells (m), the time step (ns) and steps, one boundary on all faces.
void CubeGrid(MainSettings& m, int n, const char* cell, const char* dt, int steps, int border) {
  m.spX = m.spY = m.spZ = n;
  m.edX = m.edY = m.edZ = cell;
  m.eddT = dt;
  m.seStepCount = steps;
  m.ComboBox.fill(border);
}

// A Gaussian pulse of unit amplitude, previewed over maxTime ns with its spectrum to fMax Hz.
void GaussPulse(SignalPageSettings& s, const char* width, const char* maxTime, const char* fMax) {
  s.cbExpression = SigGauss;
  for (auto [k, v] : {std::pair{"edGaussWidth", width}, {"edGaussAmpl", "1"}, {"edMaxTime", maxTime}, {"edFMax", fMax}})
    s.Edit(k) = v;
  s.CheckBox3 = false;  // show the spectrum
}

// An empty grid of n nodes per axis whose one material is copper.
void CopperInEmptyGrid(SolverData& d, int n) {
  tLayer& cu = d.Layers[1];
  cu = tLayer{};
  cu.Color = 0x003373B8;  // copper, 0x00BBGGRR
  cu.On = 1; cu.Name = "Медь"; cu.Sigma = 5.8e7; cu.Density = 8900;
  SetGridSize(d, n, n, n);
  d.Space.allocate(n + 1, n + 1, n + 1);
  d.UndoSpace.allocate(n + 1, n + 1, n + 1);
}

constexpr int N = 30;             // nodes per axis; cells 1..29 of 1 mm
constexpr int Feed = 15;          // the gap cell of the dipole and of the passive element
constexpr int Passive = 20;       // x of the passive element

// A short dipole of copper fed by a 1 V, 50 Ohm source, beside a passive element of the
// same length loaded by 50 Ohm, in a 30 mm box with PML outside it, driven by a 50 ps
// Gaussian. PML, since Mur faces this close to the dipole's near field make the radiation
// resistance negative below 4 GHz. The source's plus is the upper node of the gap (polarity
// "-"); the voltage line runs from the plus to the minus and the current region, counting
// along +Z, reads the current leaving the plus: U_gap / I_arm is the input impedance.
void BuildDipole(ProjectData& p, SolverData& d) {
  MainSettings& m = p.Main;
  CubeGrid(m, N, "0.001", "0.0018", 1500, BorderPML);  // the 3-D stability limit is 1.93 ps
  m.sePMLCount = 8;
  m.edpmlR = "0.01";
  m.spCenterI = m.spCenterJ = m.spCenterK = Feed;
  m.rgSources = SourceInternalOnly;
  m.memoProjectNote = {"Пример: короткий диполь в коробке 30 x 30 x 30 мм, ячейка 1 мм.",
                       "Источник 1 В с внутренним сопротивлением 50 Ом в зазоре диполя;",
                       "рядом пассивный вибратор той же длины, нагруженный на 50 Ом."};

  GaussPulse(p.Signal, "0.05e-9", "1", "20e9");

  OutPointTables& o = p.Outputs;
  o.seOutputRate = 1; o.cbShowGr = o.cbShowInput = true;
  AddRow(o.sgOutPoint, {"E", "Z", "15", "15", "26", "Ez_top"});
  AddRow(o.sgOutPoint, {"E", "Z", "26", "15", "15", "Ez_side"});
  AddRow(o.sgCurrent, {"14", "14", "14", "16", "16", "14", "I_arm"});  // the arm's cell next to the gap
  AddRow(o.sgVoltage, {"15", "15", "16", "15", "15", "15", "U_gap"});
  AddRow(p.Lamped.sgSourses, {"15", "15", "15", "50", "Z", "-"});
  AddRow(p.Lamped.sgResistors, {"20", "15", "15", "50", "Z"});

  p.Vizual.spX = p.Vizual.spY = p.Vizual.spZ = Feed;
  p.Vizual.imageRGroup = 2;  // Ez
  p.Vizual.SpinEdit1 = 1; p.Vizual.SpinEdit2 = 2;  // scale 100 V/m
  p.Editor = {Feed, Feed, Feed, 63, 47, 87, 15, 15, 15, 1};  // the whole box and the axes' names in view

  CopperInEmptyGrid(d, N);
  for (int k = 8; k <= 22; ++k)
    if (k != Feed) {
      d.Space(Feed, Feed, k) = 1;
      d.Space(Passive, Feed, k) = 1;
    }
}

constexpr int SN = 42;  // nodes per axis: cells 1..41 of 2.5 mm, node 21.5 in the middle
constexpr int SC = 21;  // the sphere's centre cell, which spans nodes 21..22
constexpr int SR = 6;   // the sphere's radius, cells
constexpr int SFar = 6; // the far-field box 6..37 on every axis; the TF-SF box 2 cells inside

// A copper sphere 30 mm across lit by a plane wave (a 100 ps Gaussian, E along Y, travelling
// along +X) from a TF-SF box, in a 105 mm box with PML on every face; the far field of the
// scattered wave on three circles of 1 m. Everything is mirror-symmetric about the middle
// of Y and Z.
void BuildScatterer(ProjectData& p, SolverData& d) {
  MainSettings& m = p.Main;
  CubeGrid(m, SN, "0.0025", "0.0045", 400, BorderPML);  // the 3-D stability limit is 4.81 ps
  m.sePMLCount = 8;
  m.edpmlR = "0.001";
  m.spCenterI = m.spCenterJ = m.spCenterK = SC;
  m.rgSources = SourceTFSF;
  m.TrackBar1 = 90;  // theta from Y, phi from Z: along +X
  m.TrackBar2 = 90;
  m.rgEOrient = 0;   // E vertical: along Y
  m.cbFarDiagram = true;
  m.cbPX = m.cbPY = m.cbPZ = true;
  m.edFarStep = 72;
  m.edFarDiagrR = "1";
  m.spFarXmin = m.spFarYmin = m.spFarZmin = SFar;
  m.spFarXmax = m.spFarYmax = m.spFarZmax = SN + 1 - SFar;
  m.memoProjectNote = {"Пример: медный шар диаметром 30 мм в плоской волне (TF-SF), PML на всех гранях.",
                       "Волна идет вдоль X, E вдоль Y; гауссов импульс 100 пс.",
                       "Диаграммы рассеянного поля на радиусе 1 м в трех плоскостях - в папке FAR результатов."};

  GaussPulse(p.Signal, "0.1e-9", "0.5", "15e9");

  OutPointTables& o = p.Outputs;
  o.seOutputRate = 1; o.cbShowGr = true;
  AddRow(o.sgOutPoint, {"E", "Y", "4", "21", "21", "Ey_back"});   // scattered field, in front
  AddRow(o.sgOutPoint, {"E", "Y", "32", "21", "21", "Ey_shadow"});  // total field, behind

  p.Vizual.spX = p.Vizual.spY = p.Vizual.spZ = SC;
  p.Vizual.imageRGroup = 1;  // Ey
  p.Vizual.SpinEdit1 = 1; p.Vizual.SpinEdit2 = 0;  // scale 1 V/m
  p.Editor = {SC, SC, SC, 95, 72, 125, SC, SC, SC, 1};  // the whole box and the axes' names in view

  CopperInEmptyGrid(d, SN);
  for (int i = SC - SR; i <= SC + SR; ++i)
    for (int j = SC - SR; j <= SC + SR; ++j)
      for (int k = SC - SR; k <= SC + SR; ++k)
        if ((i - SC) * (i - SC) + (j - SC) * (j - SC) + (k - SC) * (k - SC) <= SR * SR) d.Space(i, j, k) = 1;
}

std::string Source(const char* rel) {
  return (fs::path(__FILE__).parent_path().parent_path().parent_path() / rel).string();
}

// The sample in the tree is what the writer writes for the project built here (or, with
// RAVELIN_WRITE_EXAMPLES=1, becomes it); what the program reads back from it, with the
// time step checked for stability.
void CheckSample(const char* rel, void (*build)(ProjectData&, SolverData&), ProjectData& q, SolverData& e) {
  ProjectData p;
  auto d = std::make_unique<SolverData>();
  build(p, *d);
  const std::string sample = Source(rel);
  std::string err;
  if (const char* w = std::getenv("RAVELIN_WRITE_EXAMPLES"); w && std::string(w) == "1") {
    fs::create_directories(fs::path(sample).parent_path());
    fs::remove(sample);
    ASSERT_TRUE(SaveProject(sample, p, *d, err)) << err;
  }
  TempDir tmp;
  const std::string fresh = tmp / "fresh.fdt";
  ASSERT_TRUE(SaveProject(fresh, p, *d, err)) << err;
  ASSERT_TRUE(fs::exists(sample)) << "run with RAVELIN_WRITE_EXAMPLES=1 to write the sample";
  EXPECT_EQ(Keys(sample), Keys(fresh));
  EXPECT_EQ(ReadBytes(ModelFileName(sample)), ReadBytes(ModelFileName(fresh)));

  const ProjectLoadResult r = LoadProject(sample, q, e);
  ASSERT_EQ(std::tuple(r.Status, r.Msgs.empty(), r.ModelComplete), std::tuple(ProjectLoadStatus::Loaded, true, true));
  // Stable: c·dt below dx/sqrt(3).
  const double dx = StrToFloat(q.Main.edX), dt = StrToFloat(q.Main.eddT) * 1e-9;
  EXPECT_LT(double(LightSpeed) * dt, dx / std::sqrt(3.0));
}

}  // namespace

TEST(ExampleProject, DipoleSampleIsWhatTheWriterWritesAndIsSound) {
  ProjectData q;
  auto e = std::make_unique<SolverData>();
  CheckSample("examples/dipole/dipole.fdt", BuildDipole, q, *e);
  if (HasFatalFailure()) return;
  // The source edge is the gap between the two copper arms; the passive element's load
  // sits in its own gap.
  EXPECT_EQ(std::tuple(e->Space(Feed, Feed, Feed), e->Space(Feed, Feed, Feed - 1), e->Space(Feed, Feed, Feed + 1),
                       e->Space(Passive, Feed, Feed), e->Space(Passive, Feed, Feed + 1)), std::tuple(0, 1, 1, 0, 1));
  // Every probe lies inside the cells 1..N-1.
  for (int row = 1; row < q.Outputs.sgOutPoint.RowCount(); ++row)
    for (int c = 2; c <= 4; ++c) {
      const int v = StrToInt(q.Outputs.sgOutPoint.Cells(c, row));
      EXPECT_TRUE(v >= 1 && v <= N - 1) << v;
    }
}

TEST(ExampleProject, ScattererSampleIsWhatTheWriterWrites) {
  ProjectData q;
  auto e = std::make_unique<SolverData>();
  CheckSample("examples/scatterer/scatterer.fdt", BuildScatterer, q, *e);
}
