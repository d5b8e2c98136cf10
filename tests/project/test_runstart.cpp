#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "project/borderdecode.h"
#include "project/gridsettings.h"
#include "project/mainsettings.h"
#include "project/materialrange.h"
#include "project/runfeatures.h"
#include "project/runfinish.h"
#include "project/runstart.h"
#include "project/signalsource.h"
#include "solver/constants.h"
#include "solver/file_fixture.h"
#include "solver/numtext.h"
#include "solver/run_fixture.h"

using namespace rv;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A host that records what the start asked of the windows and lends the run one voltage
// source per row of the sources table.
struct FakeHost : RunStartHost {
  std::vector<std::string> calls;
  bool signalOk = true;
  bool outputsOk = true;
  bool sparkGap = true;
  void ClearProgressLabels() override { calls.push_back("labels"); }
  bool RefreshSignal(std::string& m) override {
    calls.push_back("signal");
    if (!signalOk) m = "Обнаружены ошибки в значениях параметров сигналов";
    return signalOk;
  }
  std::vector<std::string> LoadElementArrays(const SolverData&, ElementArrays& a) override {
    calls.push_back("elements");
    a.SparkGaps.assign(sparkGap ? 1 : 0, tSparkGap{5, 5, 5, 1e3, 'Z', 1});
    a.VoltageSources.assign(signal ? 1 : 0, tVoltageSource{5, 5, 5, 'Z', 50, '+'});
    return {};
  }
  const SignalSettings* signal = nullptr;  // lent with a voltage source that takes it
  bool RunSignal(SignalSettings& s) override {
    if (signal) s = *signal;
    return signal != nullptr;
  }
  void ClearCharts() override { calls.push_back("charts"); }
  void ShowPreparing() override { calls.push_back("preparing"); }
  bool PrepareOutputFiles(SolverData&, std::string& m) override {
    calls.push_back("outputs");
    if (!outputsOk) m = "Ошибка в таблице выходов";
    return outputsOk;
  }
  std::vector<std::string> questions;
  bool leaveOut = true;
  bool ConfirmRowsLeftOut(const std::string& q) override {
    questions.push_back(q);
    return leaveOut;
  }
  bool SignalReady() override { return signalOk; }
};

struct RunStartTest : ::testing::Test {
  SolverData d;
  OutPointTables outputs;
  LampedTables lamped;
  FakeHost host;
  RunFeatures features;  // nothing of the later features
  RunStartInputs in;

  void SetUp() override {
    in.outputs = &outputs;
    in.lamped = &lamped;
    in.totalPhysBytes = 64ull << 30;
    in.nowMs = 1000;
    MainSettings& s = in.settings;
    s.spX = s.spY = s.spZ = 10;
    s.ComboBox = {BorderMur, BorderMur, BorderPEC, BorderPEC, BorderMur, BorderMur};
    s.rgSources = SourceInternalOnly;
    s.eddT = "0.01";
    s.seStepCount = 7;
    AddSource();
  }
  void AddSource() {
    std::atomic<uint8_t> mod{0};
    AddGridRow(lamped.sgSourses, mod);
    const int r = lamped.sgSourses.RowCount() - 1;
    for (auto [c, t] : {std::pair{0, "5"}, {1, "5"}, {2, "5"}, {3, "50"}, {4, "Z"}})
      lamped.sgSourses.SetCell(c, r, t);
  }
  RunStartResult Run() { return StartRun(d, in, host, features); }
  static std::string Refusal(const RunStartResult& r) {
    return r.refusal() ? r.refusal()->text : std::string("<none>");
  }
  // The refusal's text, the status line and whether the window's state is put back.
  std::tuple<std::string, std::string, bool> Outcome() {
    const RunStartResult r = Run();
    return {Refusal(r), r.status, r.restore};
  }
  // The new project's model, no source or element of the tables.
  void BareNewProject() {
    ClearGrid(lamped.sgSourses, d.Modified);
    host.sparkGap = false;
    NewProjectModel(d);
  }
  // Steps the started run through the time loop on one thread with the default items and,
  // when `sig` drives a plane wave, the features'; `probe` after every step. The arrays go.
  RunEnd StepRun(const RunStartResult& r, const ISignal* sig, const std::function<void()>& probe) {
    RunKernels k;
    k.Wave.IncAngle = r.run.settings.IncAngle;
    if (!PrepareRunKernels(d, r.run.elements, sig, k)) return RunEnd::Failed;
    StepHooks h = DefaultStepHooks(d, k);
    RunSettings rs = r.run.settings;
    rs.Signal = sig;
    if (sig) features.AddStepHooks(d, rs, h);
    h.RecordOutputPoints = [&](int) { probe(); };
    runtest::NullCallbacks cb;
    runtest::OneThread one;
    d.Stopped = 0;
    const RunEnd end = RunTimeLoop(d, h, cb).End;
    FreeFieldArrays(d);
    return end;
  }
};

}  // namespace

TEST(BorderDecode, AllSevenKindsOnAllSixFaces) {
  auto pecOrSym = [](int k) { return k == BorderPEC || k == BorderSymE || k == BorderSymH; };
  for (int kind = 0; kind < BorderKindCount; ++kind) {
    const int other = (kind + 1) % BorderKindCount;  // on the five other faces
    for (int face = 1; face <= 6; ++face) {
      SolverData d;
      std::array<int, 6> combo;
      combo.fill(other);
      combo[size_t(face - 1)] = kind;
      ReadBorders(combo, d);
      const FaceFlags* flags[] = {&d.PECFace, &d.MurFace,  &d.DissipationFace, &d.RTABCFace,
                                  &d.PMLFace, &d.SymEFace, &d.SymHFace};
      const uint8_t any[] = {d.AnyPEC, d.AnyMur, d.AnyDissipation, d.AnyRTABC, d.AnyPML, d.AnySymE, d.AnySymH};
      for (int k = 0; k < BorderKindCount; ++k) {
        for (int n = 1; n <= 6; ++n)
          EXPECT_EQ((*flags[k])[size_t(n)], (n == face ? k == kind : k == other) ? 1 : 0) << k << " face " << n;
        EXPECT_EQ(any[k], k == kind || k == other ? 1 : 0);
      }
      EXPECT_EQ(d.AnyPECOrSym, pecOrSym(kind) || pecOrSym(other) ? 1 : 0);
    }
  }
  // A face with no selection sets no flag; a decode replaces the previous one entirely.
  SolverData d;
  ReadBorders({BorderPML, BorderPML, BorderPML, BorderPML, BorderPML, BorderPML}, d);
  ReadBorders({-1, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC}, d);
  EXPECT_EQ(std::tuple(d.AnyPML, d.PECFace[1], d.PECFace[2], d.MurFace[1] | d.DissipationFace[1] | d.RTABCFace[1] |
                       d.PMLFace[1] | d.SymEFace[1] | d.SymHFace[1]), std::tuple(0, 0, 1, 0));
}

TEST_F(RunStartTest, PreparesARunWithEveryValueSet) {
  in.settings.edZ = "0.02";
  in.settings.cbMagneticMaterals = true;
  SetGridSize(d, 10, 10, 10);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(2, 2, 2) = 1;
  d.Space(3, 3, 3) = d.Space(4, 4, 4) = 2;
  d.Space(5, 5, 5) = 3;  // switched off: vacuum
  d.Layers[1] = {0, 1, "a", 0, 1, 1, 0, 4.0, 1000};
  d.Layers[2] = {0, 1, "b", 0, 1, 1, 0, 1.0, 1000};
  d.Layers[3] = {0, 0, "c", 0, 1, 1, 0, 2.0, 1000};
  outputs.cbShowGr = true; outputs.seOutputRate = 3;

  const RunStartResult r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  EXPECT_TRUE(r.messages.empty());
  // The chart's curves go only once every check has passed, right before the outputs.
  EXPECT_EQ(host.calls, (std::vector<std::string>{"labels", "signal", "elements", "preparing",
                                                  "charts", "outputs"}));
  EXPECT_EQ(std::tuple(d.Nx, d.NxEdges, d.StepCount.load(), d.OutputRate, d.Hx.len1()), std::tuple(10, 9, 7, 3, 11));
  const double c = double(LightSpeed);
  for (auto [got, want] : {std::pair{d.TimeStepSec, 0.01e-9}, {d.TimeStep, 0.01e-9 * c}, {d.CourantZ, 0.01e-9 * c / 0.02},
                           {d.CellVolume, 0.01 * 0.01 * 0.02}})
    EXPECT_DOUBLE_EQ(got, want);
  EXPECT_EQ(std::tuple(d.InternalSourcesOnly, d.NoExternalField, d.ObjectCellCount, d.MaterialCellCount[0],
                       d.MaterialCellCount[1], d.MaterialCellCount[2]), std::tuple(1, 1, 3, 1, 2, 0));
  // H coefficient of a magnetic cell divided by its mu; a switched-off one keeps vacuum's.
  EXPECT_FLOAT_EQ(d.HCoefCell(2, 2, 2), d.HCoefUniform / 4.0f);
  EXPECT_FLOAT_EQ(d.HCoefCell(5, 5, 5), d.HCoefUniform);
  // The spark gap starts unfired; the start leaves the run flags to the caller.
  ASSERT_EQ(r.run.elements.SparkGaps.size(), 1u);
  EXPECT_EQ(std::tuple(r.run.settings.RunStartTimeMs, r.run.settings.ShowGraphs, r.run.elements.SparkGaps[0].Fired,
                       d.Stopped.load(), d.CalcRunning.load()), std::tuple(1000, 1, 0, 1, 0));
}

