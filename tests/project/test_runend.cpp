// A whole run without a window: a closed box with a source, a resistor, one probe of each
// kind, a current region and a voltage line, stepped by the time loop on its own thread
// while this thread drains the chart feed; then the end of the run as the main window's
// end-of-run callback does it, and the ways a run can end badly.
#include <gtest/gtest.h>
#include <omp.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "charts/chartmodel.h"
#include "charts/livefeed.h"
#include "output_fixture.h"
#include "project/outputfiles.h"
#include "project/progresstext.h"
#include "project/recording.h"
#include "project/runfinish.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/run_fixture.h"
#include "solver/runsetup.h"

using namespace rv;
using namespace outtest;

namespace {

// The end of the run as the window's callback runs it.
struct EndCallbacks : RunCallbacks {
  SolverData& d;
  OutputRun& out;
  EndOfRunInput in;
  EndOfRunReport report;
  int finishCalls = 0;
  EndCallbacks(SolverData& d_, OutputRun& o) : d(d_), out(o) {}
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome& o) override {
    ++finishCalls;
    in.Outcome = o;
    report = FinishRun(d, out, in);
  }
};

struct Box {
  Scratch tmp;
  SolverData d;
  OutPointTables t;
  ElementArrays el;
  RunKernels k;
  runtest::Pulse sig;
  ChartModel chart;
  LiveFeed feed;
  OutputRun out;
  int steps = 50, rate = 3;

  Box() {
    MakeGrid(d, 11, 2e-3, 2e-3, 2e-3, true);  // 10 x 10 x 10 cells
    sig.T0 = 0.1e-9;
    sig.Tau = 0.03e-9;
    d.SARDelay = 5;
    tLayer& m = d.Layers[1];
    m.On = 1; m.Name = "Ткань"; m.Sigma = 0.7; m.EpsStatic = m.EpsInf = 40; m.Mu = 1; m.Density = 1050;
    for (int i = 5; i <= 7; ++i)
      for (int j = 3; j <= 8; ++j)
        for (int l = 3; l <= 8; ++l) d.Space(i, j, l) = 1;
    FindObjectBounds(d);
    SetResultPaths(d, (tmp.dir / "p.fdt").string());
    for (const char* kind : {"E", "H", "I", "J", "U", "P", "D"})
      AddRow(t.sgOutPoint, {kind, kind[0] == 'P' || kind[0] == 'D' ? "" : "z", "4", "5", "5",
                            std::string("probe_") + kind});
    AddRow(t.sgCurrent, {"3", "3", "3", "3", "7", "7", "loop"});
    AddRow(t.sgVoltage, {"2", "5", "5", "8", "5", "5", "line"});
    tVoltageSource s;
    s.X = 2; s.Y = 5; s.Z = 5; s.Dir = 'Z'; s.R = 50;
    el.VoltageSources.push_back(s);
    tLumpedElement r;
    r.X = 9; r.Y = 5; r.Z = 5; r.Dir = 'Z'; r.Value = 50;
    el.Resistors.push_back(r);
  }

  // The run start's share: arrays, census, kernels, output files and series.
  void Start() {
    ASSERT_GT(AllocFieldArrays(d), 0);
    ClearFields(d);
    rvtest::Census(d);
    d.StepCount = steps;
    d.OutputRate = rate;
    ASSERT_TRUE(PrepareRunKernels(d, el, &sig, k));
    chart.DeleteAll();
    ASSERT_TRUE(PrepareOutputFiles(d, t, OutputOptions{true, true, true}, &sig, &chart, &feed, out).empty());
    d.Stopped = 0;
    d.CalcRunning = 1;
  }

  // Steps the run on a thread of its own while this thread drains the feed, as the chart
  // window's timer does.
  RunOutcome Run(EndCallbacks& cb, std::function<void(StepHooks&)> patch = nullptr) {
    StepHooks h = DefaultStepHooks(d, k);
    AttachRecording(h, d, out);
    if (patch) patch(h);
    cb.in.Sar.LayerCount = 1;
    cb.in.Sar.Sources = &k.Lumped.VoltageSources;
    cb.in.Sar.Resistors = &k.Lumped.Resistors;
    cb.in.NowMs = NowMs();
    RunOutcome o;
    std::atomic<bool> done{false};
    std::thread calc([&] {
      omp_set_num_threads(1);  // a few thousand cells: one thread is fastest on a busy machine
      o = RunTimeLoop(d, h, cb);
      done = true;
    });
    while (!done) {
      feed.Drain(chart);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the window drains on a timer
    }
    calc.join();
    feed.Drain(chart);
    return o;
  }
  static int64_t NowMs() { return 12 * 3600 * 1000; }

