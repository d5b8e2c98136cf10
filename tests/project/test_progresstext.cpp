#include <gtest/gtest.h>

#include "project/progresstext.h"
#include "solver/constants.h"

using namespace rv;

TEST(ProgressText, LabelsOfAFullRefresh) {
  ProgressInput in;
  in.ProgressStep = 50;
  in.StepCount = 200;
  in.CurTime = double(LightSpeed) * 1.5e-9;  // c*t of 1.5 ns
  in.TickSum = 1234;
  in.TickSteps = 10;
  in.ElapsedMs = (26 * 3600 + 5 * 60 + 7) * 1000LL;  // 1 day 2:05:07
  const ProgressTexts t = FormatProgress(in);
  EXPECT_EQ(t.lbStep, "Шаг 50/200 (25%). Время, нс: 1.5");
  EXPECT_EQ(t.lbLapTime, "Затрачено времени: 1 суток 2:05:07");
  EXPECT_EQ(t.lbOneTime, "Время на один шаг 123.4 мс");
  // 150 steps of 123.4 ms left: 18.51 s.
  EXPECT_EQ(t.RemainingMs, 18510);
  EXPECT_EQ(t.lbLeftTime, "Осталось времени: 0:00:18");

  // The final call may have no timed step: 1 ms per step, nothing left.
  in.ProgressStep = 200;
  in.TickSum = 0;
  in.TickSteps = 0;
  const ProgressTexts e = FormatProgress(in);
  EXPECT_EQ(e.lbOneTime, "Время на один шаг 1.0 мс");
  EXPECT_EQ(e.lbLeftTime, "Осталось времени: 0:00:00");
  EXPECT_EQ(e.lbStep.substr(0, e.lbStep.find('.')), "Шаг 200/200 (100%)");
}

TEST(ProgressText, StepTimeSwitchesToSecondsAt500Ms) {
  EXPECT_EQ(OneStepTimeText(499), "Время на один шаг 499.0 мс");
  EXPECT_EQ(OneStepTimeText(500), "Время на один шаг 0.50 с");
  EXPECT_EQ(OneStepTimeText(12345), "Время на один шаг 12.35 с");
  EXPECT_EQ(LapTimeText(2 * 3600 * 1000), "Затрачено времени: 2:00:00");
  EXPECT_EQ(LapTimeText((24 + 2) * 3600 * 1000LL), "Затрачено времени: 1 суток 2:00:00");
  EXPECT_EQ(MeanStepTimeText(2500, 100), "Среднее время на один шаг 0.0250 с");
}

TEST(ProgressText, RemainingTimeAtThe32BitLimit) {
  // 2^31 - 1 ms is the longest count: 24 days 20:31:23.
  EXPECT_EQ(RemainingTimeText(2147483647, 0, 1.0), "Осталось времени: 24 суток 20:31:23");
  EXPECT_EQ(RemainingTimeText(1, 0, 2147483648.0), "Осталось времени: МНОГО");
  EXPECT_EQ(RemainingTimeText(100000000, 1, 50000.0), "Осталось времени: МНОГО");
  // Exactly one day.
  EXPECT_EQ(RemainingTimeText(86400, 0, 1000.0), "Осталось времени: 1 суток 0:00:00");
  // A step count lowered below the step done leaves nothing to wait for.
  EXPECT_EQ(RemainingTimeText(10, 20, 100.0), "Осталось времени: 0:00:00");
  int64_t ms = 0;
  RemainingTimeText(10, 5, 2.5, &ms);
  EXPECT_EQ(ms, 12);  // 12.5 rounds to even
  EXPECT_EQ(LongTimeText(59999), "0:00:59");
  EXPECT_EQ(LongTimeText(86399999), "23:59:59");
}