TEST_F(RunStartTest, RefusalsBeforeTheRunningStateInOrder) {
  using O = std::tuple<std::string, std::string, bool>;
  // Far field with the external field comes before the far field with a PEC face, and both
  // before the project-loading test and any feature this build lacks.
  in.settings.cbFarPoints = true;
  in.settings.rgSources = SourceExternalField;
  in.projectReady = false;
  EXPECT_EQ(Outcome(), O(runmsg::FarFieldWithExternal, runmsg::FarFieldWithExternalStatus, false));
  in.settings.rgSources = SourceInternalOnly;
  EXPECT_EQ(Refusal(Run()), runmsg::FarFieldWithPECOrSym);
  in.settings.ComboBox = {1, 1, 1, 1, 1, 1};
  EXPECT_EQ(Refusal(Run()), runmsg::ProjectLoading);
  in.projectReady = true;
  EXPECT_NE(Refusal(Run()).find("дальнего поля в этой версии"), std::string::npos);
  in.settings.cbFarPoints = false;
  EXPECT_TRUE(host.calls.empty() && d.Hx.empty());  // nothing was touched on the way

  // Features of later work are refused by name.
  in.settings.rgSources = SourceTFSF;
  EXPECT_NE(Refusal(Run()).find("TF-SF"), std::string::npos);
  in.settings.rgSources = SourceInternalOnly;
  for (auto [border, name] : {std::pair{BorderPML, "PML"}, {BorderRTABC, "RT-ABC"}, {BorderDissipation, "1/R"}}) {
    in.settings.ComboBox[2] = border;
    EXPECT_NE(Refusal(Run()).find(name), std::string::npos) << name;
  }
  in.settings.ComboBox[2] = BorderMur;

  // A TF-SF box check that fails refuses with the check's own message, no restore.
  features.SetupTFSF = [](SolverData&, const MainSettings&, RunSettings&, std::string& m) {
    m = "Ошибка в задании бокса TF-SF";
    return false;
  };
  in.settings.rgSources = SourceTFSF;
  EXPECT_EQ(Outcome(), O("Ошибка в задании бокса TF-SF\nИзмените «Область интегрирования (бокс TF-SF)» на "
                         "странице «Дальнее поле».", runmsg::BadTFSFBoxStatus, false));
  in.settings.rgSources = SourceInternalOnly;

  // Memory: the estimate against 90 % of the physical memory.
  in.totalPhysBytes = 8 << 20;
  EXPECT_EQ(Outcome(), O(runmsg::NoMemory, runmsg::NoMemoryStatus, false));
  in.totalPhysBytes = 64ull << 30;

  // A signal parameter that is not a number refuses instead of running half-updated.
  host.signalOk = false;
  EXPECT_EQ(Refusal(Run()), "Обнаружены ошибки в значениях параметров сигналов\nИсправьте параметры сигнала: "
                            "кнопка «Выбор формы сигнала» на странице «Источник».");
  EXPECT_TRUE(d.Hx.empty());
  host.signalOk = true;

  // The angle is tested whatever the source; +-90 pass, anything beyond does not.
  for (auto [a, bad] : {std::pair{"90", false}, {"-90", false}, {"90.001", true}, {"-91", true}}) {
    in.settings.edIncAngle = a;
    EXPECT_EQ(Outcome(), bad ? O(runmsg::BadAngle, runmsg::BadAngleStatus, false) : O("<none>", "", false)) << a;
  }
  in.settings.edIncAngle = "abc";
  EXPECT_NE(Refusal(Run()).find("\"abc\""), std::string::npos);
  in.settings.edIncAngle = "0";

  in.settings.spY = 1;
  EXPECT_EQ(Outcome(), O(runmsg::GridTooSmall, runmsg::GridTooSmallStatus, false));
  in.settings.spY = 10;

  d.MemoryLimitBytes = 1000;
  EXPECT_EQ(Outcome(), O(runmsg::AllocFailedHint, runmsg::AllocFailed, false));
  d.MemoryLimitBytes = 0;
}

TEST_F(RunStartTest, RefusalsAfterTheRunningStateRestoreAndFreeTheArrays) {
  auto expectRestore = [&](const std::string& text, const std::string& status) {
    EXPECT_EQ(Outcome(), std::tuple(text, status, true));
    EXPECT_TRUE(d.Hx.empty() && d.Stopped == 1) << "arrays left after: " << text;
  };
  // The message names the axis and the text as typed.
  in.settings.edX = "abc";
  expectRestore("Ошибка в задании шагов по пространству: размер ячейки по X = \"abc\" — не число. Работа "
                "невозможна!\nИзмените «Размер ячейки, м:» на странице «Геометрия».",
                runmsg::BadCellSizeStatus);
  in.settings.edX = "0.01";
  in.settings.edZ = "-0.001";
  expectRestore(runmsg::BadCellSizeText("по Z = \"-0.001\" — не больше 0"), runmsg::BadCellSizeStatus);
  in.settings.edZ = "0.01";
  in.settings.eddT = "1e-2 нс";
  expectRestore(runmsg::BadTimeStepText("«Шаг по времени, нс:» = \"1e-2 нс\" — не число"), runmsg::BadTimeStepStatus);
  in.settings.eddT = "0.01";

  features.Dissipation = true;
  in.settings.ComboBox[0] = BorderDissipation;
  in.settings.spCenterI = in.settings.spCenterK = 5;
  // The centre must lie on the nodes 2..N-1: on node 0 or 1 the low face would amplify.
  for (int c : {10, 0, 1}) {
    in.settings.spCenterJ = c;
    expectRestore(runmsg::CentreOutside, runmsg::CentreOutsideStatus);
  }
  for (int c : {2, 9}) {
    in.settings.spCenterJ = c;
    EXPECT_TRUE(Run().started) << c;
  }
  in.settings.ComboBox[0] = BorderMur;

  // Far field: the box check's refusal, and a far-point cell that is not a number.
  in.settings.cbFarDiagram = true;
  in.settings.ComboBox = {1, 1, 1, 1, 1, 1};
  std::string farMessage;
  features.SetupFarField = [&](SolverData&, const MainSettings&, RunSettings&, std::string& m) {
    m = farMessage;
    return false;
  };
  expectRestore(runmsg::BadFarBox, runmsg::BadFarFieldStatus);
  farMessage = "\"x\" не является числом";
  expectRestore(farMessage + "\nЭто задается на странице «Дальнее поле».", runmsg::BadFarFieldStatus);
  in.settings.cbFarDiagram = false;

  // Internal sources only, with an empty sources table.
  ClearGrid(lamped.sgSourses, d.Modified);
  expectRestore(runmsg::NoSources, runmsg::NoSourcesStatus);
  AddSource();

  host.outputsOk = false;
  expectRestore("Ошибка в таблице выходов", runmsg::OutputFilesStatus);
  host.outputsOk = true;
  EXPECT_TRUE(Run().started);
}

TEST_F(RunStartTest, WarningsInOrderAndTheRTABCRule) {
  // Every warning at once: PML next to Mur and RT-ABC, sources with a plane wave, unequal
  // steps under RT-ABC. Each is shown in the order of the checks and the run starts.
  features.SetupTFSF = [](SolverData&, const MainSettings&, RunSettings&, std::string&) { return true; };
  features.RTABC = true;
  bool pmlSetUp = false;
  features.PMLLowFrequency = [](const RunSettings&, float) { return 1e8; };
  features.SetupPML = [&](SolverData& dd, const RunSettings& rs, std::string&) {
    pmlSetUp = dd.AnyPML && rs.PMLCount == 8 && rs.PMLReflection == 0.01f;
    return true;
  };
  in.settings.rgSources = SourceTFSF;
  in.settings.ComboBox = {BorderPML, BorderRTABC, BorderMur, BorderMur, BorderRTABC, BorderMur};
  in.settings.edX = in.settings.edY = "0.01";
  in.settings.edZ = "0.02";
  const RunStartResult r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  EXPECT_TRUE(pmlSetUp);
  std::vector<std::string> texts;
  for (const auto& m : r.messages) texts.push_back(m.refusal ? "refusal: " + m.text : m.text);
  EXPECT_EQ(texts, (std::vector<std::string>{runmsg::PMLConflict, runmsg::SourcesWithField, runmsg::RTABCUnequal}));
  // RT-ABC: all steps equal to Dx, c*dt = Dx/2, Courant 1/2; the cell volume and the time
  // step in seconds are those of the cells and the step the run steps with.
  const std::pair<double, double> rt[] = {{d.Dy, 0.01}, {d.Dz, 0.01}, {d.TimeStep, 0.005}, {d.CourantX, 0.5},
      {d.CourantY, 0.5}, {d.CourantZ, 0.5}, {d.CellVolume, 0.01 * 0.01 * 0.01},
      {d.TimeStepSec, 0.005 / double(LightSpeed)}};
  for (auto [got, want] : rt) EXPECT_DOUBLE_EQ(got, want);

  // Equal steps under RT-ABC: no warning, and c*dt is Dx/2 whatever eddT holds.
  in.settings.edZ = "0.01";
  in.settings.eddT = "5";
  in.settings.ComboBox = {BorderRTABC, 1, 1, 1, 1, 1};
  in.settings.rgSources = SourceInternalOnly;
  const RunStartResult r2 = Run();
  ASSERT_TRUE(r2.started && r2.messages.empty());
  EXPECT_DOUBLE_EQ(d.TimeStep, 0.005);

  // The RT-ABC history reaches three planes in on every axis: two nodes are refused.
  in.settings.spZ = 2;
  const RunStartResult r3 = Run();
  EXPECT_EQ(Refusal(r3), runmsg::RTABCTooSmall);
  in.settings.ComboBox = {BorderMur, 1, 1, 1, 1, 1};
  in.settings.eddT = "0.01";
  lamped.sgSourses.SetCell(2, 1, "1");  // inside the two nodes along z
  EXPECT_TRUE(Run().started);
}

// Under RT-ABC the run steps with c*dt = Dx/2 whatever the project's time step says (a
// hand-edited file may hold another): a conducting medium filling the grid then damps a
// uniform field as e^(-sigma t / eps0) per unit of the run's time, the time the outputs
// are dated with. The centre is read before the faces' disturbance arrives (one cell a
// step at most).
TEST_F(RunStartTest, RTABCRunsEveryQuantityOnItsOwnTimeStep) {
  features.RTABC = true;
  MainSettings& s = in.settings;
  s.spX = s.spY = s.spZ = 21;
  s.ComboBox = {BorderRTABC, BorderRTABC, BorderRTABC, BorderRTABC, BorderRTABC, BorderRTABC};
  s.edX = s.edY = s.edZ = "0.001";
  s.seStepCount = 8;
  outputs.seOutputRate = 1;
  host.sparkGap = false;
  NewProjectModel(d);
  const double sigma = 0.5;
  d.Layers[1].Sigma = sigma;
  d.Space.fill(1);
  for (const char* typed : {"0.001", "0.003"}) {  // the run's step is 1.668 ps
    s.eddT = typed;
    const RunStartResult r = Run();
    ASSERT_TRUE(r.started) << Refusal(r);
    d.Ez.fill(1.0f);
    double t0 = NAN, e0 = 0, t1 = 0, e1 = 0;  // the first and last samples at the centre
    ASSERT_EQ(StepRun(r, nullptr, [&] {
      std::tie(t1, e1) = std::pair(d.CurTime / double(LightSpeed), double(d.Ez(11, 11, 11)));
      if (std::isnan(t0)) t0 = t1, e0 = e1;
    }), RunEnd::Completed) << typed;
    // The update's (1 - x)/(1 + x), x = sigma dt / (2 eps0) = 0.047, differs from
    // e^(-2x) by x^2/3 of the rate: 0.07 %.
    EXPECT_NEAR(-std::log(e1 / e0) / (t1 - t0), sigma / double(Eps0), 0.002 * sigma / double(Eps0)) << typed;
  }
}

