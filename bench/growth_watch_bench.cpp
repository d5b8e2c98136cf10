// The energy watch of a run: what it costs and where it stops.
//
//   growth_watch_bench [--sizes 300] [--steps S] [--threads T] --cost
//       the energy sum against a whole step of the vacuum run case (PEC faces) and of the
//       lossy one with elements and Mur faces: bench: case=cost_<case> N=<n> threads=<t> step_ms=<a> sum_ms=<b> every=<K>
//       share_pct=<100 b / (K a)> watch_on_to_off=<steps with the watch / without>
//       same_bits_one_thread=yes|no
//   growth_watch_bench --cases [--only NAME] [--steps-scale F] [--no-watch] [--trace]
//       set-ups through the run start and the default run loop: sound ones (long runs near
//       the step's limit with elements and every face kind, both plane-wave sources, all
//       signal kinds) and ones that grow without bound. One line each:
//       bench: case=<name> expect=sound|grows end=<completed|diverged|refused|...>
//              steps=<done>/<asked> worst_ratio=<energy / bound> peak_E=<largest |E|> note=<...>
//   growth_watch_bench --project FILE.fdt [--steps S]
//       a saved project (Gaussian-type signals) through the start and the loop, the same line.
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench_common.h"
#include "editor/elementarrays.h"
#include "project/gridsettings.h"
#include "project/projectfile.h"
#include "project/runfeatures.h"
#include "project/runstart.h"
#include "project/signalsettings.h"
#include "project/signalsource.h"
#include "quiet_run.h"
#include "run_cases.h"
#include "solver/growthwatch.h"
#include "solver/numtext.h"
#include "solver/runsetup.h"
#include "solver/timeloop.h"

using namespace rv;
using namespace rv::bench;

namespace {

using Clock = std::chrono::steady_clock;


// ---- cost

void Cost(int n, int steps, int threads, const RunCase& c) {
  omp_set_num_threads(threads);
  double ms[2] = {0, 0};
  double sumMs = 0;
  bool sameBits = false;
  for (int on = 0; on < 2; ++on) {
    SolverData d;
    std::string err;
    if (!BuildRunCase(d, n, c, err)) { std::printf("bench: case=cost skipped: %s\n", err.c_str()); return; }
    Sine sig;
    RunKernels k;
    k.WatchGrowth = on != 0;
    if (!PrepareRunKernels(d, c.lossy ? SomeElements(n) : ElementArrays{}, &sig, k, &err)) return;
    const StepHooks h = DefaultStepHooks(d, k);
    double sec = 0;
    const RunOutcome o = TimedSteps(d, h, 2, steps, sec);
    ms[on] = 1e3 * sec / steps;
    if (o.End != RunEnd::Completed) std::printf("bench: case=cost stopped: %s\n", o.Error.c_str());
    if (on) {
      std::vector<double> planes;
      double best = 1e300;
      for (int r = 0; r < 5; ++r) {
        const auto t1 = Clock::now();
        volatile double e = StoredEnergy(d, k.Cache, k.Lumped, planes);
        (void)e;
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t1).count());
      }
      sumMs = best;
      // The same bits on one thread as on all of them.
      const double all = StoredEnergy(d, k.Cache, k.Lumped, planes);
      omp_set_num_threads(1);
      const double one = StoredEnergy(d, k.Cache, k.Lumped, planes);
      omp_set_num_threads(threads);
      sameBits = std::memcmp(&all, &one, sizeof all) == 0;
    }
  }
  const int K = GrowthWatch::kEvery;
  std::printf("bench: case=cost_%s N=%d threads=%d step_ms=%.1f sum_ms=%.1f every=%d share_pct=%.2f "
              "watch_on_to_off=%.3f same_bits_one_thread=%s\n", c.name, n, threads, ms[0], sumMs, K,
              100 * sumMs / (K * ms[0]), ms[1] / ms[0], sameBits ? "yes" : "no");
  std::fflush(stdout);
}

// ---- runs through the start

struct Host : RunStartHost {
  const OutPointTables* out = nullptr;
  const LampedTables* lamped = nullptr;
  SignalSettings sig;
  std::vector<std::string> LoadElementArrays(const SolverData& d, ElementArrays& a) override {
    return rv::LoadElementArrays(d, *out, *lamped, a);
  }
  bool RunSignal(SignalSettings& s) override {
    s = sig;
    return true;
  }
};

