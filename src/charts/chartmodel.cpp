#include "charts/chartmodel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "solver/numtext.h"

namespace rv {

namespace {
// 0x00BBGGRR: black, red, blue, green, orange, aqua, fuchsia, teal, dark brown, lime,
// maroon, navy, olive, purple.
constexpr TColor kPalette[PaletteSize] = {
    0x000000, 0x0000FF, 0xFF0000, 0x008000, 0x0080FF, 0xFFFF00, 0xFF00FF,
    0x808000, 0x404080, 0x00FF00, 0x000080, 0x800000, 0x008080, 0x800080};

bool Range(const std::vector<double>& v, double& lo, double& hi) {
  bool any = false;
  for (double a : v) {
    if (std::isnan(a)) continue;
    if (!any) { lo = hi = a; any = true; continue; }
    if (a < lo) lo = a;
    if (a > hi) hi = a;
  }
  return any;
}
}  // namespace

TColor PaletteColor(int index) {
  int i = index % PaletteSize;
  if (i < 0) i += PaletteSize;
  return kPalette[i];
}

bool ChartSeries::XRange(double& lo, double& hi) const { return Range(X, lo, hi); }
bool ChartSeries::YRange(double& lo, double& hi) const { return Range(Y, lo, hi); }

bool ChartSeries::XNonDecreasing() const {
  bool have = false;
  double last = 0;
  for (double x : X) {
    if (std::isnan(x)) continue;
    if (have && x < last) return false;
    last = x;
    have = true;
  }
  return true;
}

int ChartModel::IndexOf(CurveId id) const {
  if (id == 0) return -1;
  for (std::size_t i = 0; i < Series.size(); ++i)
    if (Series[i].id == id) return int(i);
  return -1;
}

ChartSeries* ChartModel::LastSeriesPtr() {
  const int i = IndexOf(LastSeries);
  return i < 0 ? nullptr : &Series[std::size_t(i)];
}

TColor ChartModel::SeriesDefaultColor() const { return PaletteColor(SeriesCount()); }

int ChartModel::AddSeries(const std::string& title, TColor color, const std::string& fileName) {
  ChartSeries s;
  s.id = nextId_++;
  s.Title = title;
  s.Color = color;
  Series.push_back(std::move(s));
  FileNames.push_back(fileName);
  LastSeries = Series.back().id;
  return SeriesCount() - 1;
}

std::string StripPathChars(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name)
    if (c != '/' && c != '\\' && c != ':') out += c;
  return out;
}

int ChartModel::AddNamedSeries(const std::string& name) {
  // The left axis' own title is always empty (YAxisCaption is drawn in its place).
  SetAxisTitles("t, нс", Texts.YAxisCaption);
  const int i = AddSeries(name, SeriesDefaultColor(), StripPathChars(name));
  ActiveGraph = i;
  ++UnnamedGraphCounter;
  return i;
}

int ChartModel::AddRunSeries(const std::string& title) {
  const int i = AddSeries(title, SeriesDefaultColor(), title);
  Series[std::size_t(i)].XTitle = "t, нс";
  ActiveGraph = i;
  return i;
}

AxisKind AxisKindOf(const std::string& xTitle, const std::string& yTitle) {
  if (xTitle.starts_with("t, ")) return AxisKind::Time;
  if (!xTitle.starts_with("f, ")) return AxisKind::Other;
  return yTitle == "Z, Ом" ? AxisKind::Impedance : AxisKind::Frequency;
}

bool ChartModel::OnAxes(int index) const {
  if (index < 0 || index >= SeriesCount()) return false;
  const AxisKind shown = ShownKind(), own = KindOf(Series[std::size_t(index)]);
  return shown == AxisKind::Other || own == AxisKind::Other || own == shown;
}

int ChartModel::OffAxesCount() const {
  int n = 0;
  for (int i = 0; i < SeriesCount(); ++i) n += !OnAxes(i);
  return n;
}

bool ChartModel::ShowKind(AxisKind k) {
  for (int i = SeriesCount() - 1; i >= 0; --i) {
    const ChartSeries& s = Series[std::size_t(i)];
    if (KindOf(s) != k) continue;
    SetAxisTitles(XTitleOf(s), YTitleOf(s));
    return true;
  }
  return false;
}

void ChartModel::SetAxisTitles(const std::string& x, const std::string& y) {
  const bool newX = x != Texts.BottomAxisTitle, newY = y != Texts.YAxisCaption;
  if (!newX && !newY) return;
  for (ChartSeries& s : Series) {
    if (newX && !s.XTitle) s.XTitle = Texts.BottomAxisTitle;
    if (newY && !s.YTitle) s.YTitle = Texts.YAxisCaption;
  }
  Texts.BottomAxisTitle = x;
  Texts.YAxisCaption = y;
}

