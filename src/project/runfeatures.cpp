#include "project/runfeatures.h"

#include <memory>

#include "boundaries/externalfield.h"
#include "boundaries/farfield.h"
#include "boundaries/pml.h"
#include "boundaries/tfsf.h"
#include "project/mainsettings.h"
#include "solver/runsetup.h"

namespace rv {

namespace {

PmlProfile ProfileOf(const RunSettings& rs) {
  PmlProfile p;
  p.N = rs.PMLCount;
  p.R = rs.PMLReflection;
  p.Parabolic = rs.PMLParabolic != 0;
  return p;
}

FarBox FarBoxOf(const MainSettings& s) {
  return {s.spFarXmin, s.spFarXmax, s.spFarYmin, s.spFarYmax, s.spFarZmin, s.spFarZmax};
}

FarFieldSettings FarSettingsOf(const MainSettings& s, const RunSettings& rs) {
  FarFieldSettings f;
  f.Box = FarBoxOf(s);
  f.PointRows = rs.FarPointRows;  // filled only when user far points are on
  const bool diagrams = s.cbFarDiagram;
  f.DiagramOn = {diagrams && s.cbPX, diagrams && s.cbPY, diagrams && s.cbPZ};
  f.RadiusText = s.edFarDiagrR;
  f.PointCount = s.edFarStep;
  f.FastDiagram = rs.FastDiagram;
  f.CalcFarH = rs.CalcFarH;
  return f;
}

}  // namespace

RunFeatures AvailableRunFeatures() {
  RunFeatures f;
  f.Dissipation = true;  // the 1/R faces: solver step items, no set-up of their own
  f.RTABC = true;
  f.ExternalField = true;  // with PML faces its step items below, with Mur faces the solver's
  // The TF-SF box is checked at the start's third step; the delay of its first corner waits
  // for the cell sizes the start settles later (AddStepHooks).
  auto tfsf = std::make_shared<TFSFState>();
  f.SetupTFSF = [tfsf](SolverData& d, const MainSettings& s, RunSettings& rs, std::string& msg) {
    *tfsf = TFSFState{};
    SetupTFSF(*tfsf, rs.WaveTheta, rs.WavePhi, rs.EVertical != 0, FarBoxOf(s), d.FarFieldOn != 0);
    return CheckTFSFBorders(*tfsf, d, msg);
  };
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
  // The far field: receivers from the run start to the end of the run.
  auto far = std::make_shared<FarFieldState>();
  f.SetupFarField = [far](SolverData& d, const MainSettings& s, RunSettings& rs,
                          std::string& msg) {
    return SetupFarField(*far, d, FarSettingsOf(s, rs), rs.FarSeriesLength, msg);
  };
  f.CheckFarField = [](const SolverData& d, const MainSettings& s, const RunSettings& rs, std::string& msg) {
    return CheckFarFieldSettings(d, FarSettingsOf(s, rs), msg);
  };
  f.AddStepHooks = [pml, far, tfsf](SolverData& d, const RunSettings& rs, StepHooks& h) {
    SolverData* D = &d;
    if (d.TFSFSource) {
      tfsf->Signal = rs.Signal;
      tfsf->TFSFDelay = CalcTFSFDelay(d, *tfsf);
      h.CorrectTFSFH = [tfsf, D](double t) { CheckRunArrays(CorrectTFSFH(*D, *tfsf, t), "TF-SF"); };
      h.CorrectTFSFE = [tfsf, D](double t) { CheckRunArrays(CorrectTFSFE(*D, *tfsf, t), "TF-SF"); };
    }
    if (d.ExternalField && d.AnyPML) {
      const ExternalWave w{rs.Signal, rs.IncAngle};
      h.AddPMLWaveH = [w, D](int sign, double t) { AddPMLWaveH(*D, w, sign, t); };
      h.AddPMLWaveE = [w, D](int sign, double t) { AddPMLWaveE(*D, w, sign, t); };
    }
    if (far->Allocated())
      h.AccumulateFarField = [far, D](int step) { AccumulateFarField(*far, *D, step); };
    if (!pml->Allocated()) return;
    // The layer's H reads only the layer's E, which nothing changes between the two items:
    // both run at the E item's place, so the main grid's H and E can be one sweep.
    h.UpdatePMLE = [pml, D] {
      UpdatePMLH(*pml);
      UpdatePMLE(*pml, *D);
    };
  };
  f.FinishFarField = [far](SolverData& d, const RunSettings&, std::string& msg) {
    std::vector<std::string> errors;
    SaveFarPoints(*far, d, d.CurStep, errors);
    SaveFarDiagrams(*far, d, d.CurStep, errors);
    for (const std::string& e : errors) msg += (msg.empty() ? "" : "\n") + e;
    return errors.empty();
  };
  f.FarFieldFinite = [far](const SolverData&) { return FarFieldFinite(*far); };
  f.FreeRunFeatures = [pml, far](SolverData&) {
    FreePML(*pml);
    FreeFarField(*far);
  };
  f.DProbe = [pml](const SolverData&, double& v) { return PMLDProbe(*pml, v); };
  return f;
}

}  // namespace rv
