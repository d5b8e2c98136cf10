// The run's energy watch: a grid whose energy outgrows what its sources could give is
// stopped as diverged long before its values turn INF; sound runs are not stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "project/gridsettings.h"
#include "project/runstart.h"
#include "solver/constants.h"
#include "solver/growthwatch.h"
#include "solver/run_fixture.h"

using namespace rv;

namespace {

struct Host : RunStartHost, RunCallbacks {
  ElementArrays el;
  SignalSettings sig;
  std::vector<std::string> LoadElementArrays(const SolverData&, ElementArrays& a) override { a = el; return {}; }
  bool RunSignal(SignalSettings& s) override { s = sig; return true; }
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

// A 16^3 box of 1 mm cells at the step's limit through the run start, a 50 ps Gaussian of
// 1 V; `across` joins the run's resistors past the start's checks, `init` sets fields.
struct Box {
  std::array<int, 6> faces;
  int source = SourceInternalOnly;
  ElementArrays el{};
  std::vector<tLumpedElement> across{};
  bool watch = true;
  std::function<void(SolverData&)> model{}, init{};
  RunOutcome o{};
  double worst = 0, largest = 0;  // energy / bound at most; the largest |E| at the end
  std::vector<double> energy{};   // every 100 steps

  void Run(int steps) {
    auto d = std::make_unique<SolverData>();
    OutPointTables out;
    LampedTables lamped;
    RunStartInputs in;
    in.outputs = &out;
    in.lamped = &lamped;
    in.totalPhysBytes = 8ull << 30;
    MainSettings& s = in.settings;
    s.spX = s.spY = s.spZ = 16;
    s.edX = s.edY = s.edZ = "0.001";
    s.ComboBox = faces;
    s.rgSources = source;
    s.spFarXmin = s.spFarYmin = s.spFarZmin = 5;
    s.spFarXmax = s.spFarYmax = s.spFarZmax = 11;
    s.spCenterI = s.spCenterJ = s.spCenterK = 8;
    s.sePMLCount = 6, s.seStepCount = steps, s.cbMagneticMaterals = true;
    s.eddT = ComputeGridSettings(s, 1, 0).eddT;
    std::atomic<uint8_t> mod{0};
    if (!el.VoltageSources.empty()) {  // the row the start looks for; the host lends el
      AddGridRow(lamped.sgSourses, mod);
      for (auto [c, t] : {std::pair{0, "8"}, {1, "8"}, {2, "8"}, {3, "50"}, {4, "Z"}}) lamped.sgSourses.SetCell(c, 1, t);
    }
    SetGridSize(*d, 16, 16, 16);
    ResizeSpace(*d);
    if (model) model(*d);
    Host host;
    host.el = el;
    host.sig.Kind = SigGauss;
    host.sig.Params.GaussWidth = 50e-12;
    RunFeatures features = AvailableRunFeatures();
    const RunStartResult r = StartRun(*d, in, host, features);
    ASSERT_TRUE(r.started) << (r.refusal() ? r.refusal()->text : r.status);
    ElementArrays all = r.run.elements;
    all.Resistors.insert(all.Resistors.end(), across.begin(), across.end());
    SignalSource signal(host.sig);
    RunKernels k;
    k.WatchGrowth = watch;
    RunSettings rs = r.run.settings;
    k.Centre = tScatterCentre{rs.CenterI, rs.CenterJ, rs.CenterK};
    ASSERT_TRUE(PrepareRunKernels(*d, all, &signal, k));
    if (init) init(*d);
    StepHooks h = DefaultStepHooks(*d, k);
    rs.Signal = &signal;
    features.AddStepHooks(*d, rs, h);
    std::vector<double> planes;
    h.DrawSlices = [&](int step, double) {
      if (step % 100 == 37) energy.push_back(StoredEnergy(*d, k.Cache, k.Lumped, planes));
    };
    runtest::OneThread one;
    d->Stopped = 0;
    o = RunTimeLoop(*d, h, host);
    worst = k.Growth.WorstRatio;
    largest = LargestField(*d).Value;
    features.FreeRunFeatures(*d);
  }
};

std::array<int, 6> All(int kind) { return {kind, kind, kind, kind, kind, kind}; }

}  // namespace

// A lossless box's mode (eps 4, mu 2) holds its energy; no run holds more than its sources
// could give with any face or element kind, or a plane wave. A resistor across an RT-ABC face
// feeds the grid: the watch stops it while the field is small; unwatched it reaches 1e12 V/m.
TEST(GrowthWatch, RunawayEnergyStopsTheRunAndSoundRunsRunToTheEnd) {
  {
    Box b{All(BorderPEC)};  // the TM110 mode, 5 GHz; a source of 1e12 Ohm takes out nothing
    b.el.VoltageSources.push_back(tVoltageSource{8, 8, 8, 'Z', 1e12, '+'});
    b.model = [](SolverData& d) {
      d.Layers[1] = tLayer{0, 1, "диэлектрик", 0, 4, 4, 0, 2, 1000};
      for (size_t n = 0; n < d.Space.size(); ++n) d.Space.data()[n] = 1;
    };
    b.init = [](SolverData& d) {
      for (int i = 2; i <= 15; ++i)
        for (int j = 2; j <= 15; ++j)
          for (int k = 1; k <= 15; ++k) d.Ez(i, j, k) = float(std::sin(M_PI * (i - 1) / 15) * std::sin(M_PI * (j - 1) / 15));
    };
    b.Run(1000);
    ASSERT_EQ(b.o.End, RunEnd::Completed) << b.o.Error;
    // The sum takes E and H half a step apart: it swings by omega dt (0.061) about the
    // conserved value. A wrong eps or mu would swing it by a factor of 2 to 4.
    const double wdt = 2 * M_PI * double(LightSpeed) * std::sqrt(2.0) / (2 * 0.015 * std::sqrt(8.0)) * 1.9258e-12;
    const auto [lo, hi] = std::minmax_element(b.energy.begin(), b.energy.end());
    EXPECT_EQ(b.energy.size(), 10u);
    EXPECT_TRUE(*hi / *lo > 1 + wdt / 2 && *hi / *lo < 1 + 1.2 * wdt) << *hi / *lo;
    EXPECT_LT(b.worst, 1 + wdt);
  }
  ElementArrays el;
  el.VoltageSources.push_back(tVoltageSource{8, 8, 8, 'Z', 50, '+'});
  el.Resistors.push_back(tLumpedElement{8, 5, 8, 'Z', 100});
  el.Capacitors.push_back(tLumpedElement{5, 8, 8, 'Y', 1e-12});
  el.Inductors.push_back(tInductor{11, 8, 8, 'Z', 1e-8, 0});
  el.SparkGaps.push_back(tSparkGap{8, 11, 8, 0.3, 'X', 0});
  std::array<int, 6> sym = All(BorderMur);
  sym[FaceX1 - 1] = BorderSymH;
  sym[FaceY1 - 1] = BorderSymE;
  for (const auto& faces : {All(BorderPEC), All(BorderMur), All(BorderDissipation), All(BorderRTABC), All(BorderPML), sym})
    for (int source : {SourceInternalOnly, SourceTFSF, SourceExternalField}) {
      if (source != SourceInternalOnly && faces != All(BorderPML)) continue;
      SCOPED_TRACE(std::to_string(faces[0]) + " " + std::to_string(source));
      Box b{faces, source, source == SourceInternalOnly ? el : ElementArrays{}};
      b.Run(1200);
      ASSERT_EQ(b.o.End, RunEnd::Completed) << b.o.Error;
      EXPECT_TRUE(b.worst > 1e-3 && b.worst < 1) << b.worst;
    }

  Box grows{All(BorderRTABC)};
  grows.el.VoltageSources.push_back(el.VoltageSources[0]);
  grows.across.push_back(tLumpedElement{1, 8, 8, 'X', 10});
  Box unwatched = grows;
  grows.Run(600);
  ASSERT_EQ(grows.o.End, RunEnd::Diverged) << grows.o.Error;
  EXPECT_TRUE(grows.o.DivergedStep < 300 && grows.largest < 1e5) << grows.o.DivergedStep << " " << grows.largest;
  EXPECT_EQ(grows.o.Error.rfind("Расчет расходится: на шаге " + std::to_string(grows.o.DivergedStep) + " энергия поля ", 0), 0u);
  EXPECT_NE(grows.o.Error.find("в ячейке ("), std::string::npos) << grows.o.Error;
  unwatched.watch = false;
  unwatched.Run(600);
  EXPECT_TRUE(unwatched.o.End == RunEnd::Diverged || unwatched.largest > 1e12) << unwatched.largest;
}
