#include "project/outputfiles.h"

#include <set>

#include "charts/chartmodel.h"
#include "project/recording.h"
#include "project/tables.h"
#include "solver/numtext.h"
#include "solver/pendingfile.h"
#include "solver/resultpaths.h"

namespace rv {

int OutputRun::OpenedCount() const {
  int n = 0;
  for (const auto* a : {&OutPointFiles, &CurrentFiles, &VoltageFiles})
    for (const tOutFile& f : *a) n += f.Opened ? 1 : 0;
  return n;
}

std::string OutputFilePath(const std::string& folder, const std::string& name,
                           const char* defaultExt) {
  std::string p = folder;
  if (!p.empty() && p.back() != '/') p += '/';
  p += name;
  if (name.find('.') == std::string::npos) p += defaultExt;
  return p;
}

std::string ProbeRowMessage(const std::string& fileCell, int maxX, int maxY, int maxZ) {
  return "Выходной файл " + fileCell + " не был создан из-за ошибки:\n" +
         "В первой колонке допустимы только латинские  P, E, H, I, J, U\n" +
         "во второй колонке допустимы только латинские X, Y, Z, или пусто\n" +
         "далее только цифры в трех колонках (координаты), а затем\n" +
         "имя файла, которое не должно повторяться в других\n" + "строках.\n" +
         "Если где-нибудь задан вывод SAR, то д.б. установлен флаг SAR.\n" +
         "Кроме того, координаты должны быть в пределах от 1 до\n" +
         "допустимого сейчас: x=" + IntToStr(maxX) + ", y=" + IntToStr(maxY) + ", z=" +
         IntToStr(maxZ) + ".";
}

namespace {

struct Setup {
  const SolverData& d;
  const OutputOptions& o;
  ChartModel* chart;
  LiveFeed* feed;
  Messages& msgs;
  std::set<std::string> paths;  // files opened so far, case folded

  bool Plotting() const { return o.ShowGraphs && chart && feed; }

  // A name that would put the file outside the results folder is refused.
  static bool SafeName(const std::string& name) {
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
  }

  // The results folder, made and tried once, when the first row needs it. A folder that
  // takes no file is said once, naming it; the run then goes on without files.
  enum class Folder { Untried, Writable, Refused } folder = Folder::Untried;
  bool FolderWritable() {
    if (folder == Folder::Untried) {
      const bool ok = FolderTakesFiles(d.ResultDir);
      folder = ok ? Folder::Writable : Folder::Refused;
      if (!ok)
        msgs.push_back("Папка результатов " + d.ResultDir +
                       " недоступна для записи: файлы результатов не будут записаны.");
    }
    return folder == Folder::Writable;
  }

  // Creates the row's file when files are written. False when the name is unusable, an
  // earlier row of this run already writes to the same file, or the file cannot be made.
  bool OpenFile(tOutFile& f, const std::string& name) {
    if (!SafeName(name)) return false;
    if (!o.WriteOutputFiles) return true;
    if (d.ResultDir.empty()) return false;
    if (!FolderWritable()) return true;
    const std::string key = FoldCase(f.Path);
    if (paths.count(key)) return false;
    auto w = std::make_unique<TextFileWriter>();
    if (!w->open(f.Path)) return false;
    f.F = std::move(w);
    paths.insert(key);
    return true;
  }

