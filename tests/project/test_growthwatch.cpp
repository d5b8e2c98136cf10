// The run's energy watch: a grid whose energy outgrows what its sources could give is
// stopped as diverged long before its values turn INF, and sound runs of every element and
// face kind are not stopped.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "project/gridsettings.h"
#include "project/runfeatures.h"
#include "project/runstart.h"
#include "project/signalsource.h"
#include "solver/constants.h"
#include "solver/growthwatch.h"
#include "solver/numtext.h"
#include "solver/runsetup.h"
#include "solver/timeloop.h"

using namespace rv;

namespace {

struct Host : RunStartHost {
  ElementArrays el;
  SignalSettings sig;
  std::vector<std::string> LoadElementArrays(const SolverData&, ElementArrays& a) override {
    a = el;
    return {};
  }
  bool RunSignal(SignalSettings& s) override {
    s = sig;
    return true;
  }
};

struct Quiet : RunCallbacks {
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

struct BoxRun {
  RunOutcome o;
  double worst = 0;    // energy / bound, the most the run saw
  double largest = 0;  // the largest |E| when the run ended
  std::string refusal;
  std::vector<double> energy;  // every 100 steps
};

// n^3 nodes of 1 mm cells, one face kind (or `faces`), the step at the limit, a 50 ps
// Gaussian of 1 V. `extra` joins the run's elements after the start's checks.
BoxRun RunBox(std::array<int, 6> faces, int source, const ElementArrays& el, int steps,
           const ElementArrays& extra = {}, bool watch = true,
           const std::function<void(SolverData&)>& model = nullptr,
           const std::function<void(SolverData&)>& init = nullptr) {
  BoxRun res;
  auto d = std::make_unique<SolverData>();
  OutPointTables out;
  LampedTables lamped;
  RunStartInputs in;
  MainSettings& s = in.settings;
  s.spX = s.spY = s.spZ = 16;
  s.edX = s.edY = s.edZ = "0.001";
  s.ComboBox = faces;
  s.rgSources = source;
  s.spFarXmin = s.spFarYmin = s.spFarZmin = 5;
  s.spFarXmax = s.spFarYmax = s.spFarZmax = 11;
  s.sePMLCount = 6;
  s.spCenterI = s.spCenterJ = s.spCenterK = 8;
  s.seStepCount = steps;
  s.cbMagneticMaterals = true;
  s.eddT = ComputeGridSettings(s, 1, 0).eddT;
  if (!el.VoltageSources.empty()) {  // the tables' row the start looks for; the host lends el
    std::atomic<uint8_t> mod{0};
    AddGridRow(lamped.sgSourses, mod);
    for (auto [c, t] : {std::pair{0, "8"}, {1, "8"}, {2, "8"}, {3, "50"}, {4, "Z"}}) lamped.sgSourses.SetCell(c, 1, t);
  }
  in.outputs = &out;
  in.lamped = &lamped;
  in.totalPhysBytes = 8ull << 30;
  SetGridSize(*d, s.spX, s.spY, s.spZ);
  ResizeSpace(*d);
  if (model) model(*d);
  Host host;
  host.el = el;
  host.sig.Kind = SigGauss;
  host.sig.Params.GaussWidth = 50e-12;
  RunFeatures features = AvailableRunFeatures();
  const RunStartResult r = StartRun(*d, in, host, features);
  if (!r.started) {
    res.refusal = r.refusal() ? r.refusal()->text : r.status;
    return res;
  }
  ElementArrays all = r.run.elements;
  all.Resistors.insert(all.Resistors.end(), extra.Resistors.begin(), extra.Resistors.end());
  all.VoltageSources.insert(all.VoltageSources.end(), extra.VoltageSources.begin(), extra.VoltageSources.end());
  all.Inductors.insert(all.Inductors.end(), extra.Inductors.begin(), extra.Inductors.end());
  SignalSource signal(host.sig);
  RunKernels k;
  k.WatchGrowth = watch;
  RunSettings rs = r.run.settings;
  k.Centre = tScatterCentre{rs.CenterI, rs.CenterJ, rs.CenterK};
  k.Wave.IncAngle = rs.IncAngle;
  if (!PrepareRunKernels(*d, all, &signal, k)) {
    res.refusal = "kernels";
    return res;
  }
  if (init) init(*d);
  StepHooks h = DefaultStepHooks(*d, k);
  rs.Signal = &signal;
  features.AddStepHooks(*d, rs, h);
  std::vector<double> planes;
  h.DrawSlices = [&](int step, double) {
    if (step % 100 == 37) res.energy.push_back(StoredEnergy(*d, k.Cache, k.Lumped, planes));
  };
  const int threads = omp_get_max_threads();
  omp_set_num_threads(1);
  Quiet cb;
  d->Stopped = 0;
  res.o = RunTimeLoop(*d, h, cb);
  omp_set_num_threads(threads);
  res.worst = k.Growth.WorstRatio;
  res.largest = LargestField(*d).Value;
  features.FreeRunFeatures(*d);
  return res;
}

std::array<int, 6> All(int kind) { return {kind, kind, kind, kind, kind, kind}; }

}  // namespace

// Physics: with the sources silent, a closed lossless box (PEC faces) keeps its energy, so
// the sum (eps and mu of each edge and face, a dielectric and a magnetic block, an LC pair)
// stays constant while E, H and the elements trade it; a run never holds more than the
// sources could give (energy / bound below 1) with any face or element kind, or a plane
// wave. A resistor across an RT-ABC face (let past the start) feeds the grid: the watch stops
// it, naming the step and the cell, while its field is still small; without the watch the
// same run reaches 1e12 V/m.
TEST(GrowthWatch, RunawayEnergyStopsTheRunAndSoundRunsRunToTheEnd) {
  ElementArrays el;
  el.VoltageSources.push_back(tVoltageSource{8, 8, 8, 'Z', 50, '+'});
  el.Resistors.push_back(tLumpedElement{8, 5, 8, 'Z', 100});
  el.Capacitors.push_back(tLumpedElement{5, 8, 8, 'Y', 1e-12});
  el.Inductors.push_back(tInductor{11, 8, 8, 'Z', 1e-8, 0});
  el.SparkGaps.push_back(tSparkGap{8, 11, 8, 0.3, 'X', 0});

  {
    SCOPED_TRACE("closed box");
    // The TM110 mode of the box filled with eps 4, mu 2 (5 GHz, 100 steps a period), its
    // source of 1e12 Ohm taking out nothing: E and H trade the energy, the sum holds.
    ElementArrays far;
    far.VoltageSources.push_back(tVoltageSource{8, 8, 8, 'Z', 1e12, '+'});
    const BoxRun r = RunBox(All(BorderPEC), SourceInternalOnly, far, 1000, {}, true, [](SolverData& d) {
      d.Layers[1] = tLayer{0, 1, "диэлектрик", 0, 4, 4, 0, 2, 1000};
      for (int i = 1; i <= 15; ++i)
        for (int j = 1; j <= 15; ++j)
          for (int k = 1; k <= 15; ++k) d.Space(i, j, k) = 1;
    }, [](SolverData& d) {
      for (int i = 2; i <= 15; ++i)
        for (int j = 2; j <= 15; ++j)
          for (int k = 1; k <= 15; ++k) d.Ez(i, j, k) = float(std::sin(M_PI * (i - 1) / 15) * std::sin(M_PI * (j - 1) / 15));
    });
    ASSERT_EQ(r.o.End, RunEnd::Completed) << r.refusal << r.o.Error;
    ASSERT_EQ(r.energy.size(), 10u);
    // Every 100 steps: about a period apart, at each of the mode's phases in turn.
    const auto [lo, hi] = std::minmax_element(r.energy.begin(), r.energy.end());
    EXPECT_GT(*lo, 0);
    // The sum takes E and H half a step apart: it swings by omega dt (0.061) about the
    // conserved value. A wrong eps or mu would swing it by a factor of 2 to 4.
    const double wdt = 2 * M_PI * double(LightSpeed) * std::sqrt(2.0) / (2 * 0.015 * std::sqrt(8.0)) * 1.9258e-12;
    EXPECT_GT(*hi / *lo, 1 + wdt / 2);
    EXPECT_LT(*hi / *lo, 1 + 1.2 * wdt);
    EXPECT_LT(r.worst, 1 + wdt);
  }
  for (int face : {BorderPEC, BorderMur, BorderDissipation, BorderRTABC, BorderPML}) {
    SCOPED_TRACE(face);
    const BoxRun r = RunBox(All(face), SourceInternalOnly, el, 1500);
    ASSERT_EQ(r.o.End, RunEnd::Completed) << r.refusal << r.o.Error;
    EXPECT_GT(r.worst, 0.01);
    EXPECT_LT(r.worst, 1);
  }
  {
    SCOPED_TRACE("symmetry");
    std::array<int, 6> faces = All(BorderMur);
    faces[FaceX1 - 1] = BorderSymH;
    faces[FaceY1 - 1] = BorderSymE;
    const BoxRun r = RunBox(faces, SourceInternalOnly, el, 1500);
    ASSERT_EQ(r.o.End, RunEnd::Completed) << r.refusal << r.o.Error;
    EXPECT_LT(r.worst, 1);
  }
  for (int source : {SourceTFSF, SourceExternalField}) {
    SCOPED_TRACE(source);
    const BoxRun r = RunBox(All(BorderPML), source, {}, 800);
    ASSERT_EQ(r.o.End, RunEnd::Completed) << r.refusal << r.o.Error;
    EXPECT_GT(r.worst, 1e-3);
    EXPECT_LT(r.worst, 1);
  }

  ElementArrays across;
  across.Resistors.push_back(tLumpedElement{1, 8, 8, 'X', 10});
  ElementArrays one;
  one.VoltageSources.push_back(el.VoltageSources[0]);
  const BoxRun grows = RunBox(All(BorderRTABC), SourceInternalOnly, one, 600, across);
  ASSERT_EQ(grows.o.End, RunEnd::Diverged) << grows.refusal << grows.o.Error;
  const int n = grows.o.DivergedStep;
  EXPECT_LT(n, 300);
  EXPECT_EQ(grows.o.Error.rfind("Расчет расходится: на шаге " + std::to_string(n) + " энергия поля ", 0), 0u)
      << grows.o.Error;
  EXPECT_NE(grows.o.Error.find("в ячейке ("), std::string::npos);
  EXPECT_LT(grows.largest, 1e5);
  const BoxRun unwatched = RunBox(All(BorderRTABC), SourceInternalOnly, one, 600, across, false);
  EXPECT_TRUE(unwatched.o.End == RunEnd::Diverged || unwatched.largest > 1e12) << unwatched.largest;
}