// The PML's reflection must lie in 0 < R <= 1 as a single: outside, its tables turn to NaN
// or the layer amplifies. The labels show nothing for such a value.
TEST_F(RunStartTest, PMLReflectionOutsideTheLayersRangeIsRefused) {
  features = AvailableRunFeatures();
  in.settings.ComboBox = {BorderPML, BorderPML, BorderPML, BorderPML, BorderPML, BorderPML};
  in.settings.edX = in.settings.edY = in.settings.edZ = "0.001";
  in.settings.eddT = "0.0015";
  for (const char* r : {"0", "-0.1", "1.5", "1e-50"}) {
    in.settings.edpmlR = r;
    EXPECT_NE(Refusal(Run()).find("Коэффициент отражения PML"), std::string::npos) << r;
    EXPECT_EQ(ComputePMLLabels(in.settings, features).lbPMLFreq, "") << r;
  }
  in.settings.edpmlR = "0.01";
  EXPECT_EQ(ComputePMLLabels(in.settings, features).lbPMLFreq, "Минимальная частота, МГц: 26.822");
  EXPECT_EQ(ComputePMLLabels(in.settings, features).lbPMLTime, "Максимальное время, нс: 37.282");
  in.settings.edpmlR = "1";
  EXPECT_TRUE(Run().started);
  features.FreeRunFeatures(d);
}

// The far field at run start: the box, the point rows and the radius are checked before
// anything is sized, each refusal after the running state; a prepared run accumulates and
// writes its files at the end.
TEST_F(RunStartTest, FarFieldRefusalsAndARunWithItsFiles) {
  features = AvailableRunFeatures();
  MainSettings& s = in.settings;
  s.spX = s.spY = s.spZ = 16;
  s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  s.edX = s.edY = s.edZ = "0.001";
  s.eddT = "0.0015";
  s.cbFarPoints = s.cbFarDiagram = s.cbPZ = true;
  s.edFarStep = 8;
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 1;  // reads would leave the arrays
  s.spFarXmax = s.spFarYmax = s.spFarZmax = 12;
  std::atomic<uint8_t> mod{0};
  AddGridRow(outputs.sgFarPoints, mod);
  for (int c = 0; c < 3; ++c) outputs.sgFarPoints.SetCell(c, 1, "8");
  outputs.sgFarPoints.SetCell(1, 1, "1e");
  RunStartResult r = Run();
  EXPECT_EQ(Refusal(r), runmsg::BadFarBox);
  EXPECT_TRUE(r.restore);
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 4;
  r = Run();
  EXPECT_NE(Refusal(r).find("строке 1: \"1e\""), std::string::npos) << Refusal(r);
  EXPECT_TRUE(r.restore);
  EXPECT_TRUE(d.Hx.empty());
  outputs.sgFarPoints.SetCell(1, 1, "8");
  outputs.sgFarPoints.SetCell(0, 1, "14");  // outside the box
  s.edFarDiagrR = "1 000";
  EXPECT_NE(Refusal(Run()).find("\"1 000\""), std::string::npos);
  s.edFarDiagrR = "0.25";

  r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  rvtest::TempDir tmp;
  d.FARDir = tmp / "FAR";
  StepHooks h;
  features.AddStepHooks(d, r.run.settings, h);
  ASSERT_TRUE(h.AccumulateFarField);
  d.Ez(8, 8, 8) = 1;
  for (int step = 0; step < d.StepCount; ++step) h.AccumulateFarField(step);
  d.CurStep = d.StepCount.load();
  std::string msg;
  EXPECT_TRUE(features.FinishFarField(d, r.run.settings, msg)) << msg;
  for (const char* n : {"E(14,8,8)y.grf", "E(14,8,8)x.grf", "E(14,8,8)z.grf", "DiagrZ_0.25.grf"})
    EXPECT_TRUE(std::filesystem::exists(d.FARDir + "/" + n)) << n;
  features.FreeRunFeatures(d);
}

// TF-SF at run start: the box is checked at the third step (a corrected box without a cell
// is refused), and the wave reaches the box at time 0 on the run's own cell sizes, not on
// those the grid held before the start. The external field with PML faces gets its items.
TEST_F(RunStartTest, TFSFBoxAndItsFrontOnTheRunsSizes) {
  features = AvailableRunFeatures();
  MainSettings& s = in.settings;
  s.rgSources = SourceTFSF;
  s.spX = s.spY = s.spZ = 20;
  s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 5;
  s.spFarXmax = s.spFarYmax = s.spFarZmax = 8;
  s.cbFarDiagram = true;
  EXPECT_EQ(Refusal(Run()), "Ошибка: минимальные границы TF-SF должны быть меньше максимальных!!!\nИзмените "
                            "«Область интегрирования (бокс TF-SF)» на странице «Дальнее поле».");
  s.cbFarDiagram = false;
  s.spFarXmax = s.spFarYmax = s.spFarZmax = 15;
  s.TrackBar1 = 60;
  s.TrackBar2 = 30;
  s.edX = "0.001"; s.edY = "0.002"; s.edZ = "0.003";
  s.eddT = "0.001";
  d.Dx = d.Dy = d.Dz = 0.05;  // what an earlier run left
  RunStartResult r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  struct : ISignal {
    double GetSignal(double t) const override { return t >= 0 ? 1 : 0; }
  } one;
  r.run.settings.Signal = &one;
  StepHooks h;
  features.AddStepHooks(d, r.run.settings, h);
  ASSERT_TRUE(h.CorrectTFSFH && h.CorrectTFSFE);
  EXPECT_FALSE(h.AddPMLWaveH);
  auto hSum = [&] {
    double sum = 0;
    for (const t3DSpaceArray* a : {&d.Hx, &d.Hy, &d.Hz})
      for (size_t n = 0; n < a->size(); ++n) sum += std::fabs(a->data()[n]);
    return sum;
  };
  d.CurTime = 0;
  h.CorrectTFSFH(-d.TimeStep / 2);
  EXPECT_EQ(hSum(), 0);
  d.CurTime = 0.01;
  h.CorrectTFSFH(-d.TimeStep / 2);
  EXPECT_GT(hSum(), 0);
  features.FreeRunFeatures(d);

  s.rgSources = SourceExternalField;
  s.ComboBox = {BorderPML, BorderPML, BorderPML, BorderPML, BorderPML, BorderPML};
  r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  StepHooks e;
  features.AddStepHooks(d, r.run.settings, e);
  EXPECT_TRUE(e.AddPMLWaveH && e.AddPMLWaveE && !e.CorrectTFSFH);
  features.FreeRunFeatures(d);
}

// A step above the stability limit of the run's cells makes every field grow until it is
// INF: refused with the limit named, digits enough to read below the step. The limit as the
// grid page writes it runs.
TEST_F(RunStartTest, TimeStepAboveTheStabilityLimitIsRefused) {
  MainSettings& s = in.settings;
  s.spX = s.spY = s.spZ = 50;
  s.eddT = "0.0194";
  EXPECT_EQ(Outcome(), std::tuple("Шаг по времени 0.0194 нс больше предела устойчивости 0.019258 нс: поле в "
                                  "расчете будет расти без ограничения. Работа невозможна!\n"
                                  "Измените «Шаг по времени, нс:» на странице «Геометрия».",
                                  runmsg::TimeStepAboveLimitStatus, true));
  const std::string limit = ComputeGridSettings(s, 1, 0).eddT;
  s.eddT = limit;
  const RunStartResult atLimit = Run();
  EXPECT_TRUE(atLimit.started) << Refusal(atLimit);
  s.eddT = FormatGeneral(StrToFloat(limit) * (1 + 1e-12), 15);
  EXPECT_EQ(std::get<1>(Outcome()), runmsg::TimeStepAboveLimitStatus) << s.eddT;

  // Unequal cells: the limit 0.0222376 ns rounds up to 0.022238 in five digits.
  s.spX = s.spY = s.spZ = 10;
  s.edZ = "0.02";
  for (auto [dt, shown] : {std::pair{"0.0222375", ""}, {"0.0222377", " 0.0222376 нс:"}, {"0.023", " 0.022238 нс:"}}) {
    s.eddT = dt;
    const std::string refusal = Refusal(Run());
    if (!*shown) EXPECT_EQ(refusal, "<none>") << dt;
    else EXPECT_NE(refusal.find(std::string("нс больше предела устойчивости") + shown), std::string::npos) << refusal;
  }

}