struct Setup {
  MainSettings s;
  OutPointTables out;
  LampedTables lamped;
  SignalSettings sig;
  std::function<void(SolverData&)> model;  // cells of materials, before the start
  std::function<void(SolverData&)> after;  // the run's values past the start's checks
};

struct Result {
  std::string end;
  int done = 0, asked = 0;
  double worst = 0, peak = 0;
  std::string note;
};

bool gNoWatch = false;  // --no-watch: the run as it went before the watch
bool gTrace = false;    // --trace: the largest |E| of every 1,000 steps

Result RunSetup(Setup& st) {
  Result res;
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, st.s.spX, st.s.spY, st.s.spZ);
  ResizeSpace(*d);
  if (st.model) st.model(*d);
  Host host;
  host.out = &st.out;
  host.lamped = &st.lamped;
  host.sig = st.sig;
  RunStartInputs in;
  in.settings = st.s;
  in.outputs = &st.out;
  in.lamped = &st.lamped;
  in.totalPhysBytes = 16ull << 30;
  RunFeatures features = AvailableRunFeatures();
  RunStartResult r = StartRun(*d, in, host, features);
  res.asked = st.s.seStepCount;
  if (!r.started) {
    res.end = "refused";
    res.note = r.refusal() ? r.refusal()->text.substr(0, 160) : r.status;
    return res;
  }
  if (st.after) st.after(*d);
  SignalSource signal(st.sig);
  RunKernels k;
  k.WatchGrowth = !gNoWatch;
  RunSettings rs = r.run.settings;
  k.Centre = tScatterCentre{rs.CenterI, rs.CenterJ, rs.CenterK};
  k.Wave.IncAngle = rs.IncAngle;
  std::string err;
  if (!PrepareRunKernels(*d, r.run.elements, &signal, k, &err)) {
    res.end = "refused";
    res.note = err;
    return res;
  }
  StepHooks h = DefaultStepHooks(*d, k);
  rs.Signal = &signal;
  if (features.AddStepHooks) features.AddStepHooks(*d, rs, h);
  double window = 0;
  h.DrawSlices = [&](int, double) {
    if (d->CurStep % 64) return;
    for (const t3DSpaceArray* a : {&d->Ex, &d->Ey, &d->Ez})
      for (size_t i = 0; i < a->size(); ++i) window = std::max(window, double(std::fabs(a->data()[i])));
    res.peak = std::max(res.peak, window);
    if (d->CurStep % 1024) return;
    if (gTrace) std::printf("  step %d: largest |E| %.3g, energy/bound %.3g\n", d->CurStep.load(), window,
                            k.Growth.Bound > 0 ? k.Growth.Energy / k.Growth.Bound : 0.0);
    window = 0;
  };
  Quiet cb;
  d->Stopped = 0;
  d->CalcRunning = 1;
  const RunOutcome o = RunTimeLoop(*d, h, cb);
  res.end = o.End == RunEnd::Completed ? "completed" : o.End == RunEnd::Diverged ? "diverged" : "failed";
  res.done = o.StepsDone;
  res.worst = k.Growth.WorstRatio;
  if (!o.Error.empty()) res.note = o.Error;
  if (features.FreeRunFeatures) features.FreeRunFeatures(*d);
  return res;
}

void AddRow(StringGrid& g, std::initializer_list<std::string> cells) {
  std::atomic<uint8_t> mod{0};
  AddGridRow(g, mod);
  const int r = g.RowCount() - 1;
  int c = 0;
  for (const std::string& t : cells) g.SetCell(c++, r, t);
}
std::string I(int v) { return std::to_string(v); }
std::string F(double v) { return FormatGeneral(v, 6); }

SignalSettings Gauss(double width) {
  SignalSettings s;
  s.Kind = SigGauss;
  s.Params.GaussWidth = width;
  s.Params.GaussAmpl = 1;
  return s;
}

