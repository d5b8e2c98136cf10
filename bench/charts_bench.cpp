// Chart viewer on a long curve: load, save, resample, live feed, and (with the windows
// built) building the plot and drawing it offscreen.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <filesystem>
#include <string>
#include <thread>

#include <unistd.h>

#include "charts/chartmodel.h"
#include "charts/curvefile.h"
#include "charts/livefeed.h"

#ifdef RAVELIN_BENCH_DRAW
#include <QApplication>
#include <QPixmap>
#include <qcustomplot.h>

#include "charts/ui/TfmChart.h"
#include "platform/prompter.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void Report(const char* name, std::size_t points, double seconds, const char* what = "points") {
  std::printf("bench: case=%s %s=%zu seconds=%.4f\n", name, what, points, seconds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = 1000000;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("rv_charts_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "long.srg").string();

  // A damped sine in nanoseconds, as a run writes it.
  rv::ChartModel src;
  src.AddNamedSeries("long");
  rv::ChartSeries& s = src.Series[0];
  s.X.reserve(n);
  s.Y.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = double(i) * 0.01;
    s.AddXY(t, std::exp(-t / 3000.0) * std::sin(t * 0.37));
  }
  std::string err;
  auto t0 = Clock::now();
  if (!rv::SaveGraphFile(src, 0, file, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  Report("save", n, Since(t0));

  rv::ChartModel m;
  t0 = Clock::now();
  const rv::CurveLoadResult r = rv::LoadGraphFile(m, file);
  Report("load", m.HasSeries() ? m.Series[0].Count() : 0, Since(t0));
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", r.message.c_str());
    return 1;
  }

  rv::ChartSeries res;
  t0 = Clock::now();
  rv::ResampleSeries(m.Series[0], res, int(n), 0.0, s.X.back());
  Report("resample", res.Count(), Since(t0));

  {
    rv::ChartModel live;
    rv::LiveFeed feed;
    const auto h = feed.Open(live.Series[std::size_t(live.AddRunSeries("run"))].id);
    t0 = Clock::now();
    std::thread calc([&] {
      for (std::size_t i = 0; i < n; ++i) feed.Append(h, double(i), double(i));
    });
    while (live.Series[0].Count() < n) {
      feed.Drain(live);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    calc.join();
    Report("livefeed", live.Series[0].Count(), Since(t0));
  }

#ifdef RAVELIN_BENCH_DRAW
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  rv::ScriptedPrompter msgs;  // a failure is noted, never waits for a click
  rv::TfmChart::Options opt;
  opt.settingsPath = (dir / "chart.INI").string();
  opt.valueHistoryPath = (dir / "TmpVal.txt").string();
  opt.defaultDir = dir.string() + "/";
  opt.prompter = &msgs;
  rv::TfmChart w(opt);
  t0 = Clock::now();
  w.LoadGraphFile(QString::fromStdString(file));  // reads the file and builds the plot
  Report("load_and_build_plot", w.model().Series[0].Count(), Since(t0));
  t0 = Clock::now();
  QPixmap first = w.Chart->toPixmap(1000, 700);
  Report("draw_first", n, Since(t0));
  t0 = Clock::now();
  const int redraws = 5;
  for (int i = 0; i < redraws; ++i) first = w.Chart->toPixmap(1000, 700);
  Report("draw_again", n, Since(t0) / redraws);
  t0 = Clock::now();
  w.Chart->xAxis->setRange(1000, 1100);  // a zoomed view of 10,000 points
  first = w.Chart->toPixmap(1000, 700);
  Report("draw_zoomed", n, Since(t0));

  // Many channels: an oscilloscope export of `channels` channels of 8 points each, added,
  // cleared ("Закрыть все"), added again and closed with the window.
  {
    const char* env = std::getenv("RV_BENCH_CHANNELS");
    const int channels = env ? std::atoi(env) : 10000;
    const std::string csv = (dir / "many.csv").string();
    {
      std::ofstream f(csv, std::ios::binary);
      for (int line = 0; line < 8; ++line) {
        for (int c = 0; c < channels; ++c)
          f << (c ? "," : "") << (line == 0 && c == 0 ? "Record Length" : "Source") << ",CH,," << line * 1e-9
            << "," << (c % 7) * 0.1 << ",";
        f << "\r\n";
      }
    }
    msgs.answers.assign(4, rv::PromptButton::Yes);  // add them all when asked
    auto many = std::make_unique<rv::TfmChart>(opt);
    many->show();
    t0 = Clock::now();
    many->LoadGraphFile(QString::fromStdString(csv));
    QApplication::processEvents();
    const std::size_t added = std::size_t(many->model().SeriesCount());
    Report("many_series_add", added, Since(t0), "series");
    t0 = Clock::now();
    many->DeleteAll1Click();
    QApplication::processEvents();
    Report("many_series_clear", added, Since(t0), "series");
    many->LoadGraphFile(QString::fromStdString(csv));
    QApplication::processEvents();
    t0 = Clock::now();
    many->close();
    many.reset();
    Report("many_series_close", added, Since(t0), "series");
  }
#else
  (void)argc;
  (void)argv;
#endif
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
