#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>

#include "solver/constants.h"
#include "solver/timeloop.h"

using namespace rv;

namespace {

// Records what the loop hands over.
struct Recorder : RunCallbacks {
  std::vector<ProgressInfo> progress;
  std::vector<RunOutcome> finishes;
  std::function<void(const ProgressInfo&)> onProgress;
  bool throwInFinish = false;
  void ShowProgress(const ProgressInfo& p) override {
    progress.push_back(p);
    if (onProgress) onProgress(p);
  }
  void FinishCalculation(const RunOutcome& o) override {
    finishes.push_back(o);
    if (throwInFinish) throw std::runtime_error("диск полон");
  }
};

void Prepare(SolverData& d, int steps) {
  d.TimeStep = 0.001;
  d.StepCount = steps;
  d.Stopped = 0;
  d.OutputRate = 1;
  d.SARDelay = 0;
}

// A clock that advances a fixed amount each time it is read.
TickSource FakeClock(int64_t msPerRead) {
  auto t = std::make_shared<int64_t>(0);
  return [t, msPerRead] { return *t += msPerRead; };
}

}  // namespace

TEST(TimeLoop, ItemsRunInOrderOnlyWhenTheirFeatureIsOn) {
  SolverData d;
  Prepare(d, 4);
  d.OutputRate = d.SARDelay = 2;
  d.SAROn = 1;
  d.ExternalField = 1; d.AnyPML = 1; d.TFSFSource = 1; d.AnyDissipation = 1;
  d.AnySymE = 1; d.AnyMur = 1; d.ABC2Face[FaceX1] = 1; d.AnyRTABC = 1; d.AnyPEC = 1;
  d.FarFieldOn = 1; d.PolarDielectrics = 1;
  std::vector<std::string> log;
  double dissipationTime = -1;
  StepHooks h;
  auto item = [&](const char* n) { return [&log, n] { log.push_back(n); }; };
  h.AddPMLWaveH = [&](int s, double t) { log.push_back("PMLWaveH" + std::to_string(s) + (t < 0 ? "-" : "0")); };
  h.AddPMLWaveE = [&](int s, double t) { log.push_back("PMLWaveE" + std::to_string(s) + (t == -0.0005 ? "h" : "?")); };
  h.CorrectTFSFH = [&](double t) { log.push_back(t == -0.0005 ? "TFSFH" : "TFSFH?"); };
  h.ApplyDissipation = [&] { log.push_back("1/R"); dissipationTime = d.CurTime; };
  h.CorrectTFSFE = [&](double t) { log.push_back(t == 0 ? "TFSFE" : "TFSFE?"); };
  h.UpdateLumpedElements = [&](int s) { log.push_back("Lumped" + std::to_string(s)); };
  for (auto [hook, name] : {std::pair{&h.UpdateH, "H"}, {&h.UpdatePMLH, "PMLH"},
                            {&h.KeepLumpedEdges, "Keep"}, {&h.UpdateE, "E"},
                            {&h.UpdateEDebye, "EDebye"}, {&h.ApplySymmetry, "Sym"}, {&h.ApplyMur, "Mur"},
                            {&h.ApplyABC2, "ABC2"}, {&h.ApplyRTABC, "RTABC"}, {&h.SaveMurPlanes, "SaveMur"},
                            {&h.ShiftRTABCLevels, "ShiftRT"}, {&h.UpdatePMLE, "PMLE"}, {&h.ApplyPEC, "PEC"}})
    *hook = item(name);
  h.RecordOutputPoints = [&](int n) { log.push_back("Out" + std::to_string(n)); };
  h.AccumulateFarField = [&](int s) { log.push_back("Far" + std::to_string(s)); };
  h.AccumulatePower = [&](bool on) { log.push_back(on ? "Power" : "Power0"); };
  Recorder r;
  r.onProgress = [&](const ProgressInfo& p) { log.push_back("Progress" + std::to_string(p.ProgressStep)); };
  RunTimeLoop(d, h, r, nullptr, FakeClock(100));  // slow steps: every one is handed over

  const std::vector<std::string> step1 = {
      "PMLWaveH1-", "PMLWaveE1h", "H", "TFSFH", "1/R", "PMLH", "Keep", "EDebye", "PMLWaveH-10", "TFSFE",
      "Lumped1", "Sym", "Mur", "ABC2", "RTABC", "SaveMur", "ShiftRT", "PMLE", "PEC", "Far1",
      "Progress2"};
  // Step 0 records output 0 and has no power (SAR delay 2); step 2 records output 1.
  ASSERT_GT(log.size(), 2 * step1.size());
  const std::vector<std::string> got1(log.begin() + 22, log.begin() + 22 + step1.size());
  EXPECT_EQ(got1, step1);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 19, log.begin() + 22),
            (std::vector<std::string>{"Out0", "Far0", "Progress1"}));
  // Power at steps 2 and 3.
  EXPECT_EQ(std::tuple(std::count(log.begin(), log.end(), "Out1"), std::count(log.begin(), log.end(), "Power")),
            std::tuple(1, 2));
  // The 1/R boundary saw the previous step's time; the time itself came back exactly.
  EXPECT_DOUBLE_EQ(dissipationTime, 2 * 0.001);
  EXPECT_EQ(d.CurTime, ((0.001 + 0.001) + 0.001) + 0.001);

  // Everything off: only the always-run items.
  SolverData q;
  Prepare(q, 2);
  log.clear();
  r.onProgress = nullptr;
  RunTimeLoop(q, h, r, nullptr, FakeClock(0));
  EXPECT_EQ(log, (std::vector<std::string>{"H", "Keep", "E", "Lumped0", "Out0", "Power0", "H",
                                           "Keep", "E", "Lumped1", "Out1", "Power0"}));
  // A rate below 1 records every step instead of dividing by zero.
  SolverData z;
  Prepare(z, 3);
  z.OutputRate = 0;
  log.clear();
  RunTimeLoop(z, h, r, nullptr, FakeClock(0));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Out2"), 1);
}

