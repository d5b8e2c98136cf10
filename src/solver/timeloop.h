// The time loop of a run: the step items in their fixed order, the progress hand-off, the
// stop flag, the pause between steps and the end-of-run call.
//
// One step, in order: external field added at the PML interface; H update; TF-SF
// correction of H; the 1/R boundary at the time of the previous step; PML H; the lumped
// element edges' E kept; E update
// (Debye when polar dielectrics are on); external field's H part removed; TF-SF correction
// of E; lumped elements; symmetry planes; Mur; second-order ABC; RT-ABC; Mur planes saved;
// RT-ABC time levels shifted; PML E; PEC; outputs recorded every OutputRate-th step;
// far-field accumulation; absorbed power from the SAR delay on; the energy watch; the live
// view's slices; the
// progress display; the stop test; then time advances by dt.
//
// The loop runs on whatever thread the caller gives it (the program uses one calculation
// thread per run; tests may use std::thread). It never touches a window: progress and the
// end of the run go through RunCallbacks, which the program implements with a blocking
// call to the GUI thread.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>

#include "solver/solverdata.h"

namespace rv {

// One hook per step item. An empty hook does nothing (features of later parts, or off).
// Each item is called only when its feature is on, as the loop's flags say; a hook may
// throw to end the run as failed.
struct StepHooks {
  std::function<void(int sign, double timeShift)> AddPMLWaveH;  // external field, H part
  std::function<void(int sign, double timeShift)> AddPMLWaveE;  // external field, E part
  std::function<void()> UpdateH;
  std::function<void(double timeShift)> CorrectTFSFH;
  std::function<void()> ApplyDissipation;  // sees CurTime set back by one step
  std::function<void()> UpdatePMLH;
  std::function<void()> KeepLumpedEdges;  // the element edges' E before the E update
  std::function<void()> UpdateE;
  std::function<void()> UpdateEDebye;
  std::function<void(double timeShift)> CorrectTFSFE;
  std::function<void(int step)> UpdateLumpedElements;
  std::function<void()> ApplySymmetry;
  std::function<void()> ApplyMur;
  std::function<void()> ApplyABC2;
  std::function<void()> ApplyRTABC;
  std::function<void()> SaveMurPlanes;
  std::function<void()> ShiftRTABCLevels;
  std::function<void()> UpdatePMLE;
  std::function<void()> ApplyPEC;
  std::function<void(int sample)> RecordOutputPoints;
  std::function<void(int step)> AccumulateFarField;
  std::function<void(bool enabled)> AccumulatePower;
  // The energy watch, last of every step (0-based step); throws RunDiverged.
  std::function<void(int step)> WatchGrowth;
  // The live view, after every step: the step number (1-based) and c*t of the step done.
  std::function<void(int progressStep, double curTime)> DrawSlices;
};

// What the progress display gets after a step (and once more at the end). The loop hands
// over the first and the last step, the step a pause or a stop follows, and otherwise a
// step at most every 50 ms; a full refresh that fell due on a step not handed over comes
// with the next one.
struct ProgressInfo {
  int32_t ProgressStep = 0;  // 1-based step just done
  int32_t StepCount = 0;     // as it stands now
  bool FullRefresh = false;  // rebuild the labels this time
  double CurTime = 0;        // c*t, metres, of the step just done
  // Milliseconds of the steps since the last full refresh and how many steps that covers;
  // the loop starts both again after every full refresh.
  int64_t TickSum = 0;
  int32_t TickSteps = 0;
};
// Mean time of one step for the labels: TickSum / TickSteps, or 1 ms when no step was
// timed since the last refresh.
double StepMilliseconds(const ProgressInfo& p);

enum class RunEnd {
  Completed,  // every step was done
  Stopped,    // the stop flag ended the run
  Failed,     // an exception escaped a step, a hook or the progress display
  Diverged,   // a value turned INF or NaN, or the energy ran away (RunDiverged)
};

struct RunOutcome {
  RunEnd End = RunEnd::Completed;
  int32_t StepsDone = 0;  // steps whose items all ran
  std::string Error;      // what failed, for the user (Failed and Diverged)
  std::string FinishError;  // what FinishCalculation threw, if anything
  int32_t DivergedStep = 0;  // the 1-based step that found the values not finite
};

// Thrown by a step item that finds a value it reads no longer a finite number: the fields
// have run away (a step above the stability limit, an element value the grid cannot carry),
// and every later step would only spread INF and NaN. The loop ends as Diverged.
class RunDiverged : public std::runtime_error {
public:
  explicit RunDiverged(int32_t step);
  // Found otherwise (the energy watch): `what` says how, naming the step.
  RunDiverged(int32_t step, const std::string& what);
  int32_t Step;
};

class RunCallbacks {
public:
  virtual ~RunCallbacks() = default;
  // Called after a step (see ProgressInfo) on the loop's thread; returns when the display
  // is done.
  virtual void ShowProgress(const ProgressInfo& p) = 0;
  // Called exactly once when the loop ends, however it ended (the end-of-run report).
  // Stopped is still 0 here when the run failed.
  virtual void FinishCalculation(const RunOutcome& o) = 0;
};

// Pause between steps. The GUI thread pauses and resumes; the loop blocks in Wait after a
// step while paused. A stop request must also wake a paused loop: use RequestStop.
class PauseControl {
public:
  void Pause();
  void Resume();
  bool Paused() const;
  // Blocks while paused, until resumed or d.Stopped is set (through RequestStop).
  void Wait(const SolverData& d);
  // Wakes a waiting loop so it sees a flag set just before.
  void Wake();
  // Runs `f` if the loop waits in Wait, which it cannot leave meanwhile: the fields hold
  // still. False, without running `f`, when the loop is not waiting.
  bool WhileWaiting(const std::function<void()>& f);

private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  bool paused_ = false;
  bool waiting_ = false;
};

// Asks the running loop to stop after the current step: sets d.Stopped and wakes a paused
// loop.
void RequestStop(SolverData& d, PauseControl* pause);

// Milliseconds of a monotonic clock.
using TickSource = std::function<int64_t()>;
int64_t MonotonicMilliseconds();

// Runs the steps 0 .. StepCount-1 (StepCount re-read every pass; at least one step, as
// the loop tests at its end). CurStep is the step plus one while a step runs; CurTime and
// CurTimeSec advance after each completed step. A normal end sends one more full refresh,
// sets StepCount to the steps done and sets Stopped. A stop leaves after the progress
// display of the current step with CurTime not advanced and StepCount unchanged. Any
// exception ends the loop as Failed (RunDiverged as Diverged), with Stopped left as it was
// and StepCount unchanged. FinishCalculation runs in
// every case; exceptions from it are caught and reported in the outcome, never thrown.
RunOutcome RunTimeLoop(SolverData& d, const StepHooks& hooks, RunCallbacks& cb,
                       PauseControl* pause = nullptr, TickSource tick = nullptr);

}  // namespace rv