// Outputs that can only stay zero are warned of, and the run starts: a plane wave on a model
// of nothing but vacuum with no element passes untouched, walls it satisfies or not. A
// conductor, a dielectric, mu when it is used, an element or a source is something.
TEST_F(RunStartTest, WarnsWhenOutputsCanOnlyStayZero) {
  features = AvailableRunFeatures();
  MainSettings& s = in.settings;
  s.rgSources = SourceExternalField;
  s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  BareNewProject();
  for (int i = 4; i <= 6; ++i)
    for (int j = 4; j <= 6; ++j) d.Space(i, j, 5) = 1;
  auto warnings = [&] {
    const RunStartResult r = Run();
    EXPECT_TRUE(r.started) << Refusal(r);
    std::vector<std::string> w;
    for (const RunStartMessage& m : r.messages) w.push_back(m.text);
    return w;
  };
  using W = std::vector<std::string>;
  const W none, vacuum{runmsg::OnlyVacuum};
  EXPECT_EQ(warnings(), none);  // the new project's conductor
  tLayer& m = d.Layers[1];
  m.Sigma = 0;
  EXPECT_EQ(warnings(), vacuum);
  m.EpsStatic = 4;
  EXPECT_EQ(warnings(), none);
  m.EpsStatic = 1;
  m.Mu = 2;
  EXPECT_EQ(warnings(), vacuum);  // mu counts only with magnetic materials
  s.cbMagneticMaterals = true;
  EXPECT_EQ(warnings(), none);
  m.On = 0;
  EXPECT_EQ(warnings(), vacuum);  // switched off
  host.sparkGap = true;
  EXPECT_EQ(warnings(), none);
  host.sparkGap = false;
  // A wall the wave satisfies (E along y on a Y face) scatters nothing.
  s.ComboBox[0] = s.ComboBox[1] = BorderPEC;
  EXPECT_EQ(warnings(), vacuum);
  AddSource();
  EXPECT_EQ(warnings(), W{runmsg::SourcesWithField});
}

// The new project's conductor, drawn as a block in the new project's plane wave (E along y,
// travelling along x, Mur faces), scatters it: Ez appears beside the block, odd about the
// block's middle plane as the mirror symmetry of wave and block requires, while the metal
// keeps the wave out of its inside.
TEST_F(RunStartTest, NewProjectConductorScattersTheDefaultPlaneWave) {
  features = AvailableRunFeatures();
  MainSettings& s = in.settings;
  s = NewProjectSettings(MainSettings{});
  s.spX = s.spY = s.spZ = 20;  // the new project's 50, smaller; the step at the limit again
  s.eddT = ComputeGridSettings(s, 1, 0).eddT;
  BareNewProject();
  for (int i = 7; i <= 13; ++i)  // cells 7..13: nodes 7..14, centred on the grid's 10.5
    for (int j = 7; j <= 13; ++j)
      for (int l = 7; l <= 13; ++l) d.Space(i, j, l) = 1;
  const RunStartResult r = Run();
  ASSERT_TRUE(r.started) << Refusal(r);
  EXPECT_TRUE(r.messages.empty());

  SignalSource sig;  // the signal window's default: a 1 GHz sine of amplitude 1
  double front = 0, inside = 0, beside = 0, oddness = 0;
  EXPECT_EQ(StepRun(r, &sig, [&] {
    front = std::max(front, double(std::fabs(d.Ey(3, 10, 10))));
    inside = std::max(inside, double(std::fabs(d.Ey(10, 10, 10))));
    beside = std::max(beside, double(std::fabs(d.Ez(15, 10, 14))));
    oddness = std::max(oddness, double(std::fabs(d.Ez(15, 10, 14) + d.Ez(15, 10, 6))));
  }), RunEnd::Completed);
  // Measured: front 0.977, beside 0.144, inside 7e-30, oddness 0.
  EXPECT_GT(front, 0.9);
  EXPECT_GT(beside, 0.05 * front);
  EXPECT_LT(inside, 1e-3 * front);
  EXPECT_LE(oddness, 1e-5 * beside);
}

// The external field with faces that do not carry its wave (PML beside Mur faces) is
// refused before anything is reserved, naming the faces, without the general PML warning;
// all faces PML start.
TEST_F(RunStartTest, ExternalFieldRefusesFacesThatDoNotCarryIt) {
  features.ExternalField = true;
  features.PMLLowFrequency = [](const RunSettings&, float) { return 1e8; };
  features.SetupPML = [](SolverData&, const RunSettings&, std::string&) { return true; };
  in.settings.rgSources = SourceExternalField;
  in.settings.ComboBox = {BorderPML, BorderPML, BorderPML, BorderPML, BorderMur, BorderMur};
  const RunStartResult r = Run();
  EXPECT_EQ(std::tuple(r.messages.size(), Refusal(r).rfind("Внешнее поле: грани X=1, X=max — Mur;", 0), d.Hx.empty()),
            std::tuple(1u, 0u, true));
  in.settings.ComboBox = {BorderPML, BorderPML, BorderPML, BorderPML, BorderPML, BorderPML};
  EXPECT_TRUE(Run().started);
}

// A run that records nothing (no output row, no element) still notices fields that run
// away: with TF-SF and far-field diagrams, and with the external field and SAR, a
// dielectric faster than light at the vacuum limit ends the run as diverged within a step
// of the first value that is not a finite number, and no diagram or SAR report is written.
TEST_F(RunStartTest, RunawayFieldsEndARunThatRecordsNothing) {
  features = AvailableRunFeatures();
  for (bool tfsf : {true, false}) {
    SCOPED_TRACE(tfsf);
    MainSettings& s = in.settings;
    s.spX = s.spY = s.spZ = 16;
    s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
    s.edX = s.edY = s.edZ = "0.001";
    s.eddT = ComputeGridSettings(s, 1, 0).eddT;
    s.seStepCount = 400;
    s.rgSources = tfsf ? SourceTFSF : SourceExternalField;
    s.cbFarDiagram = s.cbPZ = tfsf;
    s.edFarStep = 8;
    s.edFarDiagrR = "0.25";
    s.spFarXmin = s.spFarYmin = s.spFarZmin = 4;
    s.spFarXmax = s.spFarYmax = s.spFarZmax = 12;
    s.cbEnergy = !tfsf;
    BareNewProject();
    tLayer& m = d.Layers[1];
    m.Sigma = 0;
    for (int i = 7; i <= 10; ++i)
      for (int j = 7; j <= 10; ++j)
        for (int l = 7; l <= 10; ++l) d.Space(i, j, l) = 1;
    const RunStartResult r = Run();
    ASSERT_TRUE(r.started) << Refusal(r);
    ASSERT_EQ(outputs.sgOutPoint.RowCount(), 1);
    rvtest::TempDir tmp;
    SetResultPaths(d, tmp / "p.fdt");
    m.EpsStatic = m.EpsInf = 0.25;  // the run's coefficients, past the start's check

    SignalSource sig;
    RunKernels k;
    k.WatchGrowth = false;  // the values' own check, which stays behind the energy watch
    ASSERT_TRUE(PrepareRunKernels(d, r.run.elements, &sig, k));
    StepHooks h = DefaultStepHooks(d, k);
    RunSettings rs = r.run.settings;
    rs.Signal = &sig;
    features.AddStepHooks(d, rs, h);
    ASSERT_FALSE(h.RecordOutputPoints);
    // Steps that ended with a value anywhere not finite.
    int runaway = 0;
    h.DrawSlices = [&](int, double) {
      for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz})
        for (size_t i = 0; i < a->size(); ++i)
          if (!std::isfinite(a->data()[i])) { ++runaway; return; }
    };
    struct : RunCallbacks {
      EndOfRunInput in;
      EndOfRunReport report;
      SolverData* d = nullptr;
      void ShowProgress(const ProgressInfo&) override {}
      void FinishCalculation(const RunOutcome& o) override {
        in.Outcome = o;
        OutputRun none;
        report = FinishRun(*d, none, in);
      }
    } cb;
    cb.d = &d;
    cb.in.SaveFarField = [&](std::string& msg) { return features.FinishFarField(d, rs, msg); };
    cb.in.FarFieldFinite = [&] { return features.FarFieldFinite(d); };
    cb.in.FreeRunFeatures = [&] { features.FreeRunFeatures(d); };
    runtest::OneThread one;
    d.Stopped = 0;
    d.CalcRunning = 1;
    const RunOutcome o = RunTimeLoop(d, h, cb);
    ASSERT_EQ(o.End, RunEnd::Diverged) << o.Error;
    EXPECT_GT(o.DivergedStep, 10);
    EXPECT_LE(runaway, 1);  // found on the step after the first at the latest
    EXPECT_EQ(std::tuple(cb.report.Diverged, cb.report.SarWritten, cb.report.LeftTimeText, cb.report.Messages),
              std::tuple(true, false, "Счет остановлен: расчет расходится.", std::vector{o.Error}));
    EXPECT_NE(o.Error.find("на шаге " + std::to_string(o.DivergedStep) + " значения поля"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(d.FARDir + "/DiagrZ_0.25.grf"));
    EXPECT_FALSE(std::filesystem::exists(d.SARDir + "SAR.txt"));
    EXPECT_EQ(std::tuple(d.CalcRunning.load(), d.Stopped.load(), d.Ex.empty()), std::tuple(0, 1, true));
  }
}