TEST(TimeLoop, StopDuringAStepAndStepCountLoweredMidRun) {
  // A stop asked for during step 3 leaves after that step's display.
  SolverData d;
  Prepare(d, 100);
  Recorder r;
  StepHooks h;
  h.UpdateE = [&] { if (d.CurStep == 4) RequestStop(d, nullptr); };
  RunOutcome o = RunTimeLoop(d, h, r, nullptr, FakeClock(0));
  // The step count is unchanged; the time is not advanced for the stopped step.
  EXPECT_EQ(std::tuple(o.End, o.StepsDone, d.CurStep.load(), d.StepCount.load(), d.Stopped.load()),
            std::tuple(RunEnd::Stopped, 4, 4, 100, 1));
  EXPECT_DOUBLE_EQ(d.CurTime, 3 * 0.001);
  ASSERT_EQ(r.progress.size(), 2u);  // the first step and the stopped one, no closing refresh
  ASSERT_EQ(r.finishes.size(), 1u);
  // The stopped step is a full refresh: the labels show where the run stopped.
  EXPECT_EQ(std::tuple(r.progress[1].ProgressStep, r.progress[1].FullRefresh, r.finishes[0].End),
            std::tuple(4, true, RunEnd::Stopped));

  // StepCount lowered below the current step during step 5: the loop ends after it.
  SolverData q;
  Prepare(q, 100);
  Recorder r2;
  StepHooks h2;
  h2.UpdateH = [&] { if (q.CurStep == 6) q.StepCount = 3; };
  o = RunTimeLoop(q, h2, r2, nullptr, FakeClock(0));
  // The step count becomes the number of steps done.
  EXPECT_EQ(std::tuple(o.End, o.StepsDone, q.StepCount.load(), r2.progress.back().ProgressStep),
            std::tuple(RunEnd::Completed, 6, 6, 6));
  // Raised mid-run: the loop goes on to the new count.
  SolverData u;
  Prepare(u, 2);
  StepHooks h3;
  h3.UpdateH = [&] { if (u.CurStep == 1) u.StepCount = 5; };
  EXPECT_EQ(RunTimeLoop(u, h3, r2, nullptr, FakeClock(0)).StepsDone, 5);
}

