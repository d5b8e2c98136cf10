#include "project/runfeatures.h"

#include <memory>

#include "boundaries/pml.h"

namespace rv {

namespace {

PmlProfile ProfileOf(const RunSettings& rs) {
  PmlProfile p;
  p.N = rs.PMLCount;
  p.R = rs.PMLReflection;
  p.Parabolic = rs.PMLParabolic != 0;
  return p;
}

}  // namespace

RunFeatures AvailableRunFeatures() {
  RunFeatures f;
  f.Dissipation = true;  // the 1/R faces: solver step items, no set-up of their own
  f.RTABC = true;
  // The run's PML lives from SetupPML to FreeRunFeatures; the step items and the probe
  // share it.
  auto pml = std::make_shared<PmlState>();
  f.PMLLowFrequency = [](const RunSettings& rs, float d) -> double {
    const PmlProfile p = ProfileOf(rs);
    return PMLReflectionValid(p.R) ? PMLLowFrequency(p, d) : 0.0;
  };
  f.SetupPML = [pml](SolverData& d, const RunSettings& rs, std::string& msg) {
    return SetupPML(*pml, d, ProfileOf(rs), msg);
  };
  f.AddStepHooks = [pml](SolverData& d, const RunSettings&, StepHooks& h) {
    if (!pml->Allocated()) return;
    SolverData* D = &d;
    h.UpdatePMLH = [pml] { UpdatePMLH(*pml); };
    h.UpdatePMLE = [pml, D] { UpdatePMLE(*pml, *D); };
  };
  f.FreeRunFeatures = [pml](SolverData&) { FreePML(*pml); };
  f.DProbe = [pml](const SolverData&, double& v) { return PMLDProbe(*pml, v); };
  return f;
}

}  // namespace rv