// A material in which a wave runs faster than in vacuum shrinks the step's limit by
// sqrt(eps*mu): a step above the shrunk limit is refused naming the material, one below it
// starts, and materials with eps*mu >= 1 start as ever. Physics: in a box filled with
// eps = 0.25, a pulse stays bounded for thousands of steps just below the shrunk limit
// and runs away just above it.
TEST_F(RunStartTest, AMediumFasterThanVacuumLowersTheStepsLimit) {
  MainSettings& s = in.settings;
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC};
  s.edX = s.edY = s.edZ = "0.001";
  const double limitNs = StabilityLimit(1e-3, 1e-3, 1e-3) * 1e9;
  tLayer& m = d.Layers[1];
  m = tLayer{};
  m.On = 1;
  m.Name = "Плазма";
  SetGridSize(d, s.spX, s.spY, s.spZ);
  ASSERT_TRUE(ResizeSpace(d));
  for (int i = 1; i <= 9; ++i)
    for (int j = 1; j <= 9; ++j)
      for (int l = 1; l <= 9; ++l) d.Space(i, j, l) = 1;
  auto startsAt = [&](double factor, double eps, double mu = 1, double epsInf = -1) {
    m.EpsStatic = eps;
    m.EpsInf = epsInf < 0 ? eps : epsInf;
    m.Tau = epsInf < 0 ? 0 : 1e-9;
    m.Mu = mu;
    s.eddT = FormatGeneral(limitNs * factor, 15);
    const RunStartResult r = Run();
    if (!r.started) {
      EXPECT_EQ(std::tuple(r.status, r.restore, d.Hx.empty()),
                std::tuple("Шаг по времени больше предела устойчивости материала 1", true, true));
    }
    return r.started ? std::string("started") : Refusal(r);
  };
  const std::string at = FormatGeneral(limitNs * 0.999, 15);
  EXPECT_EQ(startsAt(0.999, 0.25),
            "Материал 1 \"Плазма\" (εs = 0.25): волна в нем быстрее, чем в вакууме, и предел "
            "устойчивости для него 0.00096292" + std::string(" нс, а шаг по времени ") + at +
            " нс больше: поле в расчете будет расти без ограничения. Работа невозможна!\nИзмените "
            "«Шаг по времени, нс:» на странице «Геометрия» или материал в окне материалов.");
  EXPECT_EQ(startsAt(0.999, 1), "started");
  EXPECT_EQ(startsAt(0.999, 4), "started");
  EXPECT_EQ(startsAt(0.499, 0.25), "started");
  EXPECT_NE(startsAt(0.501, 0.25), "started");
  // mu counts where the model uses it; the Debye term's high-frequency permittivity too.
  EXPECT_EQ(startsAt(0.501, 0.5, 0.5), "started");
  s.cbMagneticMaterals = true;
  EXPECT_NE(startsAt(0.501, 0.5, 0.5).find("(εs = 0.5, μ = 0.5)"), std::string::npos);
  EXPECT_EQ(startsAt(0.499, 0.5, 0.5), "started");
  s.cbMagneticMaterals = false;
  s.cbBioMaterals = true;
  EXPECT_NE(startsAt(0.999, 4, 1, 0.25).find("(εs = 4, ε∞ = 0.25)"), std::string::npos);
  s.cbBioMaterals = false;
  m.On = 0;  // a material switched off is not in the model
  EXPECT_EQ(startsAt(0.999, 0.25), "started");
  m.On = 1;

  for (double factor : {0.49, 0.51}) {
    SCOPED_TRACE(factor);
    ASSERT_EQ(startsAt(factor, 1), "started");
    m.EpsStatic = m.EpsInf = 0.25;  // the run's coefficients, past the start's check
    d.Ez(5, 5, 5) = 1;
    d.StepCount = 2000;
    double peak = 0;
    const RunEnd end = StepRun(RunStartResult{}, nullptr, [&] {
      peak = std::max(peak, double(std::fabs(d.Ez(5, 5, 5))) + std::fabs(d.Ez(3, 4, 6)));
    });
    if (factor < 0.5) EXPECT_EQ(std::tuple(end, peak <= 2), std::tuple(RunEnd::Completed, true)) << peak;
    else EXPECT_EQ(end, RunEnd::Diverged);
  }
}

// A value no element update can use is refused before anything is reserved, naming the
// table, the row and the column, and ending with where to change it; values the updates
// take (a capacitor of 0, any breakdown voltage) start. Rows the tables may keep
// incomplete or outside the grid are asked about; no source left where the field comes
// from the sources alone refuses without asking.
TEST_F(RunStartTest, ElementValuesNoRunCanUseAreRefusedByTableRowAndColumn) {
  std::atomic<uint8_t> mod{0};
  auto row = [&](StringGrid& g, std::initializer_list<const char*> cells) {
    AddGridRow(g, mod);
    int c = 0;
    for (const char* t : cells) g.SetCell(c++, g.RowCount() - 1, t);
  };
  auto clear = [&] {
    for (StringGrid* g : {&lamped.sgResistors, &lamped.sgCapacitors, &lamped.sgRazraydnic, &lamped.sgInductor})
      ClearGrid(*g, mod);
  };
  struct Case {
    StringGrid LampedTables::*grid;
    const char* value;
    const char* head;    // the message's first words
    const char* status;  // the status line
  };
  const char* source = "Неверное внутреннее сопротивление источника напряжения в строке 2 таблицы «Источники»";
  const char* resistor = "Неверное сопротивление резистора в строке 1 таблицы «Резисторы»";
  const char* inductor = "Неверная индуктивность в строке 1 таблицы «Индуктивности»";
  const Case refused[] = {
      {&LampedTables::sgSourses, "abc", source, "Источники, строка 2: неверное значение «R, Ом»"},
      {&LampedTables::sgSourses, "-50", source, "Источники, строка 2: неверное значение «R, Ом»"},
      {&LampedTables::sgResistors, "-100", resistor, "Резисторы, строка 1: неверное значение «R, Ом»"},
      {&LampedTables::sgResistors, "-1", resistor, "Резисторы, строка 1: неверное значение «R, Ом»"},
      {&LampedTables::sgResistors, "0", resistor, "Резисторы, строка 1: неверное значение «R, Ом»"},
      {&LampedTables::sgCapacitors, "-1e-12", "Неверная емкость конденсатора в строке 1 таблицы «Конденсаторы»",
       "Конденсаторы, строка 1: неверное значение «С, Ф»"},
      {&LampedTables::sgInductor, "-1e-9", inductor, "Индуктивности, строка 1: неверное значение «L, Гн»"},
      {&LampedTables::sgInductor, "0", inductor, "Индуктивности, строка 1: неверное значение «L, Гн»"},
      {&LampedTables::sgRazraydnic, "1;5", "Неверное напряжение пробоя разрядника в строке 1 таблицы «Разрядники»",
       "Разрядники, строка 1: неверное значение «U проб., В»"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.value);
    clear();
    row(lamped.*c.grid, {"5", "5", "6", c.value, "Z"});
    host.calls.clear();
    const auto [text, status, restore] = Outcome();
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(text.rfind(std::string(c.head) + ": ", 0), 0u) << text;
    EXPECT_NE(text.find(". Работа невозможна!\nИзмените «" + (lamped.*c.grid).Cells(3, 0) + "» в строке "), std::string::npos)
        << text;
    EXPECT_EQ(std::tuple(restore, d.Hx.empty(), host.calls.back()), std::tuple(false, true, "elements"));
    if (c.grid == &LampedTables::sgSourses) ClearGrid(lamped.sgSourses, mod), AddSource();
  }
  clear();
  row(lamped.sgResistors, {"5", "5", "6", "-100", "Z"});
  EXPECT_EQ(Refusal(Run()), "Неверное сопротивление резистора в строке 1 таблицы «Резисторы»: «R, Ом» = -100 — "
                            "элемент с отрицательным значением отдает энергию, и поле в расчете растет без "
                            "ограничения. Работа невозможна!\nИзмените «R, Ом» в строке 1 таблицы «Резисторы» "
                            "окна «Сосредоточенные элементы» (меню «Окна»).");
  lamped.sgResistors.SetCell(1, 1, "5.5");
  EXPECT_EQ(Outcome(), std::tuple("Неверная координата резистора в строке 1 таблицы «Резисторы»: \"5.5\" в столбце "
                                  "«Y» не целое число. Работа невозможна!\nИзмените «Y» в строке 1 таблицы "
                                  "«Резисторы» окна «Сосредоточенные элементы» (меню «Окна»).",
                                  "Резисторы, строка 1: неверная координата «Y»", false));

  // What the updates take: a capacitor of 0 is a plain vacuum edge, a gap at 0 V or below
  // fires at the first step.
  clear();
  row(lamped.sgCapacitors, {"5", "5", "6", "0", "Z"});
  row(lamped.sgRazraydnic, {"5", "5", "7", "-5", "Z"});
  row(lamped.sgResistors, {"5", "5", "8", "1e-30", "Z"});
  row(lamped.sgInductor, {"5", "5", "4", "1e-3", "Z"});
  RunStartResult r = Run();
  EXPECT_TRUE(r.started && r.messages.empty() && host.questions.empty()) << Refusal(r);
  FreeFieldArrays(d);

  // Rows the run leaves out are asked about, each named; "Нет" starts nothing, quietly.
  row(lamped.sgResistors, {"", "5", "8", "50", "Z"});
  row(lamped.sgCapacitors, {"5", "5", "6", "1e-12", "Q"});
  row(lamped.sgInductor, {"30", "5", "6", "1e-9", "X"});
  host.leaveOut = false;
  r = Run();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], "Эти строки сосредоточенных элементов не войдут в расчет:\n"
                               "Резисторы, строка 2: не задана координата X\n"
                               "Конденсаторы, строка 2: направление \"Q\" не X, Y или Z\n"
                               "Индуктивности, строка 2: ячейка (30, 5, 6) вне счетного объема\n"
                               "Чтобы они вошли в расчет, измените их в окне «Сосредоточенные элементы» "
                               "(меню «Окна»).\nНачать расчет без них?");
  EXPECT_EQ(std::tuple(r.started, r.messages.size(), r.status, d.Hx.empty()),
            std::tuple(false, 0u, runmsg::RowsLeftOutStatus, true));
  host.leaveOut = true;
  r = Run();
  EXPECT_TRUE(r.started) << Refusal(r);
  FreeFieldArrays(d);

  // The only source outside the grid, the field from the sources alone: the sources'
  // refusal names the row, and nothing is asked.
  clear();
  lamped.sgSourses.SetCell(0, 1, "30");
  host.questions.clear();
  EXPECT_EQ(Refusal(Run()), "Ошибка: Источники напряжения не заданы, но поле задано от источников!\n"
                            "Не войдут в расчет:\nИсточники, строка 1: ячейка (30, 5, 5) вне счетного объема\n"
                            "Задайте источники в окне «Сосредоточенные элементы» или выберите другой «Источник "
                            "поля» на странице «Источник».");
  EXPECT_TRUE(host.questions.empty());
  // A blank source row is no source either.
  ClearGrid(lamped.sgSourses, mod);
  AddGridRow(lamped.sgSourses, mod);
  EXPECT_EQ(std::get<1>(Outcome()), runmsg::NoSourcesStatus);
}

// A row of `cells` added to a table of the run's.
void AddRow(StringGrid& g, std::initializer_list<const char*> cells) {
  std::atomic<uint8_t> mod{0};
  AddGridRow(g, mod);
  int c = 0;
  for (const char* t : cells) g.SetCell(c++, g.RowCount() - 1, t);
}