void ChartModel::AxisTitlesRenamed(const std::string& oldX, const std::string& oldY) {
  for (ChartSeries& s : Series) {
    if (s.XTitle == oldX) s.XTitle = Texts.BottomAxisTitle;
    if (s.YTitle == oldY) s.YTitle = Texts.YAxisCaption;
  }
}

std::string ChartModel::NextUnnamedName() {
  return "Без имени-" + IntToStr(UnnamedGraphCounter++);
}

void ChartModel::DeleteAll() {
  Series.clear();
  FileNames.clear();
  ActiveGraph = -1;
}

std::vector<int> ChartModel::UserGraphIndices() const {
  std::vector<int> out;
  for (std::size_t i = 0; i < Series.size(); ++i)
    if (Series[i].Tag == UserGraphTag) out.push_back(int(i));
  return out;
}

int ChartModel::UserGraphCount() const { return int(UserGraphIndices().size()); }

void ChartModel::CloseGraphs(const std::vector<int>& chosen) {
  if (FileNames.size() != Series.size()) RepairFileNames();
  for (int c : chosen)
    if (c >= 0 && c < SeriesCount() && Series[std::size_t(c)].Tag == UserGraphTag)
      Series[std::size_t(c)].Tag = RemoveMarkTag;

  // Later user graphs move up into the marked slots; a slot keeps its colour and pen.
  // The search for the next user graph only moves forward (every slot it passed is marked
  // by then), so closing thousands of graphs stays linear.
  const std::size_t n = Series.size();
  std::size_t j = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (Series[i].Tag == UserGraphTag) continue;
    if (j <= i) j = i + 1;
    while (j < n && Series[j].Tag != UserGraphTag) ++j;
    if (j >= n) continue;
    ChartSeries& dst = Series[i];
    ChartSeries& src = Series[j];
    dst.X = std::move(src.X);
    dst.Y = std::move(src.Y);
    src.X.clear();
    src.Y.clear();
    dst.Title = src.Title;
    dst.SpectrumDivisor = src.SpectrumDivisor;
    dst.SpectrumFreqUnit = src.SpectrumFreqUnit;
    dst.XTitle = std::move(src.XTitle);
    dst.YTitle = std::move(src.YTitle);
    std::swap(dst.id, src.id);
    FileNames[i] = FileNames[j];
    src.Tag = RemoveMarkTag;
    dst.Tag = UserGraphTag;
    if (ActiveGraph == int(j)) ActiveGraph = int(i);
  }

  // One pass keeps the rest in order; erasing one by one shifted the tail each time.
  std::size_t w = 0;
  for (std::size_t i = 0; i < Series.size(); ++i) {
    if (Series[i].Tag == RemoveMarkTag) continue;
    if (w != i) {
      Series[w] = std::move(Series[i]);
      FileNames[w] = std::move(FileNames[i]);
    }
    ++w;
  }
  Series.resize(w);
  FileNames.resize(w);

  if (Series.empty()) ActiveGraph = -1;
  else if (ActiveGraph < 0 || ActiveGraph >= SeriesCount()) ActiveGraph = SeriesCount() - 1;
}

void ChartModel::SetActiveGraph(int index) {
  if (Series.empty()) { ActiveGraph = -1; return; }
  if (index < 0) index = 0;
  if (index >= SeriesCount()) index = SeriesCount() - 1;
  ActiveGraph = index;
}

void ChartModel::PickFromLegend(int index, bool fixLines) {
  SetActiveGraph(index);
  if (fixLines || ActiveGraph < 0) return;
  for (auto& s : Series) s.PenWidth = 1;
  Series[std::size_t(ActiveGraph)].PenWidth = 2;
}

std::string ChartModel::ActiveGraphText() const {
  if (ActiveGraph < 0 || ActiveGraph >= SeriesCount()) return {};
  return "Активен график № " + IntToStr(ActiveGraph + 1) + " (" +
         IntToStr((long long)Series[std::size_t(ActiveGraph)].Count()) + " точек)";
}

std::string ChartModel::LegendText(int index) const {
  if (index < 0 || index >= SeriesCount()) return {};
  return IntToStr(index + 1) + ". " + LegendName(Series[std::size_t(index)].Title);
}

