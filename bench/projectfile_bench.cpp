// The file readers at scale: a project whose probe table has many rows, saved and loaded
// (the time should grow in proportion to the rows), and the peak memory of every text
// reader on a file of blank lines (it should stay within a few times the file's size).
//
//   projectfile_bench [--rows 12500,25000,50000,100000] [--repeat 3] [--mb 20]
//
// Each time is the best of `repeat` runs, so a busy machine disturbs the ratios less.
// One line per result:
//   bench: case=project_save rows=<n> seconds=<s> ratio_to_half=<r>
//   bench: case=project_load rows=<n> seconds=<s> ratio_to_half=<r>
//   bench: case=blank_lines reader=<name> file_mb=<m> peak_mb=<p> ratio=<peak/file>
// The memory of each reader is measured in a child process of its own (this program run
// again with --peak): its peak less what it held before reading.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.h"
#include "charts/chartmodel.h"
#include "charts/curvefile.h"
#include "charts/valuehistory.h"
#include "project/projectfile.h"
#include "project/signalsource.h"
#include "solver/inifile.h"
#include "solver/solverdata.h"

using namespace rv;
using rv::bench::Clock;
namespace fs = std::filesystem;

namespace {

double Seconds(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

// Saves and loads a project with `rows` probe rows; returns false when either fails.
bool TimeProject(const fs::path& dir, int rows, double& save, double& load) {
  ProjectData p;
  p.Main.spX = p.Main.spY = p.Main.spZ = 10;
  ModifiedFlag mod{0};
  StringGrid& g = p.Outputs.sgOutPoint;
  for (int r = 1; r <= rows; ++r) {
    AddGridRow(g, mod);
    const std::string cells[] = {"E", "X", std::to_string(1 + r % 9), "5", "5", "p" + std::to_string(r)};
    for (int c = 0; c < 6; ++c) g.SetCell(c, r, cells[c]);
  }
  SolverData d;
  SetGridSize(d, 10, 10, 10);
  if (!ResizeSpace(d)) return false;
  const std::string path = (dir / ("rows" + std::to_string(rows) + ".fdt")).string();
  std::string err;
  fs::remove(path);  // a first save, every key new
  auto t0 = Clock::now();
  if (!SaveProject(path, p, d, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return false;
  }
  save = Seconds(t0);
  ProjectData q;
  SolverData e;
  t0 = Clock::now();
  const ProjectLoadResult r = LoadProject(path, q, e);
  load = Seconds(t0);
  return r.Status == ProjectLoadStatus::Loaded && q.Outputs.sgOutPoint.RowCount() == rows + 1;
}

// A figure of /proc/self/status ("VmRSS", "VmHWM") in bytes, or -1.
double StatusBytes(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  double v = -1;
  const std::size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f))
    if (!std::strncmp(line, field, n) && line[n] == ':') v = std::atof(line + n + 1) * 1024.0;
  std::fclose(f);
  return v;
}

// One reader on one file, in this process; prints the memory it took at its peak.
int ReadOnce(const std::string& reader, const std::string& path) {
  const double before = StatusBytes("VmRSS");
  if (reader == "project") {
    ProjectData p;
    SolverData d;
    LoadProject(path, p, d);
  } else if (reader == "ini") {
    IniFile ini;
    ini.load(path);
  } else if (reader == "signal") {
    LoadSignalFile(path, 0);
  } else if (reader == "curve" || reader == "csv") {
    ChartModel m;
    LoadGraphFile(m, path);
  } else if (reader == "temp_curve") {
    ChartModel m;
    LoadTempGraph(m, path, "t");
  } else if (reader == "value_history") {
    ValueHistory h;
    h.Load(path);
  } else {
    return 2;
  }
  // The peak of this process's own memory: a fresh program, so nothing of the parent counts.
  std::printf("%.0f\n", StatusBytes("VmHWM") - before);
  return 0;
}

// Peak memory that `self --peak reader path` took for its reading, in bytes; negative on
// failure.
double ChildPeak(const std::string& self, const std::string& reader, const std::string& path) {
  const std::string cmd = "'" + self + "' --peak " + reader + " '" + path + "'";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  double v = -1;
  if (std::fscanf(p, "%lf", &v) != 1) v = -1;
  return pclose(p) == 0 ? v : -1;
}

void WriteNewlines(const std::string& path, std::size_t bytes, const char* head) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fputs(head, f);  // the blank lines inside a section, for the INI readers
  const std::string block(1 << 20, '\n');
  for (std::size_t left = bytes; left > 0;) {
    const std::size_t n = std::min(left, block.size());
    std::fwrite(block.data(), 1, n, f);
    left -= n;
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && !std::strcmp(argv[1], "--peak")) return ReadOnce(argv[2], argv[3]);

  std::vector<int> rows = {12500, 25000, 50000, 100000};
  int mb = 20, repeat = 3;
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--rows")) rows = bench::ParseList(argv[a + 1]);
    else if (!std::strcmp(argv[a], "--repeat")) repeat = std::max(1, std::atoi(argv[a + 1]));
    else if (!std::strcmp(argv[a], "--mb")) mb = std::atoi(argv[a + 1]);
  }
  const fs::path dir = fs::temp_directory_path() / ("rv_projectfile_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  int rc = 0;

  double lastSave = 0, lastLoad = 0;
  int lastRows = 0;
  for (int n : rows) {
    double save = 1e300, load = 1e300;
    bool ok = true;
    for (int k = 0; k < repeat && ok; ++k) {
      double s = 0, l = 0;
      ok = TimeProject(dir, n, s, l);
      save = std::min(save, s);
      load = std::min(load, l);
    }
    if (!ok) {
      std::fprintf(stderr, "project with %d rows: save or load failed\n", n);
      rc = 1;
      break;
    }
    const bool doubled = lastRows > 0 && n == 2 * lastRows;
    std::printf("bench: case=project_save rows=%d seconds=%.3f ratio_to_half=%.2f\n", n, save,
                doubled ? save / lastSave : 0.0);
    std::printf("bench: case=project_load rows=%d seconds=%.3f ratio_to_half=%.2f\n", n, load,
                doubled ? load / lastLoad : 0.0);
    std::fflush(stdout);
    lastRows = n;
    lastSave = save;
    lastLoad = load;
  }

  if (mb > 0) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::size_t bytes = std::size_t(mb) << 20;
    const struct {
      const char* reader;
      const char* ext;
    } readers[] = {{"project", ".fdt"}, {"ini", ".ini"},       {"signal", ".txt"},
                   {"curve", ".grf"},   {"csv", ".csv"},       {"temp_curve", ".txt"},
                   {"value_history", ".txt"}};
    for (const auto& r : readers) {
      const std::string path = (dir / (std::string("blank_") + r.reader + r.ext)).string();
      WriteNewlines(path, bytes, r.ext == std::string(".fdt") || r.ext == std::string(".ini") ? "[Geometry]\n" : "");
      const double peak = ChildPeak(self, r.reader, path);
      fs::remove(path);
      if (peak < 0) {
        std::fprintf(stderr, "reader %s: the child failed\n", r.reader);
        rc = 1;
        continue;
      }
      const double used = std::max(0.0, peak);
      std::printf("bench: case=blank_lines reader=%s file_mb=%d peak_mb=%.1f ratio=%.2f\n", r.reader,
                  mb, used / 1048576.0, used / double(bytes));
      std::fflush(stdout);
    }
  }
  fs::remove_all(dir);
  return rc;
}