// A spark gap shares its edge with no other row a run uses, of any table and a direction
// in either case: refused naming both rows until they part. Rows the run leaves out and the
// cell's other edges share nothing.
TEST_F(RunStartTest, ASparkGapOnAnotherElementsEdgeIsRefusedNamingBothRows) {
  AddRow(lamped.sgRazraydnic, {"5", "5", "6", "100", "Z"});
  AddRow(lamped.sgInductor, {"5", "5", "6", "1e-3", "X"});
  AddRow(lamped.sgCapacitors, {"", "5", "6", "1e-12", "Z"});
  EXPECT_EQ(Refusal(Run()), "<none>");
  FreeFieldArrays(d);
  AddRow(lamped.sgResistors, {"5", "5", "6", "50", "z"});
  const auto [text, status, restore] = Outcome();
  EXPECT_EQ(status, "Разрядники, строка 1: на одном ребре со строкой 1 таблицы «Резисторы»");
  EXPECT_THAT(text, HasSubstr("с резистором в строке 1 таблицы «Резисторы» (ячейка (5, 5, 6), направление Z)"));
  EXPECT_TRUE(RefusalHolds(status, in, d, features, host));
  lamped.sgResistors.SetCell(4, 1, "Y");
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  // The source of the fixture's table at (5, 5, 5) and another gap on the first one's edge.
  AddRow(lamped.sgRazraydnic, {"5", "5", "5", "100", "Z"});
  EXPECT_EQ(std::get<1>(Outcome()), "Разрядники, строка 2: на одном ребре со строкой 1 таблицы «Источники»");
  lamped.sgRazraydnic.SetCell(2, 2, "6");
  EXPECT_EQ(std::get<1>(Outcome()), "Разрядники, строка 1: на одном ребре со строкой 2 таблицы «Разрядники»");
}

// A material in the model (with cells, switched on) whose value the run cannot use is
// refused naming the material and the column of the materials window; a value the run does
// not use under the page's boxes (mu, the Debye terms, the density) is not looked at.
TEST_F(RunStartTest, MaterialValuesNoRunCanUseAreRefusedByMaterialAndField) {
  MainSettings& s = in.settings;
  SetGridSize(d, s.spX, s.spY, s.spZ);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(3, 3, 3) = 2;
  tLayer& m = d.Layers[2];
  const tLayer water{0, 1, "Вода", 0.5, 81, 1.8, 9.4e-12, 1, 1000};
  auto outcome = [&](double tLayer::*field, double v) {
    m = water;
    m.*field = v;
    const auto [text, status, restore] = Outcome();
    if (status.empty()) FreeFieldArrays(d);
    EXPECT_TRUE(status.empty() || (restore && d.Hx.empty())) << text;
    return status.empty() ? std::string("started") : status;
  };
  const std::string eps = "Материал 2: недопустимое значение «Диэл.пр.(f=0)»";
  EXPECT_EQ(outcome(&tLayer::Sigma, -0.5), "Материал 2: недопустимое значение «Провод-сть(См/м)»");
  EXPECT_EQ(Refusal(Run()), "Материал 2 \"Вода\": «Провод-сть(См/м)» = -0.5 — проводимость не может быть "
                            "отрицательной: такой материал отдает энергию, и поле в расчете растет без "
                            "ограничения. Работа невозможна!\nИзмените «Провод-сть(См/м)» в строке 2 окна "
                            "материалов (меню «Окна» → «Материалы»).");
  // Beyond the 32-bit range the run's coefficients would be infinite.
  EXPECT_EQ(outcome(&tLayer::EpsStatic, 1e39), eps);
  EXPECT_NE(Refusal(Run()).find("«Диэл.пр.(f=0)» = 1E39 — значение вне диапазона"), std::string::npos);
  EXPECT_EQ(outcome(&tLayer::EpsStatic, 0), eps);
  EXPECT_EQ(outcome(&tLayer::EpsStatic, -2), eps);
  EXPECT_EQ(outcome(&tLayer::Sigma, 0), "started");
  EXPECT_EQ(outcome(&tLayer::EpsStatic, 3e38), eps);  // three of them overflow an edge's sum

  // mu, the Debye terms and the density count only where the run uses them.
  for (auto [box, field, v, column] :
       {std::tuple{&MainSettings::cbMagneticMaterals, &tLayer::Mu, 0.0, "Магн. пр."},
        {&MainSettings::cbBioMaterals, &tLayer::Tau, -1e-9, "T релакс, с"},
        {&MainSettings::cbBioMaterals, &tLayer::EpsInf, 0.0, "Диэл.пр.(f=~)"},
        {&MainSettings::cbEnergy, &tLayer::Density, 0.0, "Плотн, (кг/м3)"},
        {&MainSettings::cbEnergy, &tLayer::Density, -1000.0, "Плотн, (кг/м3)"}}) {
    SCOPED_TRACE(column);
    s.*box = false;
    EXPECT_EQ(outcome(field, v), "started");
    s.*box = true;
    EXPECT_EQ(outcome(field, v), std::string("Материал 2: недопустимое значение «") + column + "»");
    EXPECT_NE(Refusal(Run()).find("на странице «Геометрия»."), std::string::npos);
    s.*box = false;
  }
  // The high-frequency permittivity only where the Debye term is on: tau > 0, eps∞ != eps.
  s.cbBioMaterals = true;
  m.Tau = 0;
  m.EpsInf = 0;
  EXPECT_TRUE(Run().started);
  FreeFieldArrays(d);
  s.cbBioMaterals = false;

  // A material switched off, or with no cell in the grid, is not in the run.
  m.Sigma = -1;
  m.On = 0;
  EXPECT_TRUE(Run().started);
  m.On = 1;
  EXPECT_EQ(std::get<1>(Outcome()), "Материал 2: недопустимое значение «Провод-сть(См/м)»");
  d.Space(3, 3, 3) = 0;
  EXPECT_TRUE(Run().started);
  FreeFieldArrays(d);
}

// An E edge sums three of its cells' values in 32 bits: at a third of the float range a field
// in a block of such cells stays finite, just above it the start refuses; so it does below the
// least mu whose H coefficient is finite, and a density whose cells' mass is no normal float.
TEST_F(RunStartTest, MaterialValuesTheRunsSumsCannotHoldAreRefused) {
  MainSettings& s = in.settings;
  SetGridSize(d, s.spX, s.spY, s.spZ);
  ASSERT_TRUE(ResizeSpace(d));
  for (int i = 4; i <= 6; ++i)
    for (int j = 4; j <= 6; ++j)
      for (int k = 4; k <= 6; ++k) d.Space(i, j, k) = 2;
  tLayer& m = d.Layers[2];
  const double most = MaterialSumLimit, above = std::nextafter(most, 2 * most), least = LeastMu();
  // eps in a Debye medium too; eps∞ of a material without a Debye term counts under the box.
  // The least mu is stable only beside eps 1E38, with a step of 0.0005 ns.
  for (auto [box, field, outside, inside] :
       {std::tuple{&MainSettings::cbEnergy, &tLayer::EpsStatic, above, most},
        {&MainSettings::cbEnergy, &tLayer::Sigma, above, most},
        {&MainSettings::cbBioMaterals, &tLayer::EpsStatic, above, most},
        {&MainSettings::cbBioMaterals, &tLayer::EpsInf, above, most},
        {&MainSettings::cbMagneticMaterals, &tLayer::Mu, std::nextafter(least, 0.0), least}}) {
    s.*box = true;
    const bool mu = field == &tLayer::Mu;
    s.eddT = mu ? "0.0005" : "0.01";
    m = {0, 1, "m", 0.5, mu ? 1e38 : 2, 2, field == &tLayer::EpsInf ? 0 : 1e-11, 1, 1000};
    m.*field = outside;
    EXPECT_NE(std::get<1>(Outcome()).find("Материал 2: недопустимое значение"), std::string::npos) << inside;
    m.*field = inside;
    const RunStartResult r = Run();
    ASSERT_TRUE(r.started) << Refusal(r);
    d.Ex(5, 5, 5) = 1e-30f;  // weak: beside the least mu, H is 1E37 times E
    EXPECT_EQ(StepRun(r, nullptr, [] {}), RunEnd::Completed) << inside;
    s.*box = false;
  }
  s.cbEnergy = true;
  s.eddT = "0.01";
  m.Density = 1e-40;  // cells of 1 cm³
  const std::string text = Refusal(Run()), status = std::get<1>(Outcome());
  EXPECT_NE(text.find("«Плотн, (кг/м3)» = 1E-40 — плотность меньше 1.1754944E-32: масса ячейки"), std::string::npos);
  EXPECT_TRUE(RefusalHolds(status, in, d, features, host));
  s.edX = s.edY = s.edZ = "100";  // cells of 1E6 m³ weigh enough
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  s.edX = s.edY = s.edZ = "0.01";
  m.Density = 1.1754944E-32;
  EXPECT_TRUE(Run().started);
  FreeFieldArrays(d);
}

