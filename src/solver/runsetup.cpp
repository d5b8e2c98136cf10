#include "solver/runsetup.h"

#include <stdexcept>

#include "solver/faces.h"
#include "solver/power.h"
#include "solver/rtabc.h"
#include "solver/yee.h"

namespace rv {

bool PrepareRunKernels(const SolverData& d, const ElementArrays& elements, const ISignal* signal,
                       RunKernels& k, std::string* err) {
  k.Signal = signal;
  k.Wave.Signal = signal;
  if (!k.Cache.Build(d, err)) return false;
  return k.Lumped.Prepare(d, elements, err);
}

namespace {

void Check(bool ok, const char* what) {
  if (!ok)
    throw std::runtime_error(std::string("Массивы расчета не соответствуют сетке (") + what + ")");
}

}  // namespace

StepHooks DefaultStepHooks(SolverData& d, RunKernels& k) {
  StepHooks h;
  SolverData* D = &d;
  RunKernels* K = &k;
  h.UpdateH = [D] { Check(UpdateH(*D), "H"); };
  h.ApplyDissipation = [D, K] {
    if (!K->Dissipation.PreparedFor(*D, K->Centre))
      Check(K->Dissipation.Prepare(*D, K->Cache, K->Centre), "Dissipation 1/R");
    Check(K->Dissipation.Apply(*D, K->Signal), "Dissipation 1/R");
  };
  h.UpdateE = [D, K] { Check(UpdateE(*D, K->Cache), "E"); };
  h.UpdateEDebye = [D, K] { Check(UpdateEDebye(*D, K->Cache), "E, Debye"); };
  h.KeepLumpedEdges = [D, K] { Check(K->Lumped.KeepEdges(*D), "сосредоточенные элементы"); };
  h.UpdateLumpedElements = [D, K](int step) {
    Check(K->Lumped.Update(*D, K->Signal, step), "сосредоточенные элементы");
  };
  h.ApplySymmetry = [D] { Check(ApplySymmetry(*D), "симметрия"); };
  h.ApplyMur = [D, K] { Check(ApplyMur(*D, K->Wave), "Mur"); };
  h.ApplyRTABC = [D, K] { Check(ApplyRTABC(*D, K->Wave), "RT-ABC"); };
  h.SaveMurPlanes = [D, K] { Check(SaveMurPlanes(*D, K->Wave), "Mur"); };
  h.ShiftRTABCLevels = [D, K] { Check(ShiftRTABCLevels(*D, K->Wave), "RT-ABC"); };
  h.ApplyPEC = [D] { Check(ApplyPEC(*D), "PEC"); };
  h.AccumulatePower = [D](bool enabled) { Check(AccumulatePower(*D, enabled), "SAR"); };
  return h;
}

}  // namespace rv
