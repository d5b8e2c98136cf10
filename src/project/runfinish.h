// The end of a run, without the window: the far-field files, the output files closed, the
// SAR reports, the run's arrays freed and the run flags reset, with the texts the window
// shows and adds to its journal. However the run ended, and whatever fails on the way, the
// run is over afterwards: no file left open, no run array kept, CalcRunning 0, Stopped 1.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/outputfiles.h"
#include "solver/sarreport.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace rv {

struct EndOfRunInput {
  RunOutcome Outcome;  // how the time loop ended
  SarReportInput Sar;  // listed materials, the run's voltage sources and resistors
  // The far-field files (called when FarFieldOn); false with a message when one cannot be
  // written.
  std::function<bool(std::string& message)> SaveFarField;
  // Whether the far-field sums are all finite numbers (checked when FarFieldOn, before
  // SaveFarField); none: taken as finite.
  std::function<bool()> FarFieldFinite;
  // Releases what the run's other features reserved (PML, far field).
  std::function<void()> FreeRunFeatures;
  int64_t NowMs = 0;   // the moment of the end, ms since the epoch, for the journal
};

struct EndOfRunReport {
  bool InternalError = false;  // the loop ended by a failure, not by its end or a stop
  bool Diverged = false;       // the fields ran away: stopped, no far-field or SAR reports
  bool WriteFailed = false;    // a result file could not be written completely
  bool SarWritten = false;
  std::string LeftTimeText;    // the "time left" label; names how many outputs were not written
  // Journal lines, in order, before the window's label lines (time per step, step, time
  // spent), and the closing line after them.
  std::vector<std::string> MemoLines;
  std::string StoppedLine;
  // Failures to show in message boxes once the window is idle again.
  std::vector<std::string> Messages;
  SarSummary Sar;              // the power balance when SarWritten
};

// Ends the run on d: may run on any thread once the time loop has returned and while
// nothing else uses the run's data (the window's end-of-run callback, or a worker thread
// it waits for). The 1-g averaging inside runs on all cores.
EndOfRunReport FinishRun(SolverData& d, OutputRun& outputs, const EndOfRunInput& in);

}  // namespace rv
