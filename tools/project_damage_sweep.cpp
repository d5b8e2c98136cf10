// Random damage of project files this program wrote: a rich project saved here and the two
// samples, each damaged at random (a bit flipped, a line deleted, duplicated, two lines
// swapped, two section headers swapped, a table's Count changed) and loaded with the damage
// question answered «Нет».
//
// A load that asks nothing is counted as silent. A silent load is harmless only when the
// file holds exactly what a save of what was loaded writes: the project loaded is saved to a
// fresh file, and both files are compared key by key (section and key names without regard
// to case; two values are the same when their texts are, or when both read as the same
// number). A key of either file missing from the other, or a value that differs, makes the
// silent load a wrong one. Only the records of the save itself ([Version] ModelFile and
// Counts) are left out of the comparison. The edits the program keeps as typed but reads as
// numbers (the signal's parameters, cell sizes, time step, incidence angle, PML reflection,
// far-field radius) are wrong too when they hold no number (an empty time step is the
// stability limit). A refused load must leave the open project as it was.
//
// Usage: project_damage_sweep [tries per file] [seed] [examples folder]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "project/projectfile.h"
#include "project/signalsettings.h"
#include "solver/codepage.h"
#include "solver/inifile.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

namespace {

using namespace rv;
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
}

void Row(StringGrid& g, std::initializer_list<const char*> cells) {
  ModifiedFlag m{0};
  AddGridRow(g, m);
  int c = 0;
  for (const char* t : cells) g.SetCell(c++, g.RowCount() - 1, t);
}