std::string LegendName(const std::string& title) {
  // Result files of a run (the far-field diagrams) carry their absolute path as title: the
  // legend would be all folders. A title like "U/I" is no path and stays as it is.
  const bool drive = title.size() >= 3 && title[1] == ':' && (title[2] == '\\' || title[2] == '/');
  if (title.empty() || !(title[0] == '/' || title[0] == '\\' || drive)) return title;
  const std::size_t p = title.find_last_of("/\\");
  return p + 1 < title.size() ? title.substr(p + 1) : title;
}

std::string ChartModel::RepairFileNames() {
  if (FileNames.size() == Series.size()) return {};
  std::string msg = "Ошибка: SeriesCount = " + IntToStr((long long)Series.size()) + "\n" +
                    "FileNames.Count =  " + IntToStr((long long)FileNames.size());
  // Padding keeps every later lookup by series index inside the list; a longer list is
  // cut for the same reason.
  FileNames.resize(Series.size(), "Error");
  return msg;
}

std::size_t NanXCount(const std::vector<double>& X) {
  return std::size_t(std::count_if(X.begin(), X.end(), [](double x) { return std::isnan(x); }));
}

std::size_t DropNanX(std::vector<double>& X, std::vector<double>& Y) {
  const std::size_t n = std::min(X.size(), Y.size());
  std::size_t w = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(X[i])) continue;
    X[w] = X[i];
    Y[w] = Y[i];
    ++w;
  }
  const std::size_t dropped = n - w;
  X.resize(w);
  Y.resize(w);
  return dropped;
}

std::string SkippedNanXText(const std::vector<std::pair<std::string, std::size_t>>& graphs) {
  std::string text;
  for (const auto& [title, n] : graphs)
    if (n > 0) text += "\n\"" + title + "\": " + IntToStr((long long)n);
  return text.empty() ? text : "Пропущены точки, у которых X не число (NaN):" + text;
}

bool InTimeOrder(const std::vector<double>& X) {
  for (std::size_t i = 0; i < X.size(); ++i)
    if (std::isnan(X[i]) || (i > 0 && X[i] < X[i - 1])) return false;
  return true;
}

bool TimeOrdered(const std::vector<double>& X, const std::vector<double>& Y, std::vector<double>& outX,
                 std::vector<double>& outY) {
  const std::size_t n = std::min(X.size(), Y.size());
  outX.assign(X.begin(), X.begin() + std::ptrdiff_t(n));
  outY.assign(Y.begin(), Y.begin() + std::ptrdiff_t(n));
  DropNanX(outX, outY);
  bool rises = false, falls = false;
  for (std::size_t i = 1; i < outX.size(); ++i) {
    rises = rises || outX[i] > outX[i - 1];
    falls = falls || outX[i] < outX[i - 1];
  }
  if (rises && falls) {
    outX.clear();
    outY.clear();
    return false;
  }
  if (falls) {
    std::reverse(outX.begin(), outX.end());
    std::reverse(outY.begin(), outY.end());
  }
  return true;
}

std::string UnorderedTimeText(const std::string& title) {
  return "График \"" + title + "\" не обработан: его точки не идут по порядку X (X то растёт, то убывает). "
         "Упорядочьте точки по времени";
}

void ResampleSeries(const ChartSeries& source, ChartSeries& target, int n, double xStart,
                    double xEnd) {
  if (!InTimeOrder(source.X)) {
    ChartSeries clean = source;
    if (!TimeOrdered(source.X, source.Y, clean.X, clean.Y)) return;
    ResampleSeries(clean, target, n, xStart, xEnd);
    return;
  }
  const std::size_t count = source.Count();
  if (n < 1 || count < 2) return;
  double lo = 0, hi = 0;
  if (!source.XRange(lo, hi)) return;
  // One point needs no step (the formula would divide by zero).
  const double dx = n > 1 ? (xEnd - xStart) / double(n - 1) : 0.0;
  const auto& X = source.X;
  const auto& Y = source.Y;
  std::size_t j = 0;
  target.X.reserve(target.X.size() + std::size_t(n));
  target.Y.reserve(target.Y.size() + std::size_t(n));
  for (int i = 0; i < n; ++i) {
    const double x = double(i) * dx + xStart;
    if (lo > x || hi < x) { target.AddXY(x, 0.0); continue; }
    for (std::size_t k = j; k + 1 < count; ++k) {
      if (X[k] <= x && x <= X[k + 1]) {
        const double span = X[k + 1] - X[k];
        // Equal neighbours (a vertical step) take the left value instead of 0/0.
        const double y = span != 0 ? Y[k] + (x - X[k]) * (Y[k + 1] - Y[k]) / span : Y[k];
        target.AddXY(x, y);
        j = k;
        break;
      }
    }
  }
}

}  // namespace rv