  void AddSeries(tOutFile& f, const std::string& title) {
    if (!Plotting()) return;
    const int i = chart->AddRunSeries(title);
    f.Series = feed->Open(chart->Series[size_t(i)].id);
  }
};

bool InRange(int v, int hi) { return v >= 1 && v <= hi; }

// Upper limits of a probe's cell. Kinds I and J take the loop of H one cell beyond the
// probe cell on the two axes across their direction, so those axes stop one cell earlier.
void ProbeLimits(const SolverData& d, char kind, char dir, int lim[3]) {
  lim[0] = d.Nx - 1;
  lim[1] = d.Ny - 1;
  lim[2] = d.Nz - 1;
  if (kind != 'I' && kind != 'J') return;
  for (int a = 0; a < 3; ++a)
    if (dir != "XYZ"[a]) --lim[a];
}

void SetupProbeRows(Setup& s, const StringGrid& g, OutputRun& run) {
  const SolverData& d = s.d;
  run.OutPointFiles.clear();
  run.OutPointFiles.resize(size_t(g.RowCount()));
  for (int r = 1; r < g.RowCount(); ++r) {
    tOutFile& f = run.OutPointFiles[size_t(r)];
    const std::string& name = g.Cells(5, r);
    if (name.empty()) continue;
    f.Path = OutputFilePath(d.ResultDir, name, ".srg");
    const std::string kind = UpperCaseText(g.Cells(0, r));
    const std::string dir = UpperCaseText(g.Cells(1, r));
    const bool kindOk = kind.size() == 1 && std::string("HEIPUDJ").find(kind[0]) != std::string::npos;
    const bool dirOk = dir.empty() || dir == "X" || dir == "Y" || dir == "Z";
    int lim[3];
    ProbeLimits(d, kindOk ? kind[0] : 0, dirOk && !dir.empty() ? dir[0] : 0, lim);
    bool ok = true;
    int c[3] = {0, 0, 0};
    for (int a = 0; a < 3 && ok; ++a)
      ok = TryStrToInt(g.Cells(2 + a, r), c[a]) && InRange(c[a], lim[a]);
    ok = ok && kindOk && dirOk;
    if (ok && kind == "P" && !d.SAROn) {
      s.msgs.push_back("Вывод P (файл " + name +
                       ") игнорируется, так как не установлен флаг вычисления SAR.");
      ok = false;
    }
    ok = ok && s.OpenFile(f, name);
    if (!ok) {
      f.F.reset();
      s.msgs.push_back(ProbeRowMessage(name, lim[0], lim[1], lim[2]));
      continue;
    }
    f.Opened = true;
    f.X = c[0];
    f.Y = c[1];
    f.Z = c[2];
    f.Kind = kind[0];
    f.Dir = dir.empty() ? 0 : dir[0];
    // Titled as its file is, so the live curve and the file opened later read alike.
    s.AddSeries(f, ProbeTitle(f.Kind, f.Dir, f.X, f.Y, f.Z).substr(1));
  }
}

void SetupRegionRows(Setup& s, const StringGrid& g, std::vector<tOutFile>& files,
                     const char* what) {
  const SolverData& d = s.d;
  files.clear();
  files.resize(size_t(g.RowCount()));
  const int lim[3] = {d.Nx - 1, d.Ny - 1, d.Nz - 1};
  for (int r = 1; r < g.RowCount(); ++r) {
    tOutFile& f = files[size_t(r)];
    const std::string& name = g.Cells(6, r);
    if (name.empty()) continue;
    f.Path = OutputFilePath(d.ResultDir, name, ".grf");
    // Corners are whole numbers of cells inside the grid: every sum of the recorder then
    // stays inside the field arrays.
    int c[6] = {0, 0, 0, 0, 0, 0};
    bool ok = true;
    for (int a = 0; a < 6 && ok; ++a)
      ok = TryStrToInt(g.Cells(a, r), c[a]) && InRange(c[a], lim[a % 3]);
    ok = ok && s.OpenFile(f, name);
    if (!ok) {
      f.F.reset();
      s.msgs.push_back(std::string(what) + name + "\n   НЕ был создан из-за ошибки");
      continue;
    }
    f.Opened = true;
    tCurrentRegion& R = f.Region;
    R.X1 = c[0]; R.Y1 = c[1]; R.Z1 = c[2];
    R.X2 = c[3]; R.Y2 = c[4]; R.Z2 = c[5];
    R.Plane = R.X1 == R.X2 ? 'X' : R.Y1 == R.Y2 ? 'Y' : R.Z1 == R.Z2 ? 'Z' : 0;
    R.FileName = UpperCaseText(name);
    s.AddSeries(f, name);
  }
}

}  // namespace

Messages PrepareOutputFiles(const SolverData& d, const OutPointTables& t, const OutputOptions& o,
                            const ISignal* signal, ChartModel* chart, LiveFeed* feed,
                            OutputRun& run) {
  Messages msgs;
  CloseOutputFiles(run);
  auto dProbe = std::move(run.DProbe);  // the PML owner's reading outlives a run
  run = OutputRun{};
  run.DProbe = std::move(dProbe);
  run.WriteOutputFiles = o.WriteOutputFiles;
  run.ShowGraphs = o.ShowGraphs;
  run.ShowInput = o.ShowInput;
  run.Signal = signal;
  run.Feed = feed;
  if (feed) feed->CloseAll();
  if (o.WriteOutputFiles && !d.ResultDir.empty()) EnsureDir(d.ResultDir);

  Setup s{d, o, chart, feed, msgs, {}};
  SetupProbeRows(s, t.sgOutPoint, run);
  SetupRegionRows(s, t.sgCurrent, run.CurrentFiles, "Выходной файл токового региона с именем");
  SetupRegionRows(s, t.sgVoltage, run.VoltageFiles, "Выходной файл напряжения с именем");
  if (o.ShowGraphs && chart) chart->SetAxisTitles("t, нс", chart->Texts.YAxisCaption);
  if (o.ShowInput && chart && feed) {
    const int i = chart->AddRunSeries("Исходный сигнал");
    run.SourceSeries = feed->Open(chart->Series[size_t(i)].id);
  }
  return msgs;
}

Messages CloseOutputFiles(OutputRun& run) {
  Messages msgs;
  for (auto* a : {&run.OutPointFiles, &run.CurrentFiles, &run.VoltageFiles})
    for (tOutFile& f : *a) {
      if (!f.F) continue;
      if (!f.F->close()) msgs.push_back(f.F->error());
      f.F.reset();
    }
  return msgs;
}

}  // namespace rv