  // The run is over: flags reset, arrays freed, files closed.
  bool Ended() const {
    for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz, &d.PowerX, &d.PowerY,
                                   &d.PowerZ, &d.ExPrev, &d.SARCell})
      if (!a->empty()) return false;
    for (const auto* v : {&out.OutPointFiles, &out.CurrentFiles, &out.VoltageFiles})
      for (const tOutFile& f : *v)
        if (f.F) return false;
    return d.Stopped == 1 && d.CalcRunning == 0;
  }
};

}  // namespace

TEST(RunEnd, WholeRunWithoutAWindow) {
  Box b;
  b.Start();
  EndCallbacks cb(b.d, b.out);
  const RunOutcome o = b.Run(cb);
  ASSERT_EQ(o.End, RunEnd::Completed) << o.Error;
  EXPECT_TRUE(o.FinishError.empty()) << o.FinishError;
  EXPECT_EQ(cb.finishCalls, 1);

  const EndOfRunReport& r = cb.report;
  EXPECT_TRUE(b.Ended());
  EXPECT_EQ(std::tuple(r.InternalError, r.WriteFailed, r.SarWritten, r.LeftTimeText, r.MemoLines.empty(),
                       r.Messages.empty()), std::tuple(false, false, true, "Счет завершен.", true, true));
  EXPECT_EQ(r.StoppedLine, "Счет завершен в " + TimeOfDayText(Box::NowMs()));

  // One line per sample: ceil(50 / 3) = 17; the mean power from the SAR delay's step on.
  const size_t samples = size_t((b.steps + b.rate - 1) / b.rate);
  size_t powerSamples = 0;
  for (int s = 0; s < b.steps; s += b.rate) powerSamples += s >= b.d.SARDelay ? 1 : 0;
  for (const char* kind : {"E", "H", "I", "J", "U", "P", "D"}) {
    bool crlf = false;
    const auto lines = ReadLines(b.d.ResultDir + "probe_" + kind + ".srg", &crlf);
    EXPECT_TRUE(crlf) << kind;
    EXPECT_EQ(lines.size(), kind[0] == 'P' ? powerSamples : samples) << kind;
    for (const std::string& l : lines) {
      double t = 0, v = 0;
      EXPECT_TRUE(TryStrToFloat(l.substr(0, 23), t)) << l;
      EXPECT_TRUE(TryStrToFloat(l.substr(24, 23), v)) << l;
      EXPECT_TRUE(std::isfinite(v)) << l;
    }
  }
  EXPECT_EQ(ReadLines(b.d.ResultDir + "probe_E.srg")[0].substr(47), "  Ez(4,5,5)");
  EXPECT_EQ(ReadLines(b.d.ResultDir + "loop.grf").size(), samples);
  const auto line = ReadLines(b.d.ResultDir + "line.grf");
  ASSERT_EQ(line.size(), samples);
  EXPECT_EQ(line[0].substr(47), " LINE");

  // The pulse reached the probes: the line between the source and the resistor saw a voltage.
  double vmax = 0;
  for (const std::string& l : line) {
    double v = 0;
    ASSERT_TRUE(TryStrToFloat(l.substr(24, 23), v));
    vmax = std::max(vmax, std::fabs(v));
  }
  EXPECT_GT(vmax, 1e-3);

  // The SAR reports.
  const auto sar = ReadLines(b.d.SARDir + "SAR.txt");
  ASSERT_GT(sar.size(), 20u);
  EXPECT_EQ(sar[1], "=========РЕЗУЛЬТАТЫ РАСЧЕТА===========");
  for (const char* l : {"Источник по Z: R=50 Ом (2,5,5):", "Резистор по Z: R=50 Ом (9,5,5):", "УСРЕДНЕННЫЕ ЗНАЧЕНИЯ"})
    EXPECT_NE(std::find(sar.begin(), sar.end(), l), sar.end()) << l;
  for (const char* f : {"SAR_by_Cell.dat", "SAR_by_1g.dat"}) EXPECT_EQ(ReadLines(b.d.SARDir + f).size(), 2u + 1000u);
  EXPECT_GT(r.Sar.LayerPower[1], 0);

  // The chart: every row's series got its points, then the source signal.
  ASSERT_EQ(b.chart.SeriesCount(), 7 + 1 + 1 + 1);
  for (int s = 0; s < 10; ++s)
    EXPECT_EQ(b.chart.Series[size_t(s)].Count(), s == 5 ? powerSamples : samples) << s;
  EXPECT_EQ(b.chart.Series[9].Title, "Исходный сигнал");
}

