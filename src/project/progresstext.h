// The texts of the run's progress display and of the run journal: step and time, time
// spent, time per step, time left, and the lines the end of a run adds.
#pragma once
#include <cstdint>
#include <string>

namespace rv {

// The long time format of the labels: H:mm:ss of a time of day in milliseconds
// (0 <= ms < 86400000; other values are taken modulo a day).
std::string LongTimeText(int64_t msOfDay);
// Local date and time of a moment (milliseconds since the epoch): "dd.MM.yyyy H:mm:ss".
std::string DateTimeText(int64_t epochMs);
// Local time of day of a moment: H:mm:ss.
std::string TimeOfDayText(int64_t epochMs);
// Milliseconds since the epoch, now.
int64_t NowEpochMs();

// Milliseconds of a steady clock (for the run's own timing, not the time of day).
double RunClockMs();

// The wall time of a run with its pauses left out, and the time of one step measured on
// it: everything a step costs, the wait for the window included. The window reads it
// whenever the run hands progress over, however often that is.
class RunClock {
public:
  void Start(double nowMs);
  void Pause(double nowMs);
  void Resume(double nowMs);
  // Milliseconds since Start, paused time left out.
  double RunningMs(double nowMs) const;
  // Milliseconds per step over the steps done since the last reading at least
  // MinStretchMs of running time before (at first, since the start); the last figure
  // while no step was done since.
  double StepMs(int64_t stepsDone, double nowMs);
  static constexpr double MinStretchMs = 400;

private:
  double start_ = 0, pausedTotal_ = 0, pauseStart_ = 0;
  bool paused_ = false;
  double markMs_ = 0;      // running time at the last reading
  int64_t markSteps_ = 0;  // steps done then
  double stepMs_ = 0;      // the last figure; 0 before any step
};

struct ProgressInput {
  int32_t ProgressStep = 0;  // 1-based step just done
  int32_t StepCount = 0;     // steps of the run (may change during the run)
  double CurTime = 0;        // c*t, metres
  double MsPerStep = 0;      // wall time of one step (RunClock::StepMs)
  int64_t ElapsedMs = 0;     // wall time since the run started
};

struct ProgressTexts {
  double MsPerStep = 0;
  int64_t RemainingMs = -1;  // -1 when the remaining time does not fit ("МНОГО")
  long Percent = 0;          // of the steps done, rounded to nearest: the label and the bar
  std::string lbStep, lbLapTime, lbOneTime, lbLeftTime;
};

// The four labels of a full refresh of the progress display.
ProgressTexts FormatProgress(const ProgressInput& in);

// "Осталось времени: " + [days " суток "] + H:mm:ss, or "Осталось времени: МНОГО" when the
// milliseconds left do not fit a 32-bit count (or are not a number). A step count already
// below the step done leaves nothing to wait for: 0:00:00.
std::string RemainingTimeText(int32_t stepCount, int32_t progressStep, double msPerStep,
                              int64_t* remainingMs = nullptr);

// "Затрачено времени: " + [days " суток "] + H:mm:ss.
std::string LapTimeText(int64_t elapsedMs);

// "Время на один шаг 12.3 мс" below 500 ms, "Время на один шаг 0.50 с" from there on.
std::string OneStepTimeText(double ms);

// End of run: "Среднее время на один шаг " + seconds per step (three significant digits)
// + " с"; runningMs is the run's wall time with pauses left out.
std::string MeanStepTimeText(double runningMs, int32_t curStep);

}  // namespace rv