TEST(TimeLoop, FailuresStillRunTheEndOfRun) {
  SolverData d;
  Prepare(d, 10);
  Recorder r;
  r.throwInFinish = true;
  StepHooks h;
  h.ApplyPEC = [&] { if (d.CurStep == 3) throw std::runtime_error("индекс вне массива"); };
  d.AnyPEC = 1;
  const RunOutcome o = RunTimeLoop(d, h, r, nullptr, FakeClock(0));
  // The stop flag is left as it was: the report calls it an internal error.
  EXPECT_EQ(std::tuple(o.End, o.Error, o.StepsDone, d.Stopped.load(), o.FinishError),
            std::tuple(RunEnd::Failed, "индекс вне массива", 2, 0, "диск полон"));
  ASSERT_EQ(r.finishes.size(), 1u);
  EXPECT_EQ(r.finishes[0].End, RunEnd::Failed);

  // Values found no longer finite end the run as diverged at that step, StepCount unchanged.
  SolverData v;
  Prepare(v, 10);
  Recorder rd;
  StepHooks hv;
  hv.RecordOutputPoints = [&](int) { if (v.CurStep == 4) throw RunDiverged(v.CurStep); };
  const RunOutcome ov = RunTimeLoop(v, hv, rd, nullptr, FakeClock(0));
  EXPECT_EQ(std::tuple(ov.End, ov.DivergedStep, ov.StepsDone, v.StepCount.load(), v.Stopped.load(),
                       ov.Error.rfind("Расчет расходится: на шаге 4 ", 0), rd.finishes.size()),
            std::tuple(RunEnd::Diverged, 4, 3, 10, 0, 0u, 1u));
  // The display is left at the step the message names.
  ASSERT_FALSE(rd.progress.empty());
  EXPECT_EQ(std::tuple(rd.progress.back().ProgressStep, rd.progress.back().FullRefresh), std::tuple(4, true));

  // An exception from the progress display ends the run the same way.
  SolverData q;
  Prepare(q, 10);
  Recorder r2;
  r2.onProgress = [](const ProgressInfo&) { throw 42; };
  EXPECT_EQ(RunTimeLoop(q, StepHooks{}, r2, nullptr, FakeClock(0)).End, RunEnd::Failed);
  EXPECT_EQ(r2.finishes.size(), 1u);
}

