#include "solver/timeloop.h"

#include <chrono>
#include <exception>

#include "solver/constants.h"

namespace rv {

RunDiverged::RunDiverged(int32_t step)
    : std::runtime_error("Расчет расходится: на шаге " + std::to_string(step) +
                         " значения поля перестали быть конечными числами (INF или NAN). "
                         "Файлы результатов содержат значения до этого шага. "
                         "Проверьте шаг по времени (не больше предела устойчивости) и "
                         "величины сосредоточенных элементов."),
      Step(step) {}

RunDiverged::RunDiverged(int32_t step, const std::string& what) : std::runtime_error(what), Step(step) {}

double StepMilliseconds(const ProgressInfo& p) {
  if (p.TickSteps <= 0) return 1.0;
  return double(p.TickSum) / double(p.TickSteps);
}

void PauseControl::Pause() {
  std::lock_guard<std::mutex> lk(m_);
  paused_ = true;
}

void PauseControl::Resume() {
  {
    std::lock_guard<std::mutex> lk(m_);
    paused_ = false;
  }
  cv_.notify_all();
}

bool PauseControl::Paused() const {
  std::lock_guard<std::mutex> lk(m_);
  return paused_;
}

void PauseControl::Wait(const SolverData& d) {
  std::unique_lock<std::mutex> lk(m_);
  waiting_ = true;
  cv_.wait(lk, [&] { return !paused_ || d.Stopped.load() != 0; });
  waiting_ = false;
}

bool PauseControl::WhileWaiting(const std::function<void()>& f) {
  std::lock_guard<std::mutex> lk(m_);
  if (!waiting_) return false;
  f();
  return true;
}

void PauseControl::Wake() {
  // Taking the lock orders the wake after a waiter's test of the flags, so it is not lost.
  { std::lock_guard<std::mutex> lk(m_); }
  cv_.notify_all();
}

void RequestStop(SolverData& d, PauseControl* pause) {
  d.Stopped = 1;
  if (pause) pause->Wake();
}

int64_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// The longest stretch of steps without a progress hand-over.
constexpr int64_t kHandOffMs = 50;

template <class F, class... A>
void Call(const F& f, A... a) {
  if (f) f(a...);
}

bool AnyFace(const FaceFlags& f) {
  for (int i = 1; i <= 6; ++i)
    if (f[size_t(i)]) return true;
  return false;
}

// One step's items in their fixed order.
void DoStep(SolverData& d, const StepHooks& h, int step) {
  const bool externalPml = d.ExternalField && d.AnyPML;
  if (externalPml) {
    Call(h.AddPMLWaveH, +1, -d.TimeStep);
    Call(h.AddPMLWaveE, +1, -d.TimeStep / 2);
  }
  Call(h.UpdateH);
  if (d.TFSFSource) Call(h.CorrectTFSFH, -d.TimeStep / 2);
  if (d.AnyDissipation) {
    // The 1/R boundary sees the time of the previous step; restore the time exactly.
    const double t = d.CurTime;
    d.CurTime = t - d.TimeStep;
    Call(h.ApplyDissipation);
    d.CurTime = t;
  }
  if (d.AnyPML) Call(h.UpdatePMLH);
  Call(h.KeepLumpedEdges);
  if (d.PolarDielectrics) Call(h.UpdateEDebye);
  else Call(h.UpdateE);
  if (externalPml) Call(h.AddPMLWaveH, -1, 0.0);
  if (d.TFSFSource) Call(h.CorrectTFSFE, 0.0);
  Call(h.UpdateLumpedElements, step);
  if (d.AnySymE || d.AnySymH) Call(h.ApplySymmetry);
  if (d.AnyMur) Call(h.ApplyMur);
  if (AnyFace(d.ABC2Face)) Call(h.ApplyABC2);
  if (d.AnyRTABC) Call(h.ApplyRTABC);
  if (d.AnyMur) Call(h.SaveMurPlanes);
  if (d.AnyRTABC) Call(h.ShiftRTABCLevels);
  if (d.AnyPML) Call(h.UpdatePMLE);
  if (d.AnyPEC) Call(h.ApplyPEC);
  // A rate below 1 would divide by zero: every step is then recorded.
  const int rate = d.OutputRate >= 1 ? d.OutputRate : 1;
  if (step % rate == 0) Call(h.RecordOutputPoints, step / rate);
  if (d.FarFieldOn) Call(h.AccumulateFarField, step);
  if (step >= d.SARDelay) Call(h.AccumulatePower, d.SAROn != 0);
  Call(h.WatchGrowth, step);
}

}  // namespace

