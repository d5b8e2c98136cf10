// End-of-run cost: the SAR reports of a grid with a tissue block filling a third of it
// (1 mm cells, density 1050: the 1-g average needs about five shells per cell), the 1-g
// averaging alone on one thread and on all, and the output recording per sample.
//
//   sarreport_bench [--n 100] [--probes 100]
//
// One line per result:
//   bench: case=<name> N=<n> threads=<t> seconds=<s> [per_sample_us=<u>]
#include <omp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "charts/chartmodel.h"
#include "charts/livefeed.h"
#include "project/outputfiles.h"
#include "project/recording.h"
#include "project/tables.h"
#include "solver/constants.h"
#include "solver/power.h"
#include "solver/sarreport.h"

using namespace rv;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a) {
  return std::chrono::duration<double>(Clock::now() - a).count();
}

void Fill(SolverData& d, int n) {
  SetGridSize(d, n, n, n);
  ResizeSpace(d);
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.CellVolume = 1e-9;
  d.TimeStep = 0.5e-3;
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  d.SAROn = 1;
  tLayer& m = d.Layers[1];
  m.On = 1; m.Name = "tissue"; m.Sigma = 0.8; m.EpsStatic = m.EpsInf = 50; m.Mu = 1; m.Density = 1050;
  d.MaterialCellCount.fill(0);
  d.ObjectCellCount = 0;
  for (int i = n / 3; i < 2 * n / 3; ++i)
    for (int j = 1; j < n; ++j)
      for (int k = 1; k < n; ++k) {
        d.Space(i, j, k) = 1;
        ++d.MaterialCellCount[0];
        ++d.ObjectCellCount;
      }
}

}  // namespace

int main(int argc, char** argv) {
  int n = 100, probes = 100;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--n")) n = std::atoi(argv[a + 1]);
    if (!std::strcmp(argv[a], "--probes")) probes = std::atoi(argv[a + 1]);
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("rv_sar_bench_" + std::to_string(n));
  SolverData d;
  Fill(d, n);
  if (AllocFieldArrays(d) == 0) return 1;
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> u(0, 1);
  for (t3DSpaceArray* a : {&d.PowerX, &d.PowerY, &d.PowerZ})
    for (size_t i = 0; i < a->size(); ++i) a->data()[i] = u(rng);
  d.CurStep = 1000;
  d.SARDelay = 0;
  d.SARDir = (dir / "SAR").string() + "/";
  if (!ComputeSAR(d)) return 1;

  const int all = omp_get_max_threads();
  for (int t : {1, all}) {
    omp_set_num_threads(t);
    Sar1gAverage avg;
    const auto t0 = Clock::now();
    if (!ComputeSAR1g(d, avg)) return 1;
    std::printf("bench: case=sar_1g_average N=%d threads=%d seconds=%.3f\n", n, t, Seconds(t0));
  }
  omp_set_num_threads(all);
  {
    SarReportInput in;
    std::string err;
    const auto t0 = Clock::now();
    if (!WriteSARReports(d, in, err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 1;
    }
    std::printf("bench: case=sar_reports N=%d threads=%d seconds=%.3f\n", n, all, Seconds(t0));
  }

  // Recording: `probes` probes of the kinds in turn, with files and chart points.
  {
    OutPointTables t;
    ModifiedFlag mod{0};
    const char* kinds[] = {"E", "H", "I", "J", "U", "P"};
    for (int p = 0; p < probes; ++p) {
      AddGridRow(t.sgOutPoint, mod);
      const int r = t.sgOutPoint.RowCount() - 1;
      const int c = 2 + p % (n - 4);
      const std::string cells[] = {kinds[p % 6], "", std::to_string(c), std::to_string(c),
                                   std::to_string(c), "p" + std::to_string(p)};
      for (int col = 0; col < 6; ++col) t.sgOutPoint.SetCell(col, r, cells[col]);
    }
    d.ResultDir = (dir / "Results").string() + "/";
    ChartModel chart;
    LiveFeed feed;
    OutputRun run;
    PrepareOutputFiles(d, t, OutputOptions{true, true, false}, nullptr, &chart, &feed, run);
    const int samples = 2000;
    const auto t0 = Clock::now();
    for (int s = 0; s < samples; ++s) {
      d.CurTime = s * d.TimeStep;
      RecordOutputPoints(d, run, s);
      if (s % 100 == 0) feed.Drain(chart);
    }
    CloseOutputFiles(run);
    const double sec = Seconds(t0);
    std::printf("bench: case=record_outputs N=%d threads=1 seconds=%.3f per_sample_us=%.1f probes=%d\n",
                n, sec, sec / samples * 1e6, probes);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
