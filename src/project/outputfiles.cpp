#include "project/outputfiles.h"

#include <algorithm>
#include <map>

#include "charts/chartmodel.h"
#include "project/recording.h"
#include "project/tables.h"
#include "solver/numtext.h"
#include "solver/pendingfile.h"
#include "solver/resultpaths.h"
#include "solver/textutils.h"

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

namespace {

struct Setup {
  const SolverData& d;
  const OutputOptions& o;
  ChartModel* chart;
  LiveFeed* feed;
  Messages& msgs;

  bool Plotting() const { return o.ShowGraphs && chart && feed; }

  // A name that would put the file outside the results folder is refused.
  static bool SafeName(const std::string& name) {
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
  }

  // The results folder, made and tried once, when the first row needs it.
  enum class Folder { Untried, Writable, Refused } folder = Folder::Untried;
  bool FolderWritable() {
    if (folder == Folder::Untried) folder = FolderTakesFiles(d.ResultDir) ? Folder::Writable : Folder::Refused;
    return folder == Folder::Writable;
  }

  // Creates the row's file when files are written; false when it cannot be made (the
  // folder takes no file, or the file itself cannot be created).
  bool OpenFile(tOutFile& f) {
    if (!o.WriteOutputFiles) return true;
    if (d.ResultDir.empty() || !FolderWritable()) return false;
    auto w = std::make_unique<TextFileWriter>();
    if (!w->open(f.Path)) return false;
    // Whole lines reach the file one by one: a run that is killed leaves no line cut short.
    w->flushEachLine();
    f.F = std::move(w);
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

// The three output tables: their tab, the first words of a refusal, the columns and the
// extension a file name without one gets.
enum class OutTable { Probe, Current, Voltage };
struct OutTableInfo {
  StringGrid OutPointTables::*grid;
  const char* table;
  const char* what;
  const char* const* columns;
  int fileCol;
  const char* ext;
};
const char* const kProbeColumns[] = {"Что", "Направл", "X", "Y", "Z", "Файл"};
const char* const kRegionColumns[] = {"X1", "Y1", "Z1", "X2", "Y2", "Z2", "Файл"};
const OutTableInfo kOutTables[] = {
    {&OutPointTables::sgOutPoint, "Одиночные точки", "Неверный вывод", kProbeColumns, 5, ".srg"},
    {&OutPointTables::sgCurrent, "Токовые регионы", "Неверный токовый регион", kRegionColumns, 6, ".grf"},
    {&OutPointTables::sgVoltage, "Разности потенциалов", "Неверная разность потенциалов", kRegionColumns, 6,
     ".grf"},
};

std::string WhereRow(const OutTableInfo& k, int r) {
  return " в строке " + IntToStr(r) + " таблицы «" + k.table + "»";
}

// The refusal of row r for column c: what is wrong, and what to type (by default: change
// the column).
RunRefusal RowRefusal(const OutTableInfo& k, int c, int r, const std::string& detail, std::string todo = {}) {
  const std::string column = k.columns[c];
  if (todo.empty()) todo = "Измените «" + column + "»";
  RunRefusal f;
  f.status = std::string(k.table) + ", строка " + IntToStr(r) + ": неверное «" + column + "»";
  f.text = std::string(k.what) + WhereRow(k, r) + ": " + detail + ". Работа невозможна!\n" + todo + WhereRow(k, r) +
           " окна «Точки вывода» (меню «Окна»).";
  return f;
}

// One row as a run reads it.
struct OutRow {
  enum State { Blank, Use, LeftOut, Refused } state = Blank;
  std::string why;     // LeftOut: one line naming the table, the row and why
  RunRefusal refusal;  // Refused
  std::string name, path;
  int c[6] = {0, 0, 0, 0, 0, 0};
  char kind = 0, dir = 0;  // probes
  int lim[3] = {0, 0, 0};
};

// The files the rows read so far write, case folded, with the row that writes each.
using FileOwners = std::map<std::string, std::string>;

OutRow ReadOutRow(const OutTableInfo& k, const StringGrid& g, int r, const SolverData& d, bool sarOn,
                  bool writeFiles, FileOwners& owners) {
  OutRow o;
  const bool probe = k.columns == kProbeColumns;
  const int coords = probe ? 3 : 6, first = probe ? 2 : 0;
  bool blank = true;
  for (int c = 0; c <= k.fileCol; ++c) blank = blank && g.Cells(c, r).empty();
  if (blank) return o;
  auto leaveOut = [&](const std::string& why) {
    o.state = OutRow::LeftOut;
    o.why = std::string(k.table) + ", строка " + IntToStr(r) + ": " + why;
    return o;
  };
  auto refuse = [&](RunRefusal f) {
    o.state = OutRow::Refused;
    o.refusal = std::move(f);
    return o;
  };
  o.name = g.Cells(k.fileCol, r);
  if (o.name.empty()) return leaveOut("не задано имя файла («Файл»)");
  if (probe) {
    const std::string kind = UpperCaseText(g.Cells(0, r)), dir = UpperCaseText(g.Cells(1, r));
    if (kind.size() != 1 || std::string("HEIPUDJ").find(kind[0]) == std::string::npos)
      return refuse(RowRefusal(k, 0, r, "«Что» = \"" + TextPiece(g.Cells(0, r)) +
                                            "\" — допустимы только латинские буквы H, E, I, J, U, P, D"));
    if (!dir.empty() && dir != "X" && dir != "Y" && dir != "Z")
      return refuse(RowRefusal(k, 1, r, "«Направл» = \"" + TextPiece(g.Cells(1, r)) +
                                            "\" — допустимы только латинские X, Y, Z или пусто"));
    o.kind = kind[0];
    o.dir = dir.empty() ? 0 : dir[0];
  }
  for (int a = 0; a < coords; ++a)
    if (!TryStrToInt(g.Cells(first + a, r), o.c[a]))
      return refuse(RowRefusal(k, first + a, r,
                               "«" + std::string(k.columns[first + a]) + "» = \"" + TextPiece(g.Cells(first + a, r)) +
                                   "\" — нужно целое число (номер ячейки)"));
  if (o.name.find('/') != std::string::npos || o.name.find('\\') != std::string::npos || o.name == "." ||
      o.name == "..")
    return refuse(RowRefusal(k, k.fileCol, r,
                             "имя файла \"" + TextPiece(o.name) +
                                 "\" — файл должен лежать в папке результатов: имя без «/», «\\» и не «.» или «..»"));
  if (probe) {
    ProbeLimits(d, o.kind, o.dir, o.lim);
  } else {
    o.lim[0] = d.Nx - 1;
    o.lim[1] = d.Ny - 1;
    o.lim[2] = d.Nz - 1;
  }
  for (int a = 0; a < coords; ++a)
    if (!InRange(o.c[a], o.lim[a % 3]))
      return leaveOut(std::string(probe ? "ячейка" : "угол") + " (" + IntToStr(o.c[a / 3 * 3]) + ", " +
                      IntToStr(o.c[a / 3 * 3 + 1]) + ", " + IntToStr(o.c[a / 3 * 3 + 2]) +
                      ") вне пределов 1.." + IntToStr(o.lim[0]) + ", 1.." + IntToStr(o.lim[1]) + ", 1.." +
                      IntToStr(o.lim[2]));
  if (k.grid == &OutPointTables::sgCurrent) {
    int flat = 0;
    for (int a = 0; a < 3; ++a) flat += o.c[a] == o.c[a + 3] ? 1 : 0;
    const std::string corners = " (X1 = " + IntToStr(o.c[0]) + ", X2 = " + IntToStr(o.c[3]) + "; Y1 = " +
                                IntToStr(o.c[1]) + ", Y2 = " + IntToStr(o.c[4]) + "; Z1 = " + IntToStr(o.c[2]) +
                                ", Z2 = " + IntToStr(o.c[5]) + ")";
    if (flat == 0)
      return refuse(RowRefusal(k, 0, r, "регион не ортогонален ни одной из координатных осей" + corners,
                               "Сделайте его плоским: задайте X1 = X2, Y1 = Y2 или Z1 = Z2"));
    if (flat > 1)
      return refuse(RowRefusal(k, 0, r, "регион — отрезок или точка, через него не течет ток" + corners,
                               "Задайте прямоугольник: равными должны быть только X1 и X2, или только Y1 и Y2, "
                               "или только Z1 и Z2"));
    // The loop runs from corner 1 up to corner 2 in the region's plane.
    for (int a = 0; a < 3; ++a)
      if (o.c[a] > o.c[a + 3]) std::swap(o.c[a], o.c[a + 3]);
  } else if (k.grid == &OutPointTables::sgVoltage && o.c[0] == o.c[3] && o.c[1] == o.c[4] && o.c[2] == o.c[5]) {
    return refuse(RowRefusal(k, 0, r, "начало и конец линии совпадают, напряжение на ней всегда 0",
                             "Задайте разные концы: измените X1…Z2"));
  }
  if (probe && o.kind == 'P' && !sarOn)
    return leaveOut("вывод P (файл " + TextPiece(o.name) +
                    ") требует флажка «Вычислять поглощенную мощность и SAR» на странице «Геометрия»");
  o.path = OutputFilePath(d.ResultDir, o.name, k.ext);
  if (writeFiles) {
    const std::string key = FoldCase(o.path), here = "строка " + IntToStr(r) + " таблицы «" + k.table + "»";
    const auto [it, fresh] = owners.emplace(key, here);
    if (!fresh)
      return refuse(RowRefusal(k, k.fileCol, r, "файл \"" + TextPiece(o.name) + "\" уже пишет " + it->second,
                               "Задайте другое имя: измените «Файл»"));
  }
  o.state = OutRow::Use;
  return o;
}

template <class F>
void ForEachOutRow(const OutPointTables& t, const SolverData& d, bool sarOn, bool writeFiles, F f) {
  FileOwners owners;
  for (const OutTableInfo& k : kOutTables) {
    const StringGrid& g = t.*k.grid;
    for (int r = 1; r < g.RowCount(); ++r) f(k, r, ReadOutRow(k, g, r, d, sarOn, writeFiles, owners));
  }
}

void SetupRow(Setup& s, const OutTableInfo& k, int r, const OutRow& o, tOutFile& f, OutputRun& run) {
  if (o.state == OutRow::Blank) return;
  if (o.state != OutRow::Use) {
    if (o.state == OutRow::Refused) s.msgs.push_back(o.refusal.text);
    run.NotWritten.push_back(o.state == OutRow::Refused ? o.refusal.status : o.why);
    return;
  }
  f.Path = o.path;
  if (!s.OpenFile(f) && s.folder != Setup::Folder::Refused) {
    const std::string line = std::string(k.table) + ", строка " + IntToStr(r) + ": файл " + f.Path + " не создан";
    run.FilesNotMade.push_back(line);
    run.NotWritten.push_back(line);
  }
  f.Opened = true;
  if (k.columns == kProbeColumns) {
    f.X = o.c[0];
    f.Y = o.c[1];
    f.Z = o.c[2];
    f.Kind = o.kind;
    f.Dir = o.dir;
    // Titled as its file is, so the live curve and the file opened later read alike.
    s.AddSeries(f, ProbeTitle(f.Kind, f.Dir, f.X, f.Y, f.Z).substr(1));
    return;
  }
  tCurrentRegion& R = f.Region;
  R.X1 = o.c[0]; R.Y1 = o.c[1]; R.Z1 = o.c[2];
  R.X2 = o.c[3]; R.Y2 = o.c[4]; R.Z2 = o.c[5];
  R.Plane = R.X1 == R.X2 ? 'X' : R.Y1 == R.Y2 ? 'Y' : R.Z1 == R.Z2 ? 'Z' : 0;
  R.FileName = UpperCaseText(o.name);
  s.AddSeries(f, o.name);
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

  Setup s{d, o, chart, feed, msgs};
  run.OutPointFiles.resize(size_t(std::max(t.sgOutPoint.RowCount(), 1)));
  run.CurrentFiles.resize(size_t(std::max(t.sgCurrent.RowCount(), 1)));
  run.VoltageFiles.resize(size_t(std::max(t.sgVoltage.RowCount(), 1)));
  ForEachOutRow(t, d, d.SAROn != 0, o.WriteOutputFiles, [&](const OutTableInfo& k, int r, const OutRow& row) {
    std::vector<tOutFile>& files = k.grid == &OutPointTables::sgOutPoint ? run.OutPointFiles
                                   : k.grid == &OutPointTables::sgCurrent ? run.CurrentFiles
                                                                           : run.VoltageFiles;
    SetupRow(s, k, r, row, files[size_t(r)], run);
  });
  if (s.folder == Setup::Folder::Refused) {
    // One line for the folder in place of one per row.
    const std::string line = "папка результатов " + d.ResultDir + " недоступна для записи: файлы не создаются";
    run.FilesNotMade.assign(1, line);
    run.NotWritten.push_back(line);
  }
  if (o.ShowGraphs && chart) chart->SetAxisTitles("t, нс", chart->Texts.YAxisCaption);
  if (o.ShowInput && chart && feed) {
    const int i = chart->AddRunSeries("Исходный сигнал");
    run.SourceSeries = feed->Open(chart->Series[size_t(i)].id);
  }
  return msgs;
}

OutputRowsCheck CheckOutputRows(const OutPointTables& t, const SolverData& d, bool sarOn, bool writeFiles) {
  OutputRowsCheck check;
  ForEachOutRow(t, d, sarOn, writeFiles, [&](const OutTableInfo&, int, const OutRow& row) {
    if (row.state == OutRow::Refused && !check.refusal) check.refusal = row.refusal;
    if (row.state == OutRow::LeftOut) check.leftOut += "\n" + row.why;
  });
  return check;
}

std::string OutputRowsLeftOutQuestion(const OutputRowsCheck& check) {
  return "Эти строки точек вывода не войдут в расчет, их файлы и графики не будут созданы:" + check.leftOut +
         "\nЧтобы они вошли в расчет, измените их в окне «Точки вывода» (меню «Окна»).\nНачать расчет без них?";
}

std::string FilesNotMadeQuestion(const OutputRun& run) {
  std::string s = "Эти выходы будут посчитаны без своих файлов результатов:";
  for (const std::string& l : run.FilesNotMade) s += "\n" + l;
  return s + "\nПроверьте папку результатов и имена файлов в окне «Точки вывода» (меню «Окна»)."
             "\nНачать расчет без этих файлов?";
}

Messages CloseOutputFiles(OutputRun& run) {
  Messages msgs;
  for (auto* a : {&run.OutPointFiles, &run.CurrentFiles, &run.VoltageFiles})
    for (tOutFile& f : *a) {
      if (!f.F) continue;
      if (!f.F->close()) msgs.push_back("Файл результатов " + f.Path + " записан не полностью: " + f.F->error());
      f.F.reset();
    }
  return msgs;
}

}  // namespace rv
