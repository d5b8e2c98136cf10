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

struct ProgressInput {
  int32_t ProgressStep = 0;  // 1-based step just done
  int32_t StepCount = 0;     // steps of the run (may change during the run)
  double CurTime = 0;        // c*t, metres
  int64_t TickSum = 0;       // milliseconds of the steps since the last full refresh
  int32_t TickSteps = 0;     // how many steps TickSum covers
  int64_t ElapsedMs = 0;     // wall time since the run started
};

struct ProgressTexts {
  double MsPerStep = 1;  // 1 when no step was timed since the last refresh
  int64_t RemainingMs = -1;  // -1 when the remaining time does not fit ("МНОГО")
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

// End of run: "Среднее время на один шаг " + seconds per step (4 decimals) + " с".
std::string MeanStepTimeText(int64_t elapsedMs, int32_t curStep);

}  // namespace rv
