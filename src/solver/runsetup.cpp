#include "solver/runsetup.h"

#include <array>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "solver/faces.h"
#include "solver/power.h"
#include "solver/rtabc.h"
#include "solver/yee.h"

namespace rv {

namespace {

// Calls f(edge, X, Y, Z) for every element record whose direction names an axis.
template <class F>
void ForEachElementEdge(const LumpedRun& l, F&& f) {
  auto each = [&](const auto& recs, const std::vector<LumpedRun::Edge>& e) {
    for (size_t r = 0; r < recs.size() && r < e.size(); ++r)
      if (e[r].Axis >= 0) f(e[r], recs[r].X, recs[r].Y, recs[r].Z);
  };
  each(l.SparkGaps, l.GapEdges);
  each(l.VoltageSources, l.SourceEdges);
  each(l.Resistors, l.ResistorEdges);
  each(l.Capacitors, l.CapacitorEdges);
  each(l.Inductors, l.InductorEdges);
}

}  // namespace

bool PrepareRunKernels(const SolverData& d, const ElementArrays& elements, const ISignal* signal,
                       RunKernels& k, std::string* err) {
  k.Signal = signal;
  k.Wave.Signal = signal;
  if (!k.Cache.Build(d, err)) return false;
  const bool ok = k.Lumped.Prepare(d, elements, err);
  // The rows of the element edges keep the plain step (the elements rewrite their E). Their
  // power is the elements' own (LumpedRun::SettlePower): no sum of theirs is read.
  std::vector<std::array<int, 3>> rows;
  std::vector<std::array<int, 4>> read;
  ForEachElementEdge(k.Lumped, [&](const LumpedRun::Edge& e, int X, int Y, int) {
    rows.push_back({e.Axis, X, Y});
  });
  k.Fusion.SetPlainRows(d, rows);
  k.Fusion.WatchFinite = true;
  k.Fusion.FoundNonFinite = 0;
  k.Fusion.Spans.Clear();
  if (d.SAROn) {
    for (const auto& c : k.PowerReadCells)
      for (int a = 0; a < 3; ++a) read.push_back({a, c[0], c[1], c[2]});
    try {
      k.Fusion.Spans.Build(d, k.Cache, read);
    } catch (const std::bad_alloc&) {
      k.Fusion.Spans.Clear();  // every edge adds up: slower, the same sums where read
    }
  }
  return ok;
}

void CheckRunArrays(bool ok, const char* what) {
  if (!ok)
    throw std::runtime_error(std::string("Массивы расчета не соответствуют сетке (") + what + ")");
}

namespace {

void Check(bool ok, const char* what) { CheckRunArrays(ok, what); }

// After an E pass: whatever the run records, fields that ran away end it at this step.
void CheckFinite(const SolverData& d, const StepFusion& f) {
  if (f.FoundNonFinite) throw RunDiverged(d.CurStep);
}

// The E of every element edge, which the elements have just read: a value that is not a
// finite number means the fields have run away (an element the grid cannot carry, a step
// above the limit) and every later step would only spread it.
bool ElementEdgesFinite(const SolverData& d, const LumpedRun& l) {
  bool ok = true;
  ForEachElementEdge(l, [&](const LumpedRun::Edge& e, int X, int Y, int Z) {
    const t3DSpaceArray& a = e.Axis == 0 ? d.Ex : e.Axis == 1 ? d.Ey : d.Ez;
    ok = ok && (!e.Active || std::isfinite(a.at(X, Y, Z)));
  });
  return ok;
}

}  // namespace

// What this step folds into its E pass: nothing when a feature that works on E or H
// between the E pass and the end of the step is on (TF-SF, PML and the external field
// there, the second-order and RT-ABC faces), as their order must stay as it is.
const StepFusion* FusionForStep(const SolverData& d, StepFusion& f) {
  bool abc2 = false;
  for (int i = 1; i <= 6; ++i) abc2 = abc2 || d.ABC2Face[size_t(i)];
  const bool allowed = !d.TFSFSource && !d.AnyPML && !d.AnyRTABC && !abc2;
  f.MurZ = allowed && d.AnyMur && d.NoExternalField && (d.MurFace[FaceZ1] || d.MurFace[FaceZMax]);
  f.Power = allowed && d.SAROn && d.CurStep - 1 >= d.SARDelay;
  f.PecZ = allowed && d.AnyPEC && (d.PECFace[FaceZ1] || d.PECFace[FaceZMax]) && !d.AnyMur &&
           !d.AnySymE && !d.AnySymH;
  f.Accumulate = d.SAROn && d.CurStep - 1 >= d.SARDelay;
  return &f;
}

// H and E in one sweep this step: nothing of the step runs between them but the lumped
// elements' kept edges, which then come first (H does not change E). The PML's H item is
// empty in a run: its H reads only the layer's own E and runs with the layer's E.
bool FuseHE(const SolverData& d) {
  return !d.AnyDissipation && !d.TFSFSource && !(d.ExternalField && d.AnyPML);
}

StepHooks DefaultStepHooks(SolverData& d, RunKernels& k) {
  StepHooks h;
  SolverData* D = &d;
  RunKernels* K = &k;
  h.UpdateH = [D, K] {
    if (!FuseHE(*D)) return Check(UpdateH(*D), "H");
    Check(K->Lumped.KeepEdges(*D), "сосредоточенные элементы");
    Check(UpdateHE(*D, K->Cache, FusionForStep(*D, K->Fusion)), "H, E");
    CheckFinite(*D, K->Fusion);
  };
  h.ApplyDissipation = [D, K] {
    if (!K->Dissipation.PreparedFor(*D, K->Centre))
      Check(K->Dissipation.Prepare(*D, K->Cache, K->Centre), "Dissipation 1/R");
    Check(K->Dissipation.Apply(*D, K->Signal), "Dissipation 1/R");
  };
  h.UpdateE = [D, K] {
    if (!FuseHE(*D)) Check(UpdateE(*D, K->Cache, FusionForStep(*D, K->Fusion)), "E");
    CheckFinite(*D, K->Fusion);
  };
  h.UpdateEDebye = [D, K] {
    if (!FuseHE(*D)) Check(UpdateEDebye(*D, K->Cache, FusionForStep(*D, K->Fusion)), "E, Debye");
    CheckFinite(*D, K->Fusion);
  };
  h.KeepLumpedEdges = [D, K] {
    if (!FuseHE(*D)) Check(K->Lumped.KeepEdges(*D), "сосредоточенные элементы");
  };
  h.UpdateLumpedElements = [D, K](int step) {
    Check(K->Lumped.Update(*D, K->Signal, step), "сосредоточенные элементы");
    if (!ElementEdgesFinite(*D, K->Lumped)) throw RunDiverged(D->CurStep);
  };
  h.ApplySymmetry = [D] { Check(ApplySymmetry(*D), "симметрия"); };
  h.ApplyMur = [D, K] { Check(ApplyMur(*D, K->Wave, &K->Fusion), "Mur"); };
  h.ApplyRTABC = [D, K] { Check(ApplyRTABC(*D, K->Wave), "RT-ABC"); };
  h.SaveMurPlanes = [D, K] { Check(SaveMurPlanes(*D, K->Wave, &K->Fusion), "Mur"); };
  h.ShiftRTABCLevels = [D, K] { Check(ShiftRTABCLevels(*D, K->Wave), "RT-ABC"); };
  h.ApplyPEC = [D, K] { Check(ApplyPEC(*D, &K->Fusion), "PEC"); };
  h.AccumulatePower = [D, K](bool enabled) {
    Check(AccumulatePower(*D, enabled, &K->Fusion,
                          [K](SolverData& s) { return K->Lumped.SettlePower(s); }),
          "SAR");
  };
  if (k.WatchGrowth) {
    k.Growth.Prepare(d, k.Lumped);
    h.WatchGrowth = [D, K](int step) { K->Growth.Step(*D, K->Cache, K->Lumped, K->Signal, step); };
  }
  return h;
}

}  // namespace rv