// However a run ends badly, the end closes, frees and resets everything and says so: a
// step that throws is an internal error; a SAR folder that cannot be made and far-field
// files that throw are shown and journalled, never a normal end; a stop is a normal end.
// A run that ends before its SAR delay, by a stop or by a delay past its steps, writes no
// SAR files and says so on the label and in the journal.
TEST(RunEnd, BadEndsStillEndTheRun) {
  const std::string now = TimeOfDayText(Box::NowMs());
  enum Case { StepFails, FilesFail, StopLate, StopEarly, StopAtLastStep, DelayPastRun };
  for (Case c : {StepFails, FilesFail, StopLate, StopEarly, StopAtLastStep, DelayPastRun}) {
    SCOPED_TRACE(int(c));
    Box b;
    if (c == DelayPastRun) b.d.SARDelay = b.steps;  // power from the 51st step of 50
    b.Start();
    EndCallbacks cb(b.d, b.out);
    bool freed = false;
    cb.in.FreeRunFeatures = [&freed] { freed = true; };
    if (c == FilesFail) {
      b.d.FarFieldOn = 1;
      std::ofstream(b.tmp.dir / "blocker") << "x";
      b.d.SARDir = (b.tmp.dir / "blocker" / "SAR").string() + "/";
      cb.in.SaveFarField = [](std::string&) -> bool { throw std::runtime_error("диск полон"); };
    }
    const int stopAt = c == StopLate ? 20 : c == StopEarly ? 4 : c == StopAtLastStep ? b.steps : 0;
    const RunOutcome o = b.Run(cb, [&b, c, stopAt](StepHooks& h) {
      auto update = h.UpdateH;
      h.UpdateH = [&b, update, c, stopAt] {
        if (c == StepFails && b.d.CurStep == 10) throw std::runtime_error("сбой шага");
        if (b.d.CurStep == stopAt) RequestStop(b.d, nullptr);
        update();
      };
    });
    const EndOfRunReport& r = cb.report;
    EXPECT_TRUE(b.Ended() && freed);
    switch (c) {
      case StepFails:
        EXPECT_EQ(o.End, RunEnd::Failed);
        EXPECT_EQ(r.LeftTimeText, "Счет прерван по внутренней ошибке.");
        EXPECT_EQ(r.MemoLines, (std::vector<std::string>{"Счет прерван по внутренней ошибке в " + now, "сбой шага"}));
        EXPECT_EQ(ReadLines(b.d.ResultDir + "probe_H.srg").size(), 3u);  // steps 0, 3, 6
        break;
      case FilesFail:
        EXPECT_EQ(std::tuple(o.End, r.WriteFailed, r.LeftTimeText),
                  std::tuple(RunEnd::Completed, true, "Счет завершен с ошибкой записи результатов."));
        ASSERT_EQ(r.Messages.size(), 2u);  // the far field, then the SAR folder
        EXPECT_EQ(r.Messages[0], "диск полон");
        ASSERT_EQ(r.MemoLines.size(), 2u);
        EXPECT_EQ(r.MemoLines[0], "Ошибка записи результатов в " + now + ": диск полон");
        EXPECT_EQ(ReadLines(b.d.ResultDir + "probe_U.srg").size(), 17u);
        break;
      case StopAtLastStep:
        // A stop during the last step left nothing undone: the run finished.
        EXPECT_EQ(std::tuple(o.End, r.LeftTimeText, r.StoppedLine, r.SarWritten),
                  std::tuple(RunEnd::Stopped, "Счет завершен.", "Счет завершен в " + now, true));
        break;
      case DelayPastRun:
        EXPECT_EQ(std::tuple(o.End, r.LeftTimeText, r.SarWritten, fs::exists(b.d.SARDir)),
                  std::tuple(RunEnd::Completed, "Счет завершен; SAR не вычислен.", false, false));
        EXPECT_EQ(r.MemoLines, std::vector<std::string>{"Отчеты SAR не записаны: счет закончился на шаге 50, а "
                                                        "поглощенная мощность копится только после шага 50 («Начать "
                                                        "вычисление SAR с шага:» на странице «Геометрия»)."});
        break;
      default:
        // A user's stop says so and names its step, on the label and in the journal.
        EXPECT_EQ(std::tuple(o.End, r.LeftTimeText, r.StoppedLine, r.MemoLines.size(), r.SarWritten),
                  std::tuple(RunEnd::Stopped,
                             "Счет остановлен пользователем на шаге " + std::to_string(stopAt) +
                                 (c == StopLate ? "." : "; SAR не вычислен."),
                             "Счет остановлен пользователем на шаге " + std::to_string(stopAt) + " в " + now,
                             c == StopLate ? 0u : 1u, c == StopLate));
        EXPECT_EQ(fs::exists(b.d.SARDir + "SAR.txt"), c == StopLate);
        EXPECT_EQ(ReadLines(b.d.ResultDir + "probe_E.srg").size(), size_t((stopAt + 2) / 3));
    }
  }
}

