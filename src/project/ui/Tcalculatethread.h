#pragma once
#include <QThread>

#include "solver/timeloop.h"

namespace rv {

struct SolverData;
class TfmNew3dMain;

// The calculation thread of one run: runs the time loop and hands progress and the end of
// the run to the main window with blocking calls on the GUI thread.
class Tcalculatethread : public QThread {
  Q_OBJECT
public:
  Tcalculatethread(TfmNew3dMain& window, SolverData& d, StepHooks hooks, PauseControl& pause);
  const RunOutcome& Outcome() const { return outcome_; }

protected:
  void run() override;

private:
  TfmNew3dMain& window_;
  SolverData& d_;
  StepHooks hooks_;
  PauseControl& pause_;
  RunOutcome outcome_;
};

}  // namespace rv