// Every refusal's status names its own cause, and holds exactly while that cause does: an
// unrelated change, or another refusal's cause coming up, keeps it; mending it ends it. A
// failure to reserve memory holds until anything changes.
TEST_F(RunStartTest, ARefusalHoldsUntilItsCauseIsMended) {
  std::atomic<uint8_t> mod{0};
  std::string status;
  auto refuse = [&] {
    status = std::get<1>(Outcome());
    EXPECT_FALSE(status.empty());
    return status;
  };
  auto holds = [&] { return RefusalHolds(status, in, d, features, host); };
  MainSettings& s = in.settings;

  // A lumped element's value.
  AddGridRow(lamped.sgResistors, mod);
  for (auto [c, t] : {std::pair{0, "5"}, {1, "5"}, {2, "6"}, {3, "-100"}, {4, "Z"}}) lamped.sgResistors.SetCell(c, 1, t);
  EXPECT_EQ(refuse(), "Резисторы, строка 1: неверное значение «R, Ом»");
  s.edIncAngle = "abc";  // another cause comes up: this one still stands
  EXPECT_TRUE(holds());
  s.edIncAngle = "0";
  lamped.sgResistors.SetCell(3, 1, "100");
  EXPECT_FALSE(holds());

  // A row left out when the user said "Нет".
  lamped.sgResistors.SetCell(0, 1, "30");
  host.leaveOut = false;
  EXPECT_EQ(refuse(), runmsg::RowsLeftOutStatus);
  EXPECT_TRUE(holds());
  lamped.sgResistors.SetCell(0, 1, "5");
  EXPECT_FALSE(holds());
  host.leaveOut = true;

  // No source where the field comes from the sources alone.
  lamped.sgSourses.SetCell(3, 1, "x");
  EXPECT_EQ(refuse(), "Источники, строка 1: неверное значение «R, Ом»");
  lamped.sgSourses.SetCell(3, 1, "50");
  EXPECT_FALSE(holds());
  lamped.sgSourses.SetCell(2, 1, "10");  // on the grid's last node plane: left out
  EXPECT_EQ(refuse(), runmsg::NoSourcesStatus);
  EXPECT_TRUE(holds());
  s.rgSources = SourceTFSF;  // another source of the field mends it
  EXPECT_FALSE(holds());
  s.rgSources = SourceInternalOnly;
  lamped.sgSourses.SetCell(2, 1, "5");

  // The signal window's parameters.
  host.signalOk = false;
  EXPECT_EQ(refuse(), runmsg::BadSignalStatus);
  EXPECT_TRUE(holds());
  host.signalOk = true;
  EXPECT_FALSE(holds());

  // Settings: the angle holds while a grid too small comes up, and goes once it is a number.
  s.edIncAngle = "abc";
  EXPECT_EQ(refuse(), runmsg::BadAngleStatus);
  s.spY = 1;
  EXPECT_TRUE(holds());
  s.edIncAngle = "45";
  EXPECT_FALSE(holds());
  s.spY = 10;

  // A material's value, then a material faster than the step allows.
  SetGridSize(d, s.spX, s.spY, s.spZ);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(3, 3, 3) = 1;
  d.Layers[1] = {0, 1, "m", -0.5, 0.25, 0.25, 0, 1, 1000};
  s.eddT = "0.015";  // below the vacuum limit 0.019258 ns, above eps = 0.25's
  EXPECT_EQ(refuse(), "Материал 1: недопустимое значение «Провод-сть(См/м)»");
  EXPECT_TRUE(holds());
  d.Layers[1].Sigma = 0;
  EXPECT_FALSE(holds());
  EXPECT_EQ(refuse(), "Шаг по времени больше предела устойчивости материала 1");
  EXPECT_TRUE(holds());
  d.Layers[1].EpsStatic = d.Layers[1].EpsInf = 1;
  EXPECT_FALSE(holds());
  d.Layers[1].EpsStatic = 0.25;
  s.eddT = "0.009";
  EXPECT_FALSE(holds());
  d.Space(3, 3, 3) = 0;

  // The far field with the external field, and its box.
  features = AvailableRunFeatures();
  s.cbFarPoints = true;
  s.rgSources = SourceExternalField;
  EXPECT_EQ(refuse(), runmsg::FarFieldWithExternalStatus);
  EXPECT_TRUE(holds());
  s.rgSources = SourceInternalOnly;
  EXPECT_FALSE(holds());
  s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 1;  // the sums would read outside the grid
  s.spFarXmax = s.spFarYmax = s.spFarZmax = 8;
  EXPECT_EQ(refuse(), runmsg::BadFarFieldStatus);
  EXPECT_TRUE(holds());
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 2;
  EXPECT_FALSE(holds());
  s.cbFarPoints = false;

  // Memory that could not be reserved: gone at the first look.
  d.MemoryLimitBytes = 1000;
  EXPECT_EQ(refuse(), runmsg::AllocFailed);
  EXPECT_FALSE(holds());
  d.MemoryLimitBytes = 0;
  features.FreeRunFeatures(d);
}

// The signal's values against the run: refused before the first step, what was reserved
// freed; the status holds until the step the frequency is measured against is mended.
TEST_F(RunStartTest, SignalValuesNoRunCanUse) {
  SignalSettings sig;
  sig.Params.SinFreq = 6e10;  // steps of 0.01 ns sample up to 5E10 Hz, of 0.005 ns up to 1E11 Hz
  host.signal = &sig;
  const auto [text, status, restore] = Outcome();
  EXPECT_EQ(status, "Сигнал: недопустимое значение «Частота, Гц:»");
  EXPECT_TRUE(restore && d.Hx.empty() && RefusalHolds(status, in, d, features, host));
  in.settings.eddT = "0.005";
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  EXPECT_EQ(Refusal(Run()), "<none>");
}

// An inductor below the bound of its update is refused before the first step, naming the
// table, the row, the column, the least L that the cells and the step allow and what to
// change; that L itself starts. An inductor on the next edge shares the margin and is
// named; a place too near a Mur face is refused whatever the L. Each status line holds
// until its cause is mended.
TEST_F(RunStartTest, InductorsBelowTheirUpdatesBoundOrBesideAMurFaceAreRefused) {
  MainSettings& s = in.settings;
  s.edX = s.edY = s.edZ = "0.01";
  s.eddT = "0.0192";  // a new project's cells and step
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC};
  std::atomic<uint8_t> mod{0};
  StringGrid& g = lamped.sgInductor;
  AddGridRow(g, mod);
  for (auto [c, t] : {std::pair{0, "4"}, {1, "5"}, {2, "5"}, {3, "2e-9"}, {4, "z"}}) g.SetCell(c, 1, t);
  const std::string where =
      "\nИзмените «L, Гн» в строке 1 таблицы «Индуктивности» окна «Сосредоточенные элементы» (меню «Окна») или "
      "«Шаг по времени, нс:» и «Размер ячейки, м:» на странице «Геометрия».";
  EXPECT_EQ(Outcome(), std::tuple("Индуктивность в строке 1 таблицы «Индуктивности»: «L, Гн» = 2e-9 меньше предела "
                                  "устойчивости 2.304E-9 Гн при ячейке 0.01 x 0.01 x 0.01 м и шаге по времени 0.0192 "
                                  "нс: с меньшей L поле в расчете растет без ограничения. Работа невозможна!\nУвеличьте "
                                  "L до 2.304E-9 Гн или больше, или уменьшите шаг по времени (вдвое меньший шаг снижает предел L "
                                  "в 4-8 раз), или уменьшите ячейки вместе с шагом." + where,
                                  "Индуктивности, строка 1: «L, Гн» ниже предела устойчивости", true));
  const std::string status = std::get<1>(Outcome());
  EXPECT_TRUE(RefusalHolds(status, in, d, features, host));
  s.eddT = "0.0096";  // half the step: the bound falls below 2e-9
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  s.eddT = "0.0192";
  g.SetCell(3, 1, "2.304E-9");  // the L the message names
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  EXPECT_TRUE(Run().started);

  // On the next edge along x, beside an inductor of 1e-8 H, that L no longer holds.
  g.SetCell(3, 1, "1e-8");
  AddGridRow(g, mod);
  for (auto [c, t] : {std::pair{0, "5"}, {1, "5"}, {2, "5"}, {3, "2.304E-9"}, {4, "Z"}}) g.SetCell(c, 2, t);
  const std::string pair = Refusal(Run());
  EXPECT_NE(pair.find("«L, Гн» = 2.304E-9 меньше предела устойчивости 2.355E-9 Гн рядом с индуктивностью в строке 1 при ячейке "), std::string::npos) << pair;
  EXPECT_NE(pair.find("(одна она допускала бы 2.304E-9 Гн)"), std::string::npos) << pair;
  ClearGrid(g, mod);
  AddGridRow(g, mod);

  // Beside a Mur face.
  s.ComboBox[5] = BorderMur;  // X=1
  for (auto [c, t] : {std::pair{0, "3"}, {1, "5"}, {2, "5"}, {3, "1"}, {4, "Y"}}) g.SetCell(c, 1, t);
  EXPECT_EQ(Outcome(), std::tuple("Индуктивность в строке 1 таблицы «Индуктивности» слишком близко к грани X=1 с "
                                  "условием \"Mur's ABC (1st order)\": между ее ребром и гранью 2 ячейки, а нужно не меньше 4 "
                                  "ячеек при любой «L, Гн». Такая грань достраивает поле по соседним плоскостям как волну, "
                                  "уходящую от грани; ближнее поле индуктивности — не такая волна, грань возвращает его "
                                  "чуть усиленным, и за десятки тысяч шагов поле в расчете вырастает без ограничения. "
                                  "Работа невозможна!\nОтодвиньте "
                                  "индуктивность от грани (столбцы «X», «Y», «Z» в строке 1 таблицы «Индуктивности» окна "
                                  "«Сосредоточенные элементы», меню «Окна») или задайте грани X=1 условие \"PML "
                                  "(Perfectly Matched Layer)\" («Граничные условия» на странице «Гранич. услов.»).",
                                  "Индуктивности, строка 1: слишком близко к грани X=1", true));
  const std::string face = std::get<1>(Outcome());
  EXPECT_TRUE(RefusalHolds(face, in, d, features, host));
  g.SetCell(3, 1, "2.5e-9");  // near the bound the mode reaches as far: the same distance
  EXPECT_TRUE(RefusalHolds(face, in, d, features, host));
  g.SetCell(3, 1, "1");
  g.SetCell(0, 1, "5");
  EXPECT_FALSE(RefusalHolds(face, in, d, features, host));
  EXPECT_TRUE(Run().started);

  // Far from the faces, Mur's faces and the step right at its limit: refused; 0.998 of it runs.
  s.ComboBox = {BorderMur, BorderMur, BorderMur, BorderMur, BorderMur, BorderMur};
  s.spX = s.spY = s.spZ = 21;
  for (auto [c, t] : {std::pair{0, "10"}, {1, "10"}, {2, "10"}, {3, "5e-9"}, {4, "z"}}) g.SetCell(c, 1, t);
  s.eddT = "0.0192583";
  const auto [limitText, limitStatus, limitRestore] = Outcome();
  EXPECT_EQ(limitStatus, "Индуктивности, строка 1: шаг по времени у самого предела при условии \"Mur's ABC (1st order)\"");
  EXPECT_THAT(limitText, HasSubstr("на странице «Геометрия» до 0.01921 нс или меньше"));
  EXPECT_TRUE(RefusalHolds(limitStatus, in, d, features, host));
  s.eddT = "0.01921";
  EXPECT_FALSE(RefusalHolds(limitStatus, in, d, features, host));
  EXPECT_TRUE(Run().started);
  s.eddT = "0.0192583";
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC};  // a closed box at the limit runs
  EXPECT_TRUE(Run().started);
}

