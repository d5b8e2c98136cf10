// What the run-loop benchmarks share: callbacks that show nothing, and whole steps of a
// prepared run timed after an untimed start (the first steps touch every page).
#pragma once
#include <chrono>

#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace rv::bench {

struct Quiet : RunCallbacks {
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

// Runs `warm` untimed steps, then `steps` timed ones; `seconds` gets the timed part.
inline RunOutcome TimedSteps(SolverData& d, const StepHooks& h, int warm, int steps, double& seconds) {
  Quiet cb;
  d.StepCount = warm;
  d.Stopped = 0;
  RunTimeLoop(d, h, cb);
  d.StepCount = steps;
  d.Stopped = 0;
  const auto t0 = std::chrono::steady_clock::now();
  const RunOutcome o = RunTimeLoop(d, h, cb);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return o;
}

}  // namespace rv::bench