TEST(TimeLoop, HandOverAtMostEvery50msAndFullRefreshEvery500msOrEvery500thStep) {
  // One step: step 0 is a multiple of 500, then the closing refresh with nothing timed
  // since shows 1 ms a step; the step count and the time are kept.
  {
    SolverData d;
    Prepare(d, 1);
    Recorder r;
    const RunOutcome o = RunTimeLoop(d, StepHooks{}, r, nullptr, FakeClock(0));
    ASSERT_EQ(r.progress.size(), 2u);
    EXPECT_EQ(std::tuple(o.End, r.finishes.size(), r.progress[0].FullRefresh, r.progress[0].ProgressStep,
                         r.progress[1].FullRefresh, r.progress[1].TickSteps, StepMilliseconds(r.progress[1])),
              std::tuple(RunEnd::Completed, 1u, true, 1, true, 0, 1.0));
    EXPECT_EQ(std::tuple(d.StepCount.load(), d.CurStep.load(), d.Stopped.load(), d.CurTime, d.CurTimeSec),
              std::tuple(1, 1, 1, 0.001, 0.001 / double(LightSpeed)));
  }
  // Every read of the clock adds the given ms; a step reads it twice. Slow steps (100 ms)
  // are all handed over; fast ones (0 ms) only the first and the last, with the refreshes
  // that fell due in between; 10 ms a read: every third step (20 ms a step apart).
  for (const int64_t ms : {0, 10, 100}) {
    SolverData d;
    Prepare(d, 1001);
    Recorder r;
    RunTimeLoop(d, StepHooks{}, r, nullptr, FakeClock(ms));
    std::vector<int> steps;
    for (const ProgressInfo& p : r.progress) steps.push_back(p.ProgressStep);
    if (ms != 0) {
      const int every = ms == 100 ? 1 : 3;
      std::vector<int> want;
      for (int s = 0; s <= 1000; ++s)
        if (s % every == 0 || s == 1000) want.push_back(s + 1);
      want.push_back(1001);
      EXPECT_EQ(steps, want) << ms;
    } else {
      EXPECT_EQ(steps, (std::vector<int>{1, 1001, 1001}));
      EXPECT_EQ(std::tuple(r.progress[1].FullRefresh, r.progress[1].TickSteps), std::tuple(true, 1000));  // due at 501, 1001
    }
    EXPECT_TRUE(r.progress.front().FullRefresh && r.progress.back().FullRefresh);
    if (ms == 100) {
      // After a refresh the sums start again: 100, 200, ..., 600 > 500 at the sixth step.
      for (int s = 1; s <= 5; ++s) EXPECT_FALSE(r.progress[size_t(s)].FullRefresh) << s;
      EXPECT_EQ(std::tuple(r.progress[6].FullRefresh, r.progress[6].TickSum, StepMilliseconds(r.progress[6])),
                std::tuple(true, 600, 100.0));
    }
  }
}

TEST(TimeLoop, PauseBlocksBetweenStepsUntilResumeOrStop) {
  // Counts the steps and keeps the last one handed over: the run is endless until the
  // test ends it.
  struct Counter : RunCallbacks {
    std::atomic<int> steps{0}, shown{0};
    std::vector<RunOutcome> finishes;
    void ShowProgress(const ProgressInfo& p) override { shown = p.ProgressStep; }
    void FinishCalculation(const RunOutcome& o) override { finishes.push_back(o); }
  };
  for (bool stopWhilePaused : {false, true}) {
    SolverData d;
    Prepare(d, std::numeric_limits<int32_t>::max());
    PauseControl pause;
    Counter c;
    StepHooks h;
    h.UpdateH = [&] { ++c.steps; };
    std::thread t([&] { RunTimeLoop(d, h, c, &pause); });
    while (c.steps < 10) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pause.Pause();
    EXPECT_TRUE(pause.Paused());
    // The step under way finishes first (a loaded machine may hold it a while): wait until
    // the display has had the step done for a while.
    for (int w = 0, same = 0; w < 500 && same < 3; ++w) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      same = c.shown == c.steps ? same + 1 : 0;
    }
    const int held = c.steps;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    // No step while paused, and the display has the step it paused after.
    EXPECT_EQ(std::tuple(c.steps.load(), c.shown.load()), std::tuple(held, held));
    if (stopWhilePaused) {
      RequestStop(d, &pause);  // wakes the paused loop, which leaves at once
      t.join();
      EXPECT_EQ(c.steps.load(), held);
      ASSERT_EQ(c.finishes.size(), 1u);
      EXPECT_EQ(c.finishes[0].End, RunEnd::Stopped);
      EXPECT_EQ(d.StepCount, std::numeric_limits<int32_t>::max());
    } else {
      pause.Resume();
      while (c.steps < held + 10) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      d.StepCount = 1;  // ends after the current step
      t.join();
      ASSERT_EQ(c.finishes.size(), 1u);
      EXPECT_EQ(c.finishes[0].End, RunEnd::Completed);
    }
  }
}