// An element along the plane of a face is refused whatever the face's condition: every one
// sets those edges itself. Each element kind is named by its table and row, the face and
// its condition; an edge across the face (from node 1 inwards) runs. Outputs that read what
// a face fixes are warned about: E along a PEC plane and a voltage line lying in it stay 0,
// a current probe on the first plane of another face loses part of its loop.
TEST_F(RunStartTest, ElementsOnAFacesPlaneAreRefusedAndOutputsThereWarned) {
  features = AvailableRunFeatures();
  MainSettings& s = in.settings;
  s.edX = s.edY = s.edZ = "0.01";
  s.eddT = "0.0192";
  s.spCenterI = s.spCenterJ = s.spCenterK = 5;
  StringGrid& src = lamped.sgSourses;
  src.SetCell(0, 1, "1");  // Ez at X=1
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderSymE};
  const auto [text, status, restore] = Outcome();
  EXPECT_EQ(std::tuple(status, restore), std::tuple("Источники, строка 1: на плоскости грани X=1", false));
  for (const char* part : {"Источник напряжения в строке 1 таблицы «Источники» лежит на плоскости грани X=1 с "
                           "условием \"Symmetry for E\": ребро Z ячейки (1, 5, 5) идет вдоль грани",
                           "Перенесите элемент внутрь объема: «X» = 2 или больше.",
                           "Зеркало грани симметрии лежит посередине между плоскостями X=1 и X=2"})
    EXPECT_THAT(text, HasSubstr(part));
  for (const int kind : {BorderPEC, BorderMur, BorderDissipation, BorderRTABC, BorderPML, BorderSymE, BorderSymH}) {
    s.ComboBox[5] = kind;
    EXPECT_TRUE(RefusalHolds(status, in, d, features, host)) << kind;
  }
  src.SetCell(4, 1, "X");  // across the face: the edge from node 1 to node 2
  EXPECT_FALSE(RefusalHolds(status, in, d, features, host));
  EXPECT_EQ(Refusal(Run()), "<none>");
  // RT-ABC hands an element's field across its outer planes back stronger: from node 1 or
  // N-1 across it an element is refused, one cell in runs, a spark gap may touch it.
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderRTABC, BorderRTABC};
  for (const auto& [x, face, advice] : {std::tuple{"1", "X=1", "«X» = 2 или"}, {"9", "X=max", "«X» = 8 или"}}) {
    src.SetCell(0, 1, x);
    const auto [rtText, rtStatus, rtRestore] = Outcome();
    EXPECT_EQ(rtStatus, std::string("Источники, строка 1: касается грани ") + face + " с условием \"RT-ABC\"");
    EXPECT_THAT(rtText, HasSubstr(std::string("Перенесите элемент внутрь: ") + advice));
    EXPECT_TRUE(RefusalHolds(rtStatus, in, d, features, host));
  }
  src.SetCell(0, 1, "1");
  src.SetCell(4, 1, "Z");  // on its plane: the advice names the nearest place that runs
  EXPECT_THAT(std::get<0>(Outcome()), HasSubstr("ближе всего — направление X при «X» = 2."));
  src.SetCell(0, 1, "2");
  src.SetCell(4, 1, "X");
  AddRow(lamped.sgRazraydnic, {"1", "5", "5", "1e3", "X"});
  EXPECT_EQ(Refusal(Run()), "<none>");
  AddRow(lamped.sgCapacitors, {"9", "4", "4", "1e-12", "X"});
  EXPECT_EQ(std::get<1>(Outcome()), "Конденсаторы, строка 1: касается грани X=max с условием \"RT-ABC\"");
  std::atomic<uint8_t> cleared{0};
  ClearGrid(lamped.sgRazraydnic, cleared);
  ClearGrid(lamped.sgCapacitors, cleared);
  src.SetCell(0, 1, "1");
  s.ComboBox = {BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderPEC, BorderSymH};
  // Every kind of element, on the plane Y=1 (edges along X), by its own table.
  std::atomic<uint8_t> mod{0};
  for (const auto& [g, name] : {std::pair{&lamped.sgResistors, "Резисторы"}, {&lamped.sgCapacitors, "Конденсаторы"},
                                {&lamped.sgRazraydnic, "Разрядники"}, {&lamped.sgInductor, "Индуктивности"}}) {
    AddRow(*g, {"5", "1", "5", "1e-6", "x"});
    EXPECT_EQ(std::get<1>(Outcome()), std::string(name) + ", строка 1: на плоскости грани Y=1");
    ClearGrid(*g, mod);
  }

  // Outputs: none warned across a face or off its plane.
  auto warning = [&] {
    const RunStartResult r = Run();
    EXPECT_TRUE(r.started) << Refusal(r);
    for (const RunStartMessage& m : r.messages)
      if (m.text.rfind("Предупреждение: эти выходы", 0) == 0) return m.text;
    return std::string();
  };
  s.ComboBox[5] = BorderPEC;
  AddRow(outputs.sgOutPoint, {"E", "X", "1", "5", "5", "n.srg"});
  AddRow(outputs.sgVoltage, {"1", "5", "5", "2", "5", "7", "u.grf"});
  AddRow(outputs.sgCurrent, {"1", "4", "4", "1", "6", "6", "i.grf"});
  EXPECT_EQ(warning(), "");
  AddRow(outputs.sgOutPoint, {"E", "Z", "1", "5", "5", "z.srg"});
  AddRow(outputs.sgOutPoint, {"I", "Z", "1", "5", "5", "i.srg"});  // beyond a PEC wall H is 0 indeed
  AddRow(outputs.sgVoltage, {"1", "5", "5", "1", "5", "7", "w.grf"});
  const std::string pec = warning();
  EXPECT_THAT(pec, HasSubstr("«Одиночные точки», строка 2 (Ez в ячейке (1, 5, 5)): ребро вдоль плоскости грани X=1"));
  EXPECT_THAT(pec, HasSubstr("«Разности потенциалов», строка 2: все ребра линии лежат на плоскости грани X=1"));
  EXPECT_THAT(pec, Not(HasSubstr("Iz в ячейке")));
  s.ComboBox[5] = BorderMur;
  const std::string mur = warning();
  EXPECT_THAT(mur, HasSubstr("«Одиночные точки», строка 3 (Iz в ячейке (1, 5, 5)): часть контура тока лежит за "
                             "плоскостью грани X=1 с условием \"Mur's ABC (1st order)\""));
  EXPECT_THAT(mur, Not(HasSubstr("Ez в ячейке")));  // Mur's sets it, not to 0
}

// Output rows no run can use are refused before anything is reserved, by table, row and
// what to type, until mended; rows a run would leave out are asked about.
TEST_F(RunStartTest, OutputRowsNoRunCanUseAreRefusedByTableAndRow) {
  std::atomic<uint8_t> mod{0};
  auto clearAll = [&] {
    for (StringGrid* g : {&outputs.sgOutPoint, &outputs.sgCurrent, &outputs.sgVoltage}) ClearGrid(*g, mod);
  };
  struct Case {
    StringGrid OutPointTables::*grid;
    std::initializer_list<const char*> cells;
    const char* says;  // in the refusal
  };
  const Case cases[] = {
      {&OutPointTables::sgOutPoint, {"Z", "", "2", "2", "2", "probe"}, "«Что» = \"Z\""},
      {&OutPointTables::sgOutPoint, {"E", "Q", "2", "2", "2", "probe"}, "«Направл» = \"Q\""},
      {&OutPointTables::sgOutPoint, {"E", "X", "2", "", "2", "probe"}, "«Y» = \"\""},
      {&OutPointTables::sgOutPoint, {"E", "X", "2", "2", "2", "a/b"}, "имя файла \"a/b\""},
      {&OutPointTables::sgCurrent, {"2", "2", "2", "5", "5", "5", "ireg"}, "не ортогонален"},
      {&OutPointTables::sgCurrent, {"2", "2", "2", "2", "2", "5", "ireg"}, "отрезок или точка"},
      {&OutPointTables::sgCurrent, {"2", "x", "2", "2", "5", "5", "ireg"}, "«Y1» = \"x\""},
      {&OutPointTables::sgVoltage, {"3", "3", "3", "3", "3", "3", "u"}, "начало и конец линии совпадают"},
      {&OutPointTables::sgVoltage, {"3", "3", "3", "4", "3", "3", ".."}, "имя файла \"..\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    AddRow(outputs.*c.grid, c.cells);
    host.calls.clear();
    const RunStartResult r = Run();
    ASSERT_NE(r.refusal(), nullptr);
    EXPECT_THAT(r.refusal()->text, AllOf(HasSubstr(c.says), HasSubstr("в строке 1 таблицы «")));
    // Nothing reserved, no file opened.
    EXPECT_EQ(std::tuple(r.restore, std::count(host.calls.begin(), host.calls.end(), "outputs")), std::tuple(false, 0));
    EXPECT_TRUE(RefusalHolds(r.status, in, d, features, host));
    clearAll();
    EXPECT_FALSE(RefusalHolds(r.status, in, d, features, host));
  }
  // Two rows of two tables on one file, refused naming the earlier; without files they pass.
  AddRow(outputs.sgOutPoint, {"E", "X", "2", "2", "2", "same.grf"});
  AddRow(outputs.sgVoltage, {"3", "3", "3", "4", "3", "3", "SAME"});
  EXPECT_THAT(std::get<0>(Outcome()), HasSubstr("уже пишет строка 1 таблицы «Одиночные точки»"));
  outputs.cbNoWriteFile = true;
  EXPECT_EQ(std::get<0>(Outcome()), "<none>");
  outputs.cbNoWriteFile = false;

  // Rows a run leaves out: asked, named; «Нет» cancels with its status, «Да» runs.
  clearAll();
  AddRow(outputs.sgOutPoint, {"E", "X", "2", "2", "20", "far"});
  AddRow(outputs.sgCurrent, {"2", "2", "2", "2", "5", "5", ""});
  host.leaveOut = false;
  host.questions.clear();
  EXPECT_EQ(Outcome(), std::tuple(std::string("<none>"), std::string(runmsg::OutputRowsLeftOutStatus), false));
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_THAT(host.questions[0], AllOf(HasSubstr("Одиночные точки, строка 1: ячейка (2, 2, 20) вне пределов"),
                                       HasSubstr("Токовые регионы, строка 1: не задано имя файла")));
  host.leaveOut = true;
  EXPECT_TRUE(Run().started);
}
