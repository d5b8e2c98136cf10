#include <gtest/gtest.h>

#include <tuple>

#include "project/progresstext.h"
#include "solver/constants.h"

using namespace rv;

TEST(ProgressText, LabelsOfAFullRefresh) {
  ProgressInput in;
  in.ProgressStep = 50; in.StepCount = 200;
  in.CurTime = double(LightSpeed) * 1.5e-9;  // c*t of 1.5 ns
  in.MsPerStep = 123.4;
  in.ElapsedMs = (26 * 3600 + 5 * 60 + 7) * 1000LL;  // 1 day 2:05:07
  const ProgressTexts t = FormatProgress(in);
  // 150 steps of 123.4 ms left: 18.51 s.
  EXPECT_EQ(std::tuple(t.lbStep, t.lbLapTime, t.lbOneTime, t.RemainingMs, t.lbLeftTime),
            std::tuple("Шаг 50/200 (25%). Время, нс: 1.5", "Затрачено времени: 1 суток 2:05:07",
                       "Время на один шаг 123.4 мс", 18510, "Осталось времени: 0:00:18"));

  // The label and the bar round the same way, to nearest.
  for (auto [step, count, percent] : {std::tuple{2, 3, 67L}, {1, 3, 33L}, {1, 200, 1L}, {3, 3, 100L}}) {
    in.ProgressStep = step; in.StepCount = count;
    const ProgressTexts e = FormatProgress(in);
    EXPECT_EQ(e.Percent, percent) << step << "/" << count;
    EXPECT_NE(e.lbStep.find("(" + std::to_string(percent) + "%)"), std::string::npos) << e.lbStep;
  }
}

TEST(ProgressText, RunClockLeavesPausesOutAndTimesStretchesOfSteps) {
  RunClock c;
  c.Start(1000);
  EXPECT_EQ(c.StepMs(0, 1050), 0.0);  // no step yet
  EXPECT_EQ(c.StepMs(1, 1100), 100.0);
  c.Pause(1200);
  c.Resume(5200);  // four seconds paused count for nothing
  EXPECT_EQ(c.RunningMs(5300), 300.0);
  EXPECT_EQ(c.StepMs(5, 5300), 100.0);  // 200 ms since the last figure: too short a stretch
  EXPECT_EQ(c.StepMs(11, 5800), 70.0);  // 700 ms over 10 steps
  EXPECT_EQ(c.StepMs(11, 6500), 70.0);  // no step since: the last figure
  c.Pause(6600);
  EXPECT_EQ(c.RunningMs(9000), 1600.0);
  EXPECT_EQ(MeanStepTimeText(c.RunningMs(9000), 11), "Среднее время на один шаг 0.145 с");
}

// Step time in ms below 500 ms, in s from there; three significant digits for the mean
// however small; days beyond 24 h; "МНОГО" past the 32-bit millisecond count.
TEST(ProgressText, TimeTextsAtTheirSwitchPoints) {
  int64_t ms = 0;
  RemainingTimeText(10, 5, 2.5, &ms);
  EXPECT_EQ(ms, 12);  // 12.5 rounds to even
  const std::pair<std::string, const char*> texts[] = {
      {OneStepTimeText(499), "Время на один шаг 499.0 мс"}, {OneStepTimeText(500), "Время на один шаг 0.50 с"},
      {OneStepTimeText(12345), "Время на один шаг 12.35 с"}, {LapTimeText(2 * 3600 * 1000), "Затрачено времени: 2:00:00"},
      {LapTimeText((24 + 2) * 3600 * 1000LL), "Затрачено времени: 1 суток 2:00:00"},
      {MeanStepTimeText(2500, 100), "Среднее время на один шаг 0.0250 с"},
      {MeanStepTimeText(21, 100), "Среднее время на один шаг 0.000210 с"},
      {MeanStepTimeText(123456, 10), "Среднее время на один шаг 12.3 с"},
      {MeanStepTimeText(0, 0), "Среднее время на один шаг 0 с"},
      {RemainingTimeText(2147483647, 0, 1.0), "Осталось времени: 24 суток 20:31:23"},  // 2^31 - 1 ms
      {RemainingTimeText(1, 0, 2147483648.0), "Осталось времени: МНОГО"},
      {RemainingTimeText(100000000, 1, 50000.0), "Осталось времени: МНОГО"},
      {RemainingTimeText(86400, 0, 1000.0), "Осталось времени: 1 суток 0:00:00"},
      {RemainingTimeText(10, 20, 100.0), "Осталось времени: 0:00:00"},  // step count lowered below the step
      {LongTimeText(59999), "0:00:59"}, {LongTimeText(86399999), "23:59:59"}};
  for (const auto& [got, want] : texts) EXPECT_EQ(got, want);
}