RunOutcome RunTimeLoop(SolverData& d, const StepHooks& hooks, RunCallbacks& cb,
                       PauseControl* pause, TickSource tick) {
  if (!tick) tick = MonotonicMilliseconds;
  RunOutcome o;
  // The steps' time since the last full refresh, for the display at any end.
  int64_t tickSum = 0;
  int32_t tickSteps = 0;
  auto showProgress = [&](int32_t shownStep, bool full) {
    ProgressInfo p;
    p.ProgressStep = shownStep;
    p.StepCount = d.StepCount;
    p.FullRefresh = full;
    p.CurTime = d.CurTime;
    p.TickSum = tickSum;
    p.TickSteps = tickSteps;
    cb.ShowProgress(p);
  };
  try {
    d.CurTime = 0;
    d.CurTimeSec = 0;
    int64_t tickStart = tick();
    int64_t lastHandOff = tickStart;
    bool pendingFull = false;  // a full refresh is due at the next hand-over
    int32_t step = 0;
    bool stopped = false;
    do {
      d.CurStep = step + 1;
      DoStep(d, hooks, step);
      o.StepsDone = step + 1;
      Call(hooks.DrawSlices, step + 1, d.CurTime);

      // The step's time, without the display's and a pause's time.
      const int64_t now = tick();
      tickSum += now - tickStart;
      ++tickSteps;
      pendingFull = pendingFull || tickSum > 500 || step % 500 == 0;
      // The display waits for the window: hand over the first and the last step, a step
      // the run pauses or stops after, and otherwise at most every kHandOffMs.
      bool handed = false, fullHanded = false;
      auto handOver = [&] {
        const bool full = pendingFull;
        showProgress(step + 1, full);
        if (full) { tickSum = 0; tickSteps = 0; pendingFull = false; }
        lastHandOff = now;
        handed = true;
        fullHanded = full;
      };
      // The labels are left at the step a run stops at, not at the last full refresh.
      if (d.Stopped) pendingFull = true;
      if (step == 0 || step + 1 >= d.StepCount || d.Stopped || now - lastHandOff >= kHandOffMs)
        handOver();
      // Only a pause seen here blocks, so the step it holds at is always on display.
      if (pause && pause->Paused()) {
        if (!handed) handOver();
        pause->Wait(d);
      }
      if (d.Stopped) {
        if (!handed || !fullHanded) {  // a stop that came during a pause
          pendingFull = true;
          handOver();
        }
        stopped = true;
        break;
      }
      d.CurTime = d.CurTime + d.TimeStep;
      d.CurTimeSec = d.CurTime / double(LightSpeed);
      ++step;
      tickStart = tick();
    } while (step < d.StepCount);  // step <= StepCount - 1, without the overflow at INT_MIN

    if (stopped) {
      o.End = RunEnd::Stopped;
    } else {
      showProgress(step, true);
      d.StepCount = step;
      d.Stopped = 1;
      o.End = RunEnd::Completed;
    }
  } catch (const RunDiverged& e) {
    o.End = RunEnd::Diverged;
    o.Error = e.what();
    o.DivergedStep = e.Step;
    // The display shows the step the message names, not the last one handed over.
    try {
      showProgress(e.Step, true);
    } catch (...) {
      // The run has ended either way; the message still tells the step.
    }
  } catch (const std::exception& e) {
    o.End = RunEnd::Failed;
    o.Error = e.what();
  } catch (...) {
    o.End = RunEnd::Failed;
    o.Error = "неизвестная ошибка";
  }
  try {
    cb.FinishCalculation(o);
  } catch (const std::exception& e) {
    o.FinishError = e.what();
  } catch (...) {
    o.FinishError = "неизвестная ошибка";
  }
  return o;
}

}  // namespace rv
