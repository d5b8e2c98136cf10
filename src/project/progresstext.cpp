#include "project/progresstext.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "solver/constants.h"
#include "solver/numtext.h"

namespace rv {

namespace {
constexpr int64_t MsPerDay = 86400000;

std::string TwoDigits(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

bool LocalTime(int64_t epochMs, std::tm& tm) {
  const std::time_t t = std::time_t(epochMs / 1000);
  return localtime_r(&t, &tm) != nullptr;
}
}  // namespace

std::string LongTimeText(int64_t msOfDay) {
  msOfDay %= MsPerDay;
  if (msOfDay < 0) msOfDay += MsPerDay;
  const int64_t sec = msOfDay / 1000;
  return IntToStr(sec / 3600) + ":" + TwoDigits(int(sec / 60 % 60)) + ":" + TwoDigits(int(sec % 60));
}

std::string DateTimeText(int64_t epochMs) {
  std::tm tm{};
  if (!LocalTime(epochMs, tm)) return "";
  return TwoDigits(tm.tm_mday) + "." + TwoDigits(tm.tm_mon + 1) + "." +
         IntToStr(tm.tm_year + 1900) + " " + TimeOfDayText(epochMs);
}

std::string TimeOfDayText(int64_t epochMs) {
  std::tm tm{};
  if (!LocalTime(epochMs, tm)) return "";
  return IntToStr(tm.tm_hour) + ":" + TwoDigits(tm.tm_min) + ":" + TwoDigits(tm.tm_sec);
}

int64_t NowEpochMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string RemainingTimeText(int32_t stepCount, int32_t progressStep, double msPerStep,
                              int64_t* remainingMs) {
  if (remainingMs) *remainingMs = -1;
  const std::string head = "Осталось времени: ";
  const double left = double(int64_t(stepCount) - progressStep);
  const double total = left <= 0 ? 0.0 : left * msPerStep;
  // The count of milliseconds left is a 32-bit whole number: past that range it is
  // "МНОГО", decided here rather than by a conversion failing.
  int rem = 0;
  if (!std::isfinite(total) || total < 0 || !TryRound32(total, rem) || rem < 0)
    return head + "МНОГО";
  if (remainingMs) *remainingMs = rem;
  std::string s = head;
  const int64_t days = rem / MsPerDay;
  if (days >= 1) s += IntToStr(days) + " суток ";
  return s + LongTimeText(rem % MsPerDay);
}

std::string LapTimeText(int64_t elapsedMs) {
  if (elapsedMs < 0) elapsedMs = 0;
  std::string s = "Затрачено времени: ";
  const int64_t days = elapsedMs / MsPerDay;
  if (days >= 1) s += IntToStr(days) + " суток ";
  return s + LongTimeText(elapsedMs % MsPerDay);
}

std::string OneStepTimeText(double ms) {
  if (ms < 500) return "Время на один шаг " + FormatFixed(ms, 4, 1) + " мс";
  return "Время на один шаг " + FormatFixed(ms / 1000, 5, 2) + " с";
}

double RunClockMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void RunClock::Start(double nowMs) { *this = RunClock{}; start_ = nowMs; }

void RunClock::Pause(double nowMs) {
  if (paused_) return;
  paused_ = true;
  pauseStart_ = nowMs;
}

void RunClock::Resume(double nowMs) {
  if (!paused_) return;
  paused_ = false;
  pausedTotal_ += std::max(0.0, nowMs - pauseStart_);
}

double RunClock::RunningMs(double nowMs) const {
  const double end = paused_ ? std::min(nowMs, pauseStart_) : nowMs;
  return std::max(0.0, end - start_ - pausedTotal_);
}

double RunClock::StepMs(int64_t stepsDone, double nowMs) {
  const double run = RunningMs(nowMs);
  const int64_t steps = stepsDone - markSteps_;
  if (steps > 0 && (markSteps_ == 0 || run - markMs_ >= MinStretchMs)) {
    stepMs_ = (run - markMs_) / double(steps);
    markMs_ = run;
    markSteps_ = stepsDone;
  }
  return stepMs_;
}

ProgressTexts FormatProgress(const ProgressInput& in) {
  ProgressTexts t;
  const double ms = std::isfinite(in.MsPerStep) && in.MsPerStep > 0 ? in.MsPerStep : 0.0;
  t.MsPerStep = ms;

  const double percent =
      in.StepCount > 0 ? double(in.ProgressStep) * 100.0 / double(in.StepCount) : 100.0;
  t.Percent = std::isfinite(percent) ? std::lround(std::clamp(percent, -1e9, 1e9)) : 0;
  t.lbStep = "Шаг " + IntToStr(in.ProgressStep) + "/" + IntToStr(in.StepCount) + " (" +
             IntToStr(t.Percent) + "%)" + ". Время, нс: " +
             FormatGeneral(in.CurTime / double(LightSpeed) * 1000000000.0, 5, 2);
  t.lbLapTime = LapTimeText(in.ElapsedMs);
  t.lbOneTime = OneStepTimeText(ms);
  t.lbLeftTime = RemainingTimeText(in.StepCount, in.ProgressStep, ms, &t.RemainingMs);
  return t;
}

std::string MeanStepTimeText(double runningMs, int32_t curStep) {
  const double per = curStep > 0 && runningMs > 0 ? runningMs / 1000.0 / curStep : 0.0;
  // Three significant digits, however small the step.
  const int decimals = per > 0 ? std::clamp(2 - int(std::floor(std::log10(per))), 0, 15) : 0;
  return "Среднее время на один шаг " + FormatFixed(per, 15, decimals) + " с";
}

}  // namespace rv
