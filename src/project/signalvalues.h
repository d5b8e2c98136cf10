// Values of the signal window that no run can use, found by the run start before the first
// step: a signal that is zero at every step, a pulse or frequency the time step cannot
// sample, a width or duration not above 0, a signal beyond the range of the run's 32-bit
// fields.
#pragma once
#include <string>
#include <vector>

#include "project/runvalues.h"
#include "project/signalsource.h"
#include "solver/elements.h"

namespace rv {

struct SolverData;
class RunStartHost;

// What a run does with the signal.
struct SignalRunUse {
  double StepSec = 0;      // the time step, s
  int StepCount = 0;
  bool PlaneWave = false;  // the external field or the TF-SF wave: a field of 1 V/m per unit
  double SourceGain = 0;   // the largest field, V/m, a voltage source puts on its edge per volt
  int SourceRow = 0;       // that source's row of the table «Источники» (0: no source)
};

// The use of the run whose source mode and grid d holds, with these cells and step; a
// voltage source counts when the run steps it (a cell inside, an axis, a usable resistance).
SignalRunUse SignalUseOf(const SolverData& d, double dx, double dy, double dz, double stepSec, int steps,
                         const std::vector<tVoltageSource>& sources);

// The first value of the signal, in the order of its page, that the run cannot use; none
// when nothing takes the signal or it is "Нет сигнала" (chosen on purpose: every output
// then stays 0).
RunRefusal SignalValueRefusal(const SignalSettings& s, const SignalRunUse& use);

// The refusal for the signal the host lends (RunStartHost::RunSignal), if any.
RunRefusal RunSignalRefusal(RunStartHost& host, const SignalRunUse& use);

// Whether the refusal whose status line reads `status` is one of these and still holds
// for the signal the host lends now and the run of d (mode and grid), cells and step.
bool IsSignalValueStatus(const std::string& status);
bool SignalRefusalHolds(const std::string& status, RunStartHost& host, const SolverData& d, double dx,
                        double dy, double dz, double stepSec, int steps);

}  // namespace rv
