// The sample project in examples/dipole: built here, written by the project writer, and
// compared with the files in the tree so that the sample always matches what the program
// writes. RAVELIN_WRITE_EXAMPLES=1 writes the files into the tree instead.
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

constexpr int N = 30;             // nodes per axis; cells 1..29 of 1 mm
constexpr int Feed = 15;          // the gap cell of the dipole and of the passive element
constexpr int Passive = 20;       // x of the passive element

// A short dipole of copper fed by a 1 V, 50 Ohm source, beside a passive element of the
// same length loaded by 50 Ohm, in a 30 mm box with Mur faces, driven by a 50 ps Gaussian.
void BuildDipole(ProjectData& p, SolverData& d) {
  MainSettings& m = p.Main;
  m.spX = m.spY = m.spZ = N;
  m.edX = m.edY = m.edZ = "0.001";
  m.eddT = "0.0018";  // below the 3-D stability limit of 1.93 ps
  m.seStepCount = 1500;
  m.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  m.spCenterI = m.spCenterJ = m.spCenterK = Feed;
  m.rgSources = SourceInternalOnly;
  m.memoProjectNote = {"Пример: короткий диполь в коробке 30 x 30 x 30 мм, ячейка 1 мм.",
                       "Источник 1 В с внутренним сопротивлением 50 Ом в зазоре диполя;",
                       "рядом пассивный вибратор той же длины, нагруженный на 50 Ом."};

  SignalPageSettings& s = p.Signal;
  s.cbExpression = SigGauss;
  for (auto [k, v] : {std::pair{"edGaussWidth", "0.05e-9"}, {"edGaussAmpl", "1"}, {"edMaxTime", "1"}, {"edFMax", "20e9"}})
    s.Edit(k) = v;
  s.CheckBox3 = false;  // show the spectrum

  OutPointTables& o = p.Outputs;
  o.seOutputRate = 1; o.cbShowGr = o.cbShowInput = true;
  AddRow(o.sgOutPoint, {"E", "Z", "15", "15", "26", "Ez_top"});
  AddRow(o.sgOutPoint, {"E", "Z", "26", "15", "15", "Ez_side"});
  AddRow(o.sgCurrent, {"14", "14", "12", "16", "16", "12", "I_arm"});
  AddRow(o.sgVoltage, {"15", "15", "15", "15", "15", "16", "U_gap"});
  AddRow(p.Lamped.sgSourses, {"15", "15", "15", "50", "Z", "+"});
  AddRow(p.Lamped.sgResistors, {"20", "15", "15", "50", "Z"});

  p.Vizual.spX = p.Vizual.spY = p.Vizual.spZ = Feed;
  p.Vizual.imageRGroup = 2;  // Ez
  p.Vizual.SpinEdit1 = 1; p.Vizual.SpinEdit2 = 2;  // scale 100 V/m
  p.Editor = {Feed, Feed, Feed, 45, 35, 60, 15, 15, 15, 1};

  tLayer& cu = d.Layers[1];
  cu = tLayer{};
  cu.Color = 0x003373B8;  // copper, 0x00BBGGRR
  cu.On = 1; cu.Name = "Медь"; cu.Sigma = 5.8e7; cu.Density = 8900;

  SetGridSize(d, N, N, N);
  d.Space.allocate(N + 1, N + 1, N + 1);
  d.UndoSpace.allocate(N + 1, N + 1, N + 1);
  for (int k = 8; k <= 22; ++k)
    if (k != Feed) {
      d.Space(Feed, Feed, k) = 1;
      d.Space(Passive, Feed, k) = 1;
    }
}

std::string Source(const char* rel) {
  return (fs::path(__FILE__).parent_path().parent_path().parent_path() / rel).string();
}

}  // namespace

TEST(ExampleProject, DipoleSampleIsWhatTheWriterWritesAndIsSound) {
  ProjectData p;
  auto d = std::make_unique<SolverData>();
  BuildDipole(p, *d);

  const std::string sample = Source("examples/dipole/dipole.fdt");
  std::string err;
  if (const char* w = std::getenv("RAVELIN_WRITE_EXAMPLES"); w && std::string(w) == "1") {
    fs::create_directories(fs::path(sample).parent_path());
    fs::remove(sample);
    ASSERT_TRUE(SaveProject(sample, p, *d, err)) << err;
  }
  TempDir tmp;
  const std::string fresh = tmp / "dipole.fdt";
  ASSERT_TRUE(SaveProject(fresh, p, *d, err)) << err;
  ASSERT_TRUE(fs::exists(sample)) << "run with RAVELIN_WRITE_EXAMPLES=1 to write the sample";
  EXPECT_EQ(Keys(sample), Keys(fresh));
  EXPECT_EQ(ReadBytes(ModelFileName(sample)), ReadBytes(ModelFileName(fresh)));

  // The sample as the program reads it.
  ProjectData q;
  auto e = std::make_unique<SolverData>();
  const ProjectLoadResult r = LoadProject(sample, q, *e);
  ASSERT_EQ(std::tuple(r.Status, r.Msgs.empty(), r.ModelComplete), std::tuple(ProjectLoadStatus::Loaded, true, true));
  // Stable: c·dt below dx/sqrt(3).
  const double dx = StrToFloat(q.Main.edX), dt = StrToFloat(q.Main.eddT) * 1e-9;
  EXPECT_LT(double(LightSpeed) * dt, dx / std::sqrt(3.0));
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