// A run whose fields run away stops at the step whose values are no longer finite and says
// so: the files hold the finite samples before it, the chart no point of it, no report of
// INF and NaN is written, and the end is no normal end. Driven here by a step half again
// the stability limit (read at the probes), and by an inductor too small for its cell with
// no output at all (read at the element's edge).
TEST(RunEnd, ARunThatDivergesStopsAtThatStepAndSaysSo) {
  const std::string now = TimeOfDayText(Box::NowMs());
  for (bool inductor : {false, true}) {
    SCOPED_TRACE(inductor);
    Box b;
    b.steps = 400;
    if (inductor) {
      for (StringGrid* g : {&b.t.sgOutPoint, &b.t.sgCurrent, &b.t.sgVoltage}) ClearGrid(*g, b.d.Modified);
      b.el.Inductors.push_back(tInductor{7, 5, 5, 'Z', 0.05e-9, 0});
    } else {
      // c*dt = 1.5 dx/sqrt(3): Courant number 1.5.
      b.d.TimeStep = 1.5 * b.d.Dx / std::sqrt(3.0);
      b.d.TimeStepSec = b.d.TimeStep / double(LightSpeed);
      b.d.CourantX = b.d.CourantY = b.d.CourantZ = 1.5 / std::sqrt(3.0);
    }
    b.Start();
    EndCallbacks cb(b.d, b.out);
    const RunOutcome o = b.Run(cb);
    const EndOfRunReport& r = cb.report;
    ASSERT_EQ(o.End, RunEnd::Diverged) << o.Error;
    const int n = o.DivergedStep;
    EXPECT_EQ(std::tuple(o.StepsDone, b.d.StepCount.load()), std::tuple(n - 1, b.steps));
    EXPECT_TRUE(b.Ended());
    EXPECT_EQ(std::tuple(r.Diverged, r.InternalError, r.SarWritten, r.LeftTimeText, r.Messages),
              std::tuple(true, false, false, "Счет остановлен: расчет расходится.", std::vector{o.Error}));
    EXPECT_EQ(r.MemoLines, (std::vector<std::string>{"Счет остановлен в " + now + ": расчет расходится.", o.Error,
                                                     "Дальнее поле и поглощенная мощность расходящегося расчета не записаны."}));
    EXPECT_FALSE(fs::exists(b.d.SARDir + "SAR.txt"));
    if (inductor) continue;
    EXPECT_GT(n, 10);  // the run ran away on its own, not at its start
    // The samples of the steps 0, 3, ... before step n (1-based), each finite.
    const size_t samples = size_t((n - 1 + b.rate - 1) / b.rate);
    for (const char* kind : {"E", "H", "U"}) {
      const auto lines = ReadLines(b.d.ResultDir + "probe_" + kind + ".srg");
      EXPECT_EQ(lines.size(), samples) << kind;
      for (const std::string& l : lines) {
        double v = 0;
        EXPECT_TRUE(TryStrToFloat(l.substr(24, 23), v) && std::isfinite(v)) << l;
      }
    }
    for (const ChartSeries& c : b.chart.Series)
      for (double y : c.Y) EXPECT_TRUE(std::isfinite(y)) << c.Title;
  }
}