// A project with every table, the note, three materials and settings away from the defaults.
void SaveRich(const std::string& path) {
  ProjectData p;
  MainSettings& m = p.Main;
  m.spX = 24, m.spY = 20, m.spZ = 16;
  m.edX = "0.002", m.edY = "0.002", m.edZ = "0.001", m.eddT = "0.0025", m.seStepCount = 1500;
  m.ComboBox = {4, 4, 1, 0, 3, 2};
  m.spCenterI = 12, m.spCenterJ = 10, m.spCenterK = 8, m.sePMLCount = 10, m.edpmlR = "0.001";
  m.rgPMLprofile = 1, m.rgSources = 1, m.edIncAngle = "30", m.TrackBar1 = 45, m.TrackBar2 = -60;
  m.rgEOrient = 1, m.cbFarDiagram = true, m.cbPY = true, m.edFarStep = 10, m.edFarDiagrR = "500";
  m.cbFarPoints = true, m.spFarXmin = 3, m.spFarYmin = 3, m.spFarZmin = 3;
  m.spFarXmax = 21, m.spFarYmax = 17, m.spFarZmax = 13, m.cbEnergy = true, m.seSarDelay = 200;
  m.cbBioMaterals = true;
  m.memoProjectNote = {"Патч-антенна на ФР-4", "  питание зондом 50 Ом  ", "\"в кавычках\""};
  p.Signal.cbExpression = 3, p.Signal.cbTime = 2, p.Signal.SpinEdit2 = 2, p.Signal.CheckBox3 = false;
  p.Signal.Edit("edFileName") = "/home/user/сигнал.srg";
  p.Outputs.seOutputRate = 5, p.Outputs.cbShowInput = true, p.Outputs.cbNoWriteFile = true;
  Row(p.Outputs.sgOutPoint, {"E", "Z", "12", "10", "9", "Ez_центр"});
  Row(p.Outputs.sgOutPoint, {"H", "X", "5", "6", "7", "Hx"});
  Row(p.Outputs.sgCurrent, {"11", "9", "8", "13", "11", "8", "I_feed"});
  Row(p.Outputs.sgVoltage, {"12", "10", "7", "12", "10", "8", "U_feed"});
  Row(p.Outputs.sgFarPoints, {"100", "0", "0"});
  Row(p.Lamped.sgResistors, {"12", "10", "7", "50", "Z"});
  Row(p.Lamped.sgResistors, {"4", "4", "4", "1e6", "X"});
  Row(p.Lamped.sgCapacitors, {"5", "5", "5", "1e-12", "Y"});
  Row(p.Lamped.sgSourses, {"12", "10", "8", "50", "Z", "+"});
  Row(p.Lamped.sgRazraydnic, {"6", "6", "6", "1000", "Z"});
  Row(p.Lamped.sgInductor, {"7", "7", "7", "1e-9", "Y"});
  p.Vizual.spX = 12, p.Vizual.imageRGroup = 5, p.Vizual.cbLog = true, p.Vizual.seOutputRate = 10;
  p.Vizual.SpinEdit2 = -3, p.Vizual.cbYPlane = false;
  p.Editor = {5, 6, 7, 40.5f, -12.25f, 80, 12, 10, 8, 3};
  auto d = std::make_unique<SolverData>();
  SetGridSize(*d, m.spX, m.spY, m.spZ);
  if (!ResizeSpace(*d)) std::abort();
  const char* names[] = {"", "Медь", "ФР-4", " воздух с краю "};
  for (int i = 1; i <= 3; ++i) {
    tLayer& L = d->Layers[size_t(i)];
    L.Name = names[i], L.On = i != 3, L.Color = 0x102030u * uint32_t(i);
    L.EpsStatic = 1 + 3.4 * (i - 1), L.EpsInf = 1 + i, L.Sigma = i == 1 ? 5.8e7 : 0.002;
    L.Tau = 6.67e-9, L.Mu = 1, L.Density = 1000 * i;
  }
  for (int i = 2; i <= 22; ++i)
    for (int j = 2; j <= 18; ++j) d->Space(i, j, 4) = 2;
  for (int i = 10; i <= 14; ++i) d->Space(i, 10, 5) = 1;
  std::string err;
  if (!SaveProject(path, p, *d, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    std::exit(1);
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> l;
  size_t at = 0;
  while (at < text.size()) {
    const size_t nl = text.find('\n', at);
    const size_t end = nl == std::string::npos ? text.size() : nl + 1;
    l.push_back(text.substr(at, end - at));
    at = end;
  }
  return l;
}

std::string Join(const std::vector<std::string>& l) {
  std::string s;
  for (const std::string& x : l) s += x;
  return s;
}

const char* KindNames[] = {"bit flip", "line deleted", "line duplicated", "lines swapped", "headers swapped",
                           "Count changed"};
constexpr int KindCount = 6;

// The damaged text, or empty when this kind can't damage the file.
std::string Damage(const std::string& whole, int kind, std::mt19937_64& rng) {
  std::vector<std::string> l = Lines(whole);
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  switch (kind) {
    case 0: {
      std::string s = whole;
      s[pick(s.size())] ^= char(1 << pick(8));
      return s;
    }
    case 1: l.erase(l.begin() + std::ptrdiff_t(pick(l.size()))); return Join(l);
    case 2: { const size_t i = pick(l.size()); l.insert(l.begin() + std::ptrdiff_t(i), l[i]); return Join(l); }
    case 3: {
      const size_t i = pick(l.size()), j = pick(l.size());
      if (l[i] == l[j]) return "";
      std::swap(l[i], l[j]);
      return Join(l);
    }
    case 4: {
      std::vector<size_t> h;
      for (size_t i = 0; i < l.size(); ++i)
        if (l[i][0] == '[') h.push_back(i);
      const size_t a = h[pick(h.size())], b = h[pick(h.size())];
      if (a == b) return "";
      std::swap(l[a], l[b]);
      return Join(l);
    }
    default: {
      std::vector<size_t> c;
      for (size_t i = 0; i < l.size(); ++i)
        if (l[i].rfind("Count=", 0) == 0) c.push_back(i);
      const size_t i = c[pick(c.size())];
      int n = 0;
      TryStrToInt(l[i].substr(6, l[i].find_first_of("\r\n") - 6), n);
      const std::string v[] = {IntToStr(n - 1), IntToStr(n + 1), "0", "-1", "", IntToStr(n) + "x", "x"};
      l[i] = "Count=" + v[pick(7)] + "\r\n";
      return Join(l);
    }
  }
}

bool SameValue(const std::string& a, const std::string& b) {
  double x = 0, y = 0;
  return a == b || (TryStrToFloat(a, x) && TryStrToFloat(b, y) && x == y);
}

bool Record(const std::string& sec, const std::string& key) {
  return FoldCase(sec) == "version" && (FoldCase(key) == FoldCase(ModelStampKey) || FoldCase(key) == "counts");
}

bool NumberEdit(const std::string& sec, const std::string& key) {
  const std::string s = FoldCase(sec), k = FoldCase(key);
  if (s == "signal")
    return k != "edfilename" && std::any_of(SignalSectionEdits.begin(), SignalSectionEdits.end(),
                                            [&](const char* e) { return FoldCase(e) == k; });
  return (s == "geometry" && (k == "dx" || k == "dy" || k == "dz" || k == "dt")) ||
         (s == "inputsourse" && k == "edincangle") || (s == "borders" && k == "edpmlr") ||
         (s == "farfield" && k == "edfardiagrr");
}

// The first difference between the damaged file and a fresh save of what it loaded; empty
// when there is none.
std::string Difference(const std::string& damaged, const std::string& fresh) {
  IniFile a, b;
  a.load(damaged);
  b.load(fresh);
  for (const auto& [x, y, what] : {std::tuple(&a, &b, "only in the damaged file"),
                                   std::tuple(&b, &a, "only in the save")})
    for (const std::string& s : x->sections())
      for (const std::string& k : x->readSection(s)) {
        if (Record(s, k)) continue;
        const std::string v = x->readString(s, k, "");
        if (!y->valueExists(s, k)) return "[" + s + "] " + k + "=" + v + " " + what;
        const std::string w = y->readString(s, k, "");
        if (!SameValue(v, w)) return "[" + s + "] " + k + ": file \"" + v + "\", save \"" + w + "\"";
        double x = 0;
        if (NumberEdit(s, k) && !TryStrToFloat(v, x) && !(v.empty() && FoldCase(k) == "dt"))
          return "[" + s + "] " + k + "=" + v + " is no number";
      }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const int tries = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::mt19937_64 rng(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
  const std::string examples = argc > 3 ? argv[3] : "examples";
  const fs::path tmp = fs::temp_directory_path() / ("damage_sweep_" + std::to_string(::getpid()));
  fs::create_directories(tmp);
  SaveRich((tmp / "rich.fdt").string());
  const std::vector<std::pair<std::string, std::string>> bases = {
      {"rich", (tmp / "rich").string()},
      {"dipole", examples + "/dipole/dipole"},
      {"scatterer", examples + "/scatterer/scatterer"}};
  const std::string fdt = (tmp / "damaged.fdt").string(), fresh = (tmp / "fresh.fdt").string();
  int totalWrong = 0, totalBroken = 0, total = 0;
  for (const auto& [name, base] : bases) {
    const std::string whole = ReadAll(base + ".fdt");
    WriteAll((tmp / "damaged.bin").string(), ReadAll(base + ".bin"));
    int asked[KindCount] = {}, refused[KindCount] = {}, harmless[KindCount] = {}, wrong[KindCount] = {},
        broken = 0, n = 0;
    std::vector<std::string> examplesOfWrong;
    while (n < tries) {
      const int kind = int(rng() % KindCount);
      const std::string text = Damage(whole, kind, rng);
      if (text.empty() || text == whole) continue;
      ++n;
      WriteAll(fdt, text);
      ProjectData p;
      p.Main.spX = 7;
      auto d = std::make_unique<SolverData>();
      d->Space.allocate(8, 8, 8);
      d->Space(7, 7, 7) = 3;
      int questions = 0;
      const ProjectLoadResult r = LoadProject(fdt, p, *d, {}, [&](const std::string&) { ++questions; return false; });
      if (r.Status != ProjectLoadStatus::Loaded) {
        ++(questions ? asked : refused)[kind];
        if (p.Main.spX != 7 || d->Space.len1() != 8 || d->Space(7, 7, 7) != 3) ++broken;
        continue;
      }
      std::string err;
      fs::remove(fresh);
      if (!SaveProject(fresh, p, *d, err)) {
        std::fprintf(stderr, "save failed: %s\n", err.c_str());
        return 1;
      }
      const std::string diff = Difference(fdt, fresh);
      if (diff.empty()) {
        ++harmless[kind];
        continue;
      }
      ++wrong[kind];
      if (examplesOfWrong.size() < 12) examplesOfWrong.push_back(std::string(KindNames[kind]) + ": " + diff);
    }
    std::printf("%s: %d tries\n", name.c_str(), n);
    int w = 0;
    for (int k = 0; k < KindCount; ++k) {
      std::printf("  %-16s asked %4d  refused %4d  silent harmless %4d  silent WRONG %4d\n", KindNames[k], asked[k],
                  refused[k], harmless[k], wrong[k]);
      w += wrong[k];
    }
    std::printf("  silent with values a save would not write: %d of %d; refused loads that changed the open "
                "project: %d\n", w, n, broken);
    for (const std::string& e : examplesOfWrong) std::printf("    %s\n", e.c_str());
    totalWrong += w, totalBroken += broken, total += n;
  }
  std::printf("total: %d of %d silent with values a save would not write, %d refused loads changed the project\n",
              totalWrong, total, totalBroken);
  fs::remove_all(tmp);
  return totalWrong || totalBroken ? 2 : 0;
}