// n^3 nodes of cubic cells `cell` m at `courant` times the step's limit, one face kind.
Setup Cube(int n, double cell, int face, int steps, double courant = 1) {
  Setup st;
  MainSettings& s = st.s;
  s.spX = s.spY = s.spZ = n;
  s.edX = s.edY = s.edZ = F(cell);
  s.ComboBox.fill(face);
  s.rgSources = SourceInternalOnly;
  s.seStepCount = steps;
  s.eddT = ComputeGridSettings(s, 1, 0).eddT;
  if (courant != 1) s.eddT = FormatGeneral(StrToFloat(s.eddT) * courant, 15);
  st.sig = Gauss(50e-12);
  return st;
}

void Source(Setup& st, int x, int y, int z, double R, char dir = 'Z') {
  AddRow(st.lamped.sgSourses, {I(x), I(y), I(z), F(R), std::string(1, dir)});
}
void Element(StringGrid& g, int x, int y, int z, double v, char dir) {
  AddRow(g, {I(x), I(y), I(z), F(v), std::string(1, dir)});
}

// Material m: sigma (S/m), eps at f = 0 and at infinity, tau (s), mu, density (kg/m^3).
void SetLayer(SolverData& d, int m, const char* name, double sigma, double eps, double epsInf, double tau,
              double mu, double density) {
  d.Layers[size_t(m)] = tLayer{0, 1, name, sigma, eps, epsInf, tau, mu, density};
}
constexpr double kCopper = 5.8e7;

// Material m in the cells x0..x1, y0..y1, z0..z1.
void FillBox(SolverData& d, int m, int x0, int x1, int y0, int y1, int z0, int z1) {
  for (int i = x0; i <= x1; ++i)
    for (int j = y0; j <= y1; ++j)
      for (int k = z0; k <= z1; ++k) d.Space(i, j, k) = uint8_t(m);
}

// The least L an inductor of `axis` may have on st's grid (faces aside), H.
double LeastL(const Setup& st, int axis) {
  InductorGrid g;
  g.Nx = st.s.spX; g.Ny = st.s.spY; g.Nz = st.s.spZ;
  g.Dx = StrToFloat(st.s.edX); g.Dy = StrToFloat(st.s.edY); g.Dz = StrToFloat(st.s.edZ);
  g.TimeStep = StrToFloat(st.s.eddT) * 1e-9 * double(LightSpeed);
  const InductorBound b = CheckInductorStability(g, {InductorSite{g.Nx / 2, g.Ny / 2, g.Nz / 2, axis, 1e-30}});
  return b.AloneMinL;
}

struct Case {
  std::string name;
  bool grows;
  std::function<Setup()> make;
};