// Sums that ran away while the loop saw nothing (the far field's, the absorbed power's) make
// the end a diverged one as well: neither report is written, and the message names the
// last step.
TEST(RunEnd, SumsThatRanAwayEndTheRunAsDiverged) {
  for (bool far : {true, false}) {
    SCOPED_TRACE(far);
    Box b;
    b.steps = 20;
    b.Start();
    EndCallbacks cb(b.d, b.out);
    bool saved = false;
    if (far) {
      b.d.FarFieldOn = 1;
      cb.in.FarFieldFinite = [] { return false; };
      cb.in.SaveFarField = [&](std::string&) { return saved = true; };
    }
    const RunOutcome o = b.Run(cb, [&](StepHooks& h) {
      if (far) return;
      h.AccumulatePower = [&b, acc = h.AccumulatePower](bool on) {
        acc(on);
        b.d.PowerX(5, 5, 5) = INFINITY;
      };
    });
    const EndOfRunReport& r = cb.report;
    EXPECT_EQ(o.End, RunEnd::Completed);
    EXPECT_EQ(std::tuple(r.Diverged, saved, r.SarWritten, r.LeftTimeText, r.Messages),
              std::tuple(true, false, false, "Счет остановлен: расчет расходится.",
                         std::vector<std::string>{RunDiverged(20).what()}));
    EXPECT_FALSE(fs::exists(b.d.SARDir + "SAR.txt"));
    EXPECT_TRUE(b.Ended());
  }
}

// Every output a run did not write is named at its end: a row the start left out and a file
// whose disk fills mid-run (/dev/full). Meanwhile each file holds whole lines, one per sample.
TEST(RunEnd, OutputsNotWrittenAreNamedAtTheEnd) {
  Box b;
  AddRow(b.t.sgOutPoint, {"E", "z", "4", "5", "50", "outside"});
  b.Start();
  tOutFile& full = b.out.OutPointFiles[2];  // probe_H
  full.F = std::make_unique<TextFileWriter>();
  ASSERT_TRUE(full.F->open("/dev/full"));
  full.F->flushEachLine();
  full.Path = "/dev/full";
  EndCallbacks cb(b.d, b.out);
  std::vector<std::pair<size_t, bool>> seen;  // lines on disk so far, and ending CR LF
  const RunOutcome o = b.Run(cb, [&b, &seen](StepHooks& h) {
    auto update = h.UpdateH;
    h.UpdateH = [&b, &seen, update] {
      if (b.d.CurStep == 20 || b.d.CurStep == 40) {
        const std::string text = ReadBytes(b.d.ResultDir + "probe_E.srg");
        seen.push_back({size_t(std::count(text.begin(), text.end(), '\n')), text.ends_with("\r\n")});
      }
      update();
    };
  });
  ASSERT_EQ(o.End, RunEnd::Completed) << o.Error;
  EXPECT_EQ(seen, (std::vector<std::pair<size_t, bool>>{{7, true}, {13, true}}));  // the samples of the steps done
  const EndOfRunReport& r = cb.report;
  EXPECT_EQ(std::tuple(r.LeftTimeText, r.WriteFailed, r.Messages.size()),
            std::tuple("Счет завершен с ошибкой записи результатов; не записано выходов: 1.", true, 1u));
  EXPECT_EQ(r.Messages.at(0).rfind("Файл результатов /dev/full записан не полностью: ", 0), 0u) << r.Messages[0];
  const auto& m = r.MemoLines;
  EXPECT_NE(std::find(m.begin(), m.end(), "Не записан выход: Одиночные точки, строка 8: ячейка (4, 5, 50) вне "
                                          "пределов 1..10, 1..10, 1..10"), m.end());
}
