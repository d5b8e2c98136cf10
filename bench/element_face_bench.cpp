// Elements next to the faces: one element on an X edge at a given X (an edge across the
// faces X=1 and X=max when X is 1 or N-1), all six faces of one condition, a 1 V Gaussian
// pulse fed by a 50 ohm source in the middle of the box. A run is sound when its field
// leaves or stays bounded; this sweeps every element kind, face condition and place for
// the run start's rule, so it is a sweep, not a test.
//
//   element_face_bench [--n 20] [--steps 3000] [--faces pec,syme,symh,mur,diss,rtabc,pml]
//                      [--kinds source,resistor,capacitor,inductor,gap] [--at 1,2,3,-1,-2]
//                      [--along 0]
//
// --at: the element's X; -k stands for N-k (-1: the last cell, across X=max). --along 1
// puts the element on a Y edge (along the face plane) at that X instead. One line per run:
//   bench: face=<f> kind=<k> at=<x> along=<0|1> peak=<largest |E| over the run>
//          late=<largest |E| over the last tenth> verdict=bounded|grows|diverged
// A run grows when its last tenth holds 1e4 V/m or more (a sound field stays near the
// source's 1e3 V/m) or the run's largest field.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "boundaries/pml.h"
#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

#include "quiet_run.h"

using namespace rv;
using rv::bench::Quiet;

namespace {


// 1 V Gaussian, 30 ps wide, centred at 100 ps.
struct Pulse : ISignal {
  double GetSignal(double t) const override {
    const double u = (t - 1e-10) / 3e-11;
    return std::exp(-u * u);
  }
};

struct Result {
  double peak = 0, late = 0;
  bool diverged = false;
};

Result Run(const std::string& face, const std::string& kind, int at, bool along, int n, int steps) {
  SolverData d;
  SetGridSize(d, n + 1, n + 1, n + 1);
  ResizeSpace(d);
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.CellVolume = 1e-9;
  d.HalfDx = d.Dx / 2;
  // RT-ABC steps at half a cell; the others at 0.99 of the limit.
  d.TimeStep = face == "rtabc" ? d.Dx / 2 : 0.99 * d.Dx / std::sqrt(3.0);
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  d.CourantX = d.CourantY = d.CourantZ = d.TimeStep / d.Dx;
  for (int f = 1; f <= 6; ++f) {
    const size_t x = size_t(f);
    if (face == "pec") d.PECFace[x] = d.AnyPEC = 1;
    else if (face == "syme") d.SymEFace[x] = d.AnySymE = 1;
    else if (face == "symh") d.SymHFace[x] = d.AnySymH = 1;
    else if (face == "mur") d.MurFace[x] = d.AnyMur = 1;
    else if (face == "diss") d.DissipationFace[x] = d.AnyDissipation = 1;
    else if (face == "rtabc") d.RTABCFace[x] = d.AnyRTABC = 1;
    else d.PMLFace[x] = d.AnyPML = 1;
  }
  d.AnyPECOrSym = d.AnyPEC || d.AnySymE || d.AnySymH;
  d.SARDelay = 1 << 30;
  FindObjectBounds(d);
  Result r;
  if (AllocFieldArrays(d) == 0) { r.diverged = true; return r; }
  ClearFields(d);
  const int c = (n + 1) / 2, x = at > 0 ? at : n + 1 + at;
  ElementArrays el;
  const char dir = along ? 'Y' : 'X';
  // The element off the centre line, the source on it.
  const int y = c + 3, z = c;
  el.VoltageSources.push_back({c, c - 3, c, 'Z', 50.0, '+'});
  if (kind == "source") el.VoltageSources.push_back({x, y, z, dir, 10.0, '+'});
  else if (kind == "resistor") el.Resistors.push_back({x, y, z, dir, 10.0});
  else if (kind == "capacitor") el.Capacitors.push_back({x, y, z, dir, 1e-11});
  else if (kind == "inductor") {
    tInductor ind;
    ind.X = x; ind.Y = y; ind.Z = z; ind.Dir = dir; ind.L = 1e-7;
    el.Inductors.push_back(ind);
  } else {
    tSparkGap g;
    g.X = x; g.Y = y; g.Z = z; g.Dir = dir; g.Threshold = 1e-3;
    el.SparkGaps.push_back(g);
  }
  Pulse sig;
  RunKernels k;
  k.Centre = {c, c, c};
  std::string err;
  d.StepCount = steps;
  if (!PrepareRunKernels(d, el, &sig, k, &err)) {
    std::fprintf(stderr, "prepare: %s\n", err.c_str());
    r.diverged = true;
    return r;
  }
  StepHooks h = DefaultStepHooks(d, k);
  PmlState pml;
  if (d.AnyPML) {
    if (!SetupPML(pml, d, PmlProfile{}, err)) { r.diverged = true; return r; }
    h.UpdatePMLH = [&] { UpdatePMLH(pml); };
    h.UpdatePMLE = [&] { UpdatePMLE(pml, d); };
  }
  d.OutputRate = 4;
  h.RecordOutputPoints = [&](int) {
    double v = 0;
    for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez})
      for (size_t i = 0; i < a->size(); ++i) v = std::max(v, double(std::fabs(a->data()[i])));
    r.peak = std::max(r.peak, v);
    if (d.CurStep > steps * 9 / 10) r.late = std::max(r.late, v);
  };
  Quiet cb;
  d.Stopped = 0;
  const RunOutcome o = RunTimeLoop(d, h, cb);
  if (d.AnyPML) FreePML(pml);
  r.diverged = o.End != RunEnd::Completed || !std::isfinite(r.late) || !std::isfinite(r.peak);
  return r;
}

std::vector<std::string> Items(const std::string& text) {
  std::vector<std::string> v;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) v.push_back(item);
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int n = 20, steps = 3000, along = 0;
  std::string faces = "pec,syme,symh,mur,diss,rtabc,pml", kinds = "source,resistor,capacitor,inductor,gap";
  std::string at = "1,-1";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--n") n = std::max(10, std::atoi(argv[i + 1]));
    else if (a == "--steps") steps = std::max(100, std::atoi(argv[i + 1]));
    else if (a == "--faces") faces = argv[i + 1];
    else if (a == "--kinds") kinds = argv[i + 1];
    else if (a == "--at") at = argv[i + 1];
    else if (a == "--along") along = std::atoi(argv[i + 1]);
  }
  for (const std::string& f : Items(faces))
    for (const std::string& k : Items(kinds))
      for (const std::string& x : Items(at)) {
        const int where = std::atoi(x.c_str());
        const Result r = Run(f, k, where, along != 0, n, steps);
        const bool grows = r.diverged || r.late >= 10 * 1e3 || r.late > r.peak * 0.999;
        std::printf("bench: face=%s kind=%s at=%d along=%d peak=%.3g late=%.3g verdict=%s\n", f.c_str(), k.c_str(),
                    where, along, r.peak, r.late, r.diverged ? "diverged" : grows ? "grows" : "bounded");
        std::fflush(stdout);
      }
  return 0;
}