std::vector<Case> Cases(double scale) {
  auto steps = [scale](int s) { return std::max(100, int(s * scale)); };
  std::vector<Case> c;
  // ---- sound
  c.push_back({"mur_elements_sine", false, [=] {
    Setup st = Cube(24, 1e-3, BorderMur, steps(60000));
    st.sig = SignalSettings{};  // a 1 GHz sine that never ends
    Source(st, 12, 12, 12, 50);
    Element(st.lamped.sgResistors, 8, 12, 12, 100, 'Z');
    Element(st.lamped.sgCapacitors, 16, 12, 12, 1e-12, 'Z');
    return st;
  }});
  c.push_back({"pec_box_source_inductor_gap", false, [=] {
    Setup st = Cube(24, 1e-3, BorderPEC, steps(60000));
    Source(st, 12, 12, 12, 50);
    Element(st.lamped.sgInductor, 8, 12, 12, 1e-9, 'Z');
    Element(st.lamped.sgRazraydnic, 16, 12, 12, 0.5, 'Z');
    return st;
  }});
  c.push_back({"pml_all_elements", false, [=] {
    Setup st = Cube(24, 1e-3, BorderPML, steps(20000));
    Source(st, 12, 12, 12, 50);
    Element(st.lamped.sgResistors, 9, 12, 12, 50, 'Z');
    Element(st.lamped.sgCapacitors, 15, 12, 12, 1e-12, 'Z');
    Element(st.lamped.sgInductor, 12, 9, 12, 1e-8, 'Z');
    return st;
  }});
  c.push_back({"rtabc_source", false, [=] {
    Setup st = Cube(20, 1e-3, BorderRTABC, steps(20000));
    Source(st, 10, 10, 10, 50);
    Element(st.lamped.sgResistors, 10, 10, 7, 100, 'Z');
    return st;
  }});
  c.push_back({"dissipation_source", false, [=] {
    Setup st = Cube(24, 1e-3, BorderDissipation, steps(20000));
    st.s.spCenterI = st.s.spCenterJ = st.s.spCenterK = 12;
    Source(st, 12, 12, 12, 50);
    return st;
  }});
  c.push_back({"symmetry_source_on_plane", false, [=] {
    Setup st = Cube(20, 1e-3, BorderMur, steps(20000));
    st.s.ComboBox[FaceX1 - 1] = BorderSymH;
    st.s.ComboBox[FaceY1 - 1] = BorderSymE;
    Source(st, 2, 10, 10, 50);
    Element(st.lamped.sgCapacitors, 4, 10, 10, 1e-12, 'Z');
    Element(st.lamped.sgResistors, 10, 2, 10, 100, 'Z');
    return st;
  }});
  // Media: 1 a lossy Debye water slab, 2 a copper plate, 4 a ferrite slab (mu 50).
  // The ferrite slab grows on its own in this box (found by the watch): listed as growing.
  for (int media : {3, 1, 2, 4}) {
    c.push_back({"media_" + I(media) + "_mur", media == 4, [=] {
      Setup st = Cube(24, 1e-3, BorderMur, steps(20000));
      st.s.cbBioMaterals = (media & 1) != 0;
      st.s.cbMagneticMaterals = (media & 4) != 0;
      Source(st, 12, 12, 12, 50);
      st.model = [media](SolverData& d) {
        SetLayer(d, 1, "вода", 0.5, 80, 4, 1e-11, 1, 1000);
        SetLayer(d, 2, "медь", kCopper, 1, 1, 0, 1, 8900);
        SetLayer(d, 3, "феррит", 0, 10, 10, 0, 50, 5000);
        if (media & 1) FillBox(d, 1, 4, 20, 4, 20, 5, 6);
        if (media & 2) FillBox(d, 2, 4, 20, 4, 20, 18, 18);
        if (media & 4) FillBox(d, 3, 4, 20, 4, 20, 8, 8);
      };
      return st;
    }});
  }
  for (int kind : {SigSin, SigSlowSin, SigGauss, SigGaussRadio, SigExp, SigExpRadio, SigBlackmanHarris, SigSinXdivX}) {
    c.push_back({std::string("signal_kind_") + I(kind), false, [=] {
      Setup st = Cube(20, 1e-3, BorderMur, steps(6000));
      st.sig = SignalSettings{};
      st.sig.Kind = kind;
      st.sig.Params.GaussWidth = 50e-12;
      st.sig.Params.BlackmanT = 100e-12;
      st.sig.Params.SinFreq = st.sig.Params.SlowSinFreq = st.sig.Params.GaussRadioFreq = 5e9;
      st.sig.Params.SlowSinTime = 1e-9; st.sig.Params.SlowSinLong = 3e-9;
      st.sig.Params.GaussRadioWidth = 1e-10;
      Source(st, 10, 10, 10, 50);
      Element(st.lamped.sgInductor, 10, 10, 5, 1e-8, 'Z');
      return st;
    }});
  }
  c.push_back({"tfsf_copper_block", false, [=] {
    Setup st = Cube(30, 1e-3, BorderPML, steps(8000));
    st.s.rgSources = SourceTFSF;
    st.s.spFarXmin = st.s.spFarYmin = st.s.spFarZmin = 6;
    st.s.spFarXmax = st.s.spFarYmax = st.s.spFarZmax = 24;
    st.model = [](SolverData& d) {
      SetLayer(d, 1, "медь", kCopper, 1, 1, 0, 1, 8900);
      FillBox(d, 1, 12, 18, 12, 18, 14, 15);
    };
    return st;
  }});
  c.push_back({"external_field_pml_dielectric", false, [=] {
    Setup st = Cube(30, 1e-3, BorderPML, steps(8000));
    st.s.rgSources = SourceExternalField;
    st.model = [](SolverData& d) {
      SetLayer(d, 1, "диэлектрик", 0.01, 10, 10, 0, 1, 1000);
      FillBox(d, 1, 10, 20, 10, 20, 10, 20);
    };
    return st;
  }});
  c.push_back({"external_field_mur", false, [=] {
    Setup st = Cube(30, 1e-3, BorderMur, steps(8000));
    st.s.rgSources = SourceExternalField;
    return st;
  }});
  // A source of tiny inner R: its bound is huge, the silence after its pulse is watched.
  c.push_back({"tiny_r_source_pec_box", false, [=] {
    Setup st = Cube(24, 1e-3, BorderPEC, steps(60000));
    Source(st, 12, 12, 12, 1e-3);
    Element(st.lamped.sgInductor, 8, 12, 12, 1e-9, 'Z');
    return st;
  }});
  // The help's examples: the RLC ring on one edge, the patch antenna fed by a pin.
  c.push_back({"help_rlc_ring", false, [=] {
    Setup st = Cube(24, 1e-3, BorderMur, steps(20000));
    st.s.eddT = "0.00167";
    Source(st, 12, 12, 12, 2000);
    Element(st.lamped.sgResistors, 12, 12, 12, 2000, 'Z');
    Element(st.lamped.sgCapacitors, 12, 12, 12, 1e-12, 'Z');
    Element(st.lamped.sgInductor, 12, 12, 12, 1e-9, 'Z');
    return st;
  }});
  c.push_back({"help_patch", false, [=] {
    Setup st = Cube(101, 1e-3, BorderPML, steps(10400));
    st.s.spY = 111;
    st.s.spZ = 41;
    st.s.eddT = "0.0019";
    st.sig = Gauss(1e-10);
    AddRow(st.lamped.sgSourses, {"43", "56", "12", "50", "Z", "-"});
    st.model = [](SolverData& d) {
      SetLayer(d, 1, "медь", kCopper, 1, 1, 0, 1, 8900);
      SetLayer(d, 2, "подложка", 0, 2.2, 2.2, 0, 1, 1000);
      FillBox(d, 1, 11, 90, 11, 100, 11, 11);
      FillBox(d, 2, 11, 90, 11, 100, 12, 14);
      FillBox(d, 1, 31, 70, 31, 80, 15, 15);
      d.Space(43, 56, 13) = d.Space(43, 56, 14) = 1;
    };
    return st;
  }});
  // ---- growing (accepted by the start of the last round)
  for (double L : {0.5e-9, 0.374e-9, 1e-9}) {
    c.push_back({"mur_box_inductor_" + F(L), true, [=] {
      Setup st = Cube(24, 1e-3, BorderMur, L >= 1e-9 ? steps(60000) : steps(20000));
      Element(st.lamped.sgInductor, 12, 12, 12, L, 'Z');
      Source(st, 16, 12, 12, 50);
      return st;
    }});
  }
  c.push_back({"tiny_r_source_mur_box_inductor_5E-10", true, [=] {
    Setup st = Cube(24, 1e-3, BorderMur, steps(20000));
    Element(st.lamped.sgInductor, 12, 12, 12, 0.5e-9, 'Z');
    Source(st, 16, 12, 12, 1e-3);
    return st;
  }});
  struct Flat { double a; int cells, steps; };
  for (Flat f : {Flat{5e-3, 3, 1000}, Flat{10e-3, 6, 20000}, Flat{2e-3, 2, 2000}, Flat{3e-3, 2, 2000}}) {
    c.push_back({"flat_" + F(f.a * 1e3) + "mm_mur_inductor_" + I(f.cells) + "cells", true, [=] {
      Setup st;
      MainSettings& s = st.s;
      s.spX = s.spY = 18;
      s.spZ = f.cells + 16;
      s.edX = s.edY = F(f.a);
      s.edZ = "0.001";
      s.ComboBox.fill(BorderPEC);
      s.ComboBox[FaceZ1 - 1] = BorderMur;
      s.rgSources = SourceInternalOnly;
      s.seStepCount = steps(f.steps);
      s.eddT = ComputeGridSettings(s, 1, 0).eddT;
      st.sig = Gauss(50e-12);
      // whole cells between the edge (node z) and the face: z - 1
      Element(st.lamped.sgInductor, 9, 9, 1 + f.cells, 1.05 * LeastL(st, 0), 'X');
      Source(st, 9, 9, s.spZ - 5, 50, 'X');
      return st;
    }});
  }
  for (int kind : {0, 1, 2}) {
    c.push_back({std::string("rtabc_across_face_") + (kind == 0 ? "resistor" : kind == 1 ? "source" : "capacitor"), true, [=] {
      Setup st = Cube(20, 1e-3, BorderRTABC, steps(600));
      Source(st, 10, 10, 10, 50);
      if (kind == 0) Element(st.lamped.sgResistors, 1, 10, 10, 10, 'X');
      if (kind == 1) Source(st, 1, 10, 10, 50, 'X');
      if (kind == 2) Element(st.lamped.sgCapacitors, 1, 10, 10, 10e-12, 'X');
      return st;
    }});
  }
  c.push_back({"rtabc_across_high_face_resistor", true, [=] {
    Setup st = Cube(20, 1e-3, BorderRTABC, steps(600));
    Source(st, 10, 10, 10, 50);
    Element(st.lamped.sgResistors, 19, 10, 10, 10, 'X');
    return st;
  }});
  return c;
}

int Option(int argc, char** argv, const char* name, int def) {
  for (int a = 1; a + 1 < argc; ++a)
    if (!std::strcmp(argv[a], name)) return std::atoi(argv[a + 1]);
  return def;
}
const char* OptionText(int argc, char** argv, const char* name) {
  for (int a = 1; a + 1 < argc; ++a)
    if (!std::strcmp(argv[a], name)) return argv[a + 1];
  return nullptr;
}
bool Flag(int argc, char** argv, const char* name) {
  for (int a = 1; a < argc; ++a)
    if (!std::strcmp(argv[a], name)) return true;
  return false;
}

void Print(const std::string& name, const char* expect, const Result& r) {
  std::string note = r.note;
  for (char& ch : note) if (ch == '\n') ch = ' ';
  std::printf("bench: case=%s expect=%s end=%s steps=%d/%d worst_ratio=%.3g peak_E=%.3g note=%s\n", name.c_str(),
              expect, r.end.c_str(), r.done, r.asked, r.worst, r.peak, note.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (Flag(argc, argv, "--cost")) {
    const rv::bench::Options opt = rv::bench::ParseOptions(argc, argv, {300});
    for (int n : opt.sizes)
      for (int t : opt.threads)
        for (const RunCase& c : {kRunCases[0], kRunCases[2]}) Cost(n, opt.steps, t, c);
    return 0;
  }
  if (const char* file = OptionText(argc, argv, "--project")) {
    Setup st;
    ProjectData p;
    auto d = std::make_unique<SolverData>();
    const ProjectLoadResult r = LoadProject(file, p, *d);
    if (r.Status != ProjectLoadStatus::Loaded) { std::printf("bench: project not loaded\n"); return 1; }
    st.s = p.Main;
    st.out = p.Outputs;
    st.out.cbNoWriteFile = true;
    st.lamped = p.Lamped;
    std::array<std::string, SignalParamCount> texts;
    for (int i = 0; i < SignalParamCount; ++i) texts[size_t(i)] = p.Signal.Edit(SignalParamEdits[size_t(i)]);
    RefreshSignal(p.Signal.cbExpression, texts, "", 0, st.sig);
    st.s.seStepCount = Option(argc, argv, "--steps", st.s.seStepCount);
    const SolverData& model = *d;
    st.model = [&model](SolverData& to) {
      to.Space = model.Space;
      to.Layers = model.Layers;
    };
    Print(file, "sound", RunSetup(st));
    return 0;
  }
  gNoWatch = Flag(argc, argv, "--no-watch");
  gTrace = Flag(argc, argv, "--trace");
  const char* only = OptionText(argc, argv, "--only");
  const char* scaleText = OptionText(argc, argv, "--steps-scale");
  const double scale = scaleText ? std::atof(scaleText) : 1.0;
  omp_set_num_threads(Option(argc, argv, "--threads", 2));
  for (const Case& c : Cases(scale)) {
    if (only && c.name.find(only) == std::string::npos) continue;
    Setup st = c.make();
    Print(c.name, c.grows ? "grows" : "sound", RunSetup(st));
  }
  return 0;
}
