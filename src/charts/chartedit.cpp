#include "charts/chartedit.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

#include "solver/textutils.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// Keeps the points for which keep(x, y) holds, in order, in one pass.
template <class Keep>
void KeepPoints(ChartSeries& g, Keep keep) {
  std::size_t w = 0;
  for (std::size_t i = 0; i < g.Count(); ++i) {
    if (!keep(i, g.X[i], g.Y[i])) continue;
    g.X[w] = g.X[i];
    g.Y[w] = g.Y[i];
    ++w;
  }
  g.X.resize(w);
  g.Y.resize(w);
}

void DropLast(ChartSeries& g) {
  if (g.Count() == 0) return;
  g.X.pop_back();
  g.Y.pop_back();
}

// The running trapezoid sum, each value at its interval's right end; f maps the interval's
// mean Y before it is summed, out turns the sum and the span from X0 into the new Y.
template <class F, class Out>
void RunningSum(ChartSeries& g, F f, Out out) {
  DropNanX(g.X, g.Y);
  const std::size_t n = g.Count();
  if (n == 0) return;
  const double x0 = g.X[0];
  double S = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double dx = g.X[i + 1] - g.X[i];
    S += f((g.Y[i] + g.Y[i + 1]) / 2) * dx;
    g.X[i] += dx;
    g.Y[i] = out(S, g.X[i] - x0);
  }
  DropLast(g);
}

}  // namespace

double SensorCurrent(double volts) {
  const double u = volts * 1000;
  const double s = u >= 0 ? 1 : -1;
  const double a = std::fabs(u);
  if (std::isnan(a)) return a;  // no reading stays no reading
  if (a == 0) return 0;
  const double p = std::exp(0.7 * std::log(a));
  const double g = (1 - std::exp(-0.055 * p)) * 7.0 + 0.6;
  return s * a / g / 1000;
}

std::string PointOpSuffix(PointOp op) {
  switch (op) {
    case PointOp::UtoI: return std::string(" (U-->I ") + kSensorName + ")";
    case PointOp::XdivY: return " (X/Y)";
    case PointOp::YdivX: return " (Y/X)";
    case PointOp::SwapXY: return " (Y<->X)";
    case PointOp::DB: return " (dB)";
    default: return {};
  }
}

void ApplyPointOp(ChartSeries& g, PointOp op, double v, const ChartTexts* axes) {
  auto eachX = [&](auto f) { for (double& x : g.X) x = f(x); };
  auto eachY = [&](auto f) { for (double& y : g.Y) y = f(y); };
  switch (op) {
    case PointOp::ShiftX: eachX([v](double x) { return x + v; }); break;
    case PointOp::MulX: eachX([v](double x) { return x * v; }); break;
    case PointOp::DivX: eachX([v](double x) { return x / v; }); break;
    case PointOp::InvX:
      KeepPoints(g, [](std::size_t, double x, double) { return x != 0; });
      eachX([](double x) { return 1 / x; });
      break;
    case PointOp::ShiftY: eachY([v](double y) { return y + v; }); break;
    case PointOp::MulY: eachY([v](double y) { return y * v; }); break;
    case PointOp::DivY: eachY([v](double y) { return y / v; }); break;
    case PointOp::SqrtAbsY: eachY([](double y) { return std::sqrt(std::fabs(y)); }); break;
    case PointOp::SquareY: eachY([](double y) { return y * y; }); break;
    case PointOp::AbsY: eachY([](double y) { return std::fabs(y); }); break;
    case PointOp::NegY: eachY([](double y) { return -y; }); break;
    case PointOp::InvY:
      KeepPoints(g, [](std::size_t, double, double y) { return y != 0; });
      eachY([](double y) { return 1 / y; });
      break;
    case PointOp::UtoI: eachY(SensorCurrent); break;
    case PointOp::XdivY:
      for (std::size_t i = 0; i < g.Count(); ++i) {
        if (g.Y[i] != 0) g.X[i] /= g.Y[i];
        else g.X[i] = g.Y[i] = 0;
      }
      break;
    case PointOp::YdivX:
      for (std::size_t i = 0; i < g.Count(); ++i) {
        if (g.X[i] != 0) g.Y[i] /= g.X[i];
        else g.X[i] = g.Y[i] = 0;
      }
      break;
    case PointOp::SwapXY:
      std::swap(g.X, g.Y);
      if (axes) {
        g.XTitle = g.XTitle.value_or(axes->BottomAxisTitle);
        g.YTitle = g.YTitle.value_or(axes->YAxisCaption);
      }
      std::swap(g.XTitle, g.YTitle);
      break;
    case PointOp::XFromZero: {
      double lo = 0, hi = 0;
      if (g.XRange(lo, hi)) eachX([lo](double x) { return x - lo; });
      break;
    }
    case PointOp::DB:
      KeepPoints(g, [](std::size_t, double, double y) { return y > 0; });
      eachY([v](double y) { return 20 * std::log10(y / v); });
      break;
  }
  // Reciprocals and ratios are quantities the program cannot name.
  if (op == PointOp::InvX || op == PointOp::XdivY) g.XTitle = "";
  if (op == PointOp::InvY || op == PointOp::YdivX) g.YTitle = "";
  g.Title += PointOpSuffix(op);
}

void Derivative(ChartSeries& g) {
  for (std::size_t i = 0; i + 1 < g.Count(); ++i) {
    g.Y[i] = (g.Y[i + 1] - g.Y[i]) / (g.X[i + 1] - g.X[i]);
    g.X[i] = (g.X[i] + g.X[i + 1]) / 2;
  }
  DropLast(g);
  g.Title += "(произв.)";
}

void RunningIntegral(ChartSeries& g) {
  RunningSum(g, [](double y) { return y; }, [](double S, double) { return S; });
  g.Title += " (интегр.)";
}

void RunningMean(ChartSeries& g) {
  RunningSum(g, [](double y) { return y; }, [](double S, double span) { return S / span; });
  g.Title += " (среднее)";
}

void RunningRms(ChartSeries& g) {
  RunningSum(g, [](double y) { return y * y; }, [](double S, double span) { return std::sqrt(S / span); });
  g.Title += " (среднеквадратич.)";
}

void RcDifferentiate(ChartSeries& g, double tau, double timeUnit) {
  DropNanX(g.X, g.Y);
  double S = 0, prevY = 0, prevX = 0;
  for (std::size_t i = 0; i < g.Count(); ++i) {
    const double y = g.Y[i];
    S = i == 0 ? y : S * std::exp(-(g.X[i] - prevX) * timeUnit / tau) + (y - prevY);
    prevY = y;
    prevX = g.X[i];
    g.Y[i] = S;
  }
  g.Title += "(дифф)";
}

void RcIntegrate(ChartSeries& g, double tau, double timeUnit) {
  DropNanX(g.X, g.Y);
  double out = 0, prevY = 0, prevX = 0;
  for (std::size_t i = 0; i < g.Count(); ++i) {
    const double y = g.Y[i];
    out = i == 0 ? y : out + y - prevY * std::exp(-(g.X[i] - prevX) * timeUnit / tau);
    prevY = y;
    prevX = g.X[i];
    g.Y[i] = out;
  }
  g.Title += "(интегр.)";
}

void Quantize(ChartSeries& g, int levels, std::uint32_t seed) {
  double lo = 0, hi = 0;
  if (levels < 1 || !g.YRange(lo, hi)) return;
  const double q = (hi - lo) / levels;
  if (!(q > 0) || !std::isfinite(q)) return;
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0, 1);
  for (double& y : g.Y) {
    y = std::nearbyint(y / q) * q;
    if (u(gen) < 0.2) y -= q;
    if (u(gen) > 0.8) y += q;
  }
}

std::vector<double> ValuesOnGrid(const ChartSeries& g, int n, double x1, double x2) {
  if (!InTimeOrder(g.X)) {
    ChartSeries clean = g;
    if (!TimeOrdered(g.X, g.Y, clean.X, clean.Y)) clean.X.clear(), clean.Y.clear();
    return ValuesOnGrid(clean, n, x1, x2);
  }
  std::vector<double> v(std::size_t(std::max(n, 0)), 0.0);
  double lo = 0, hi = 0;
  const std::size_t count = g.Count();
  if (n < 1 || count < 2 || !g.XRange(lo, hi)) return v;
  const double dx = n > 1 ? (x2 - x1) / double(n - 1) : 0.0;
  std::size_t j = 0;
  for (int i = 0; i < n; ++i) {
    const double x = double(i) * dx + x1;
    if (x < lo || x > hi) continue;
    for (std::size_t k = j; k + 1 < count; ++k) {
      if (!(g.X[k] <= x && x <= g.X[k + 1])) continue;
      const double span = g.X[k + 1] - g.X[k];
      v[std::size_t(i)] = span != 0 ? g.Y[k] + (x - g.X[k]) * (g.Y[k + 1] - g.Y[k]) / span : g.Y[k];
      j = k;
      break;
    }
  }
  return v;
}

int CombineGraphs(ChartModel& m, const std::vector<int>& chosen, bool product) {
  std::vector<int> use;
  for (int c : chosen)
    if (c >= 0 && c < m.SeriesCount()) use.push_back(c);
  if (use.empty()) return -1;
  double x1 = 0, x2 = 0;
  bool any = false;
  for (const ChartSeries& s : m.Series) {
    double lo = 0, hi = 0;
    if (!s.XRange(lo, hi)) continue;
    x1 = any ? std::min(x1, lo) : lo;
    x2 = any ? std::max(x2, hi) : hi;
    any = true;
  }
  std::size_t n = 0;
  for (int c : use) n = std::max(n, m.Series[std::size_t(c)].Count());
  n = std::max<std::size_t>(n, 256);
  std::vector<double> acc(n, product ? 1.0 : 0.0);
  for (int c : use) {
    const std::vector<double> v = ValuesOnGrid(m.Series[std::size_t(c)], int(n), x1, x2);
    for (std::size_t j = 0; j < n; ++j) acc[j] = product ? acc[j] * v[j] : acc[j] + v[j];
  }
  // The X of the first; a sum is of its terms' quantity when they share one, a product of
  // none the program can name.
  const ChartSeries& first = m.Series[std::size_t(use[0])];
  std::optional<std::string> xTitle = first.XTitle, yTitle = first.YTitle;
  bool sameY = true;
  for (int c : use) sameY = sameY && m.YTitleOf(m.Series[std::size_t(c)]) == m.YTitleOf(first);
  if (product ? use.size() > 1 : !sameY) yTitle = "";
  const int r = m.AddSeries(product ? "Произведение" : "Сумма", m.SeriesDefaultColor(), m.NextUnnamedName());
  ChartSeries& out = m.Series[std::size_t(r)];
  out.XTitle = std::move(xTitle);
  out.YTitle = std::move(yTitle);
  const double dx = (x2 - x1) / double(n - 1);
  out.X.resize(n);
  for (std::size_t j = 0; j < n; ++j) out.X[j] = double(j) * dx + x1;
  out.Y = std::move(acc);
  return r;
}

int SpliceGraphs(ChartModel& m, int a, int b, double t) {
  if (a < 0 || b < 0 || a >= m.SeriesCount() || b >= m.SeriesCount()) return -1;
  const ChartSeries A = m.Series[std::size_t(a)], B = m.Series[std::size_t(b)];
  const int r = m.AddSeries(A.Title, m.SeriesDefaultColor(), m.NextUnnamedName());
  ChartSeries& out = m.Series[std::size_t(r)];
  out.XTitle = A.XTitle;
  out.YTitle = A.YTitle;
  for (std::size_t i = 0; i < A.Count(); ++i)
    if (A.X[i] <= t) out.AddXY(A.X[i], A.Y[i]);
  for (std::size_t i = 0; i < B.Count(); ++i)
    if (B.X[i] > t) out.AddXY(B.X[i], B.Y[i]);
  return r;
}

int CloneGraph(ChartModel& m, int k, int points) {
  if (k < 0 || k >= m.SeriesCount()) return -1;
  const ChartSeries src = m.Series[std::size_t(k)];
  const int r = m.AddSeries(src.Title + " (Клон)", m.SeriesDefaultColor(), m.FileNames[std::size_t(k)] + " (Клон)");
  m.Series[std::size_t(r)].XTitle = src.XTitle;
  m.Series[std::size_t(r)].YTitle = src.YTitle;
  double lo = 0, hi = 0;
  if (src.XRange(lo, hi)) ResampleSeries(src, m.Series[std::size_t(r)], points, lo, hi);
  return r;
}

void Normalize(ChartModel& m, const std::vector<int>& chosen) {
  double M = 0;
  for (int c : chosen)
    for (double y : m.Series[std::size_t(c)].Y)
      if (std::fabs(y) > M) M = std::fabs(y);
  if (M == 0) return;
  for (int c : chosen)
    for (double& y : m.Series[std::size_t(c)].Y) y /= M;
}

void HalvePoints(ChartSeries& g) {
  const std::size_t last = g.Count() - 1;
  KeepPoints(g, [last](std::size_t i, double, double) { return i % 2 == 0 || i == last; });
}

void Crop(ChartSeries& g, double lo, double hi) {
  KeepPoints(g, [lo, hi](std::size_t, double x, double) { return !(x < lo || x > hi); });
}

void FileNamesFromTitles(ChartModel& m) {
  m.FileNames.clear();
  for (const ChartSeries& s : m.Series) m.FileNames.push_back(s.Title + ".grf");
}

std::string ListDivisors(const std::vector<std::string>& lines, int seriesCount, std::vector<double>& d) {
  d.assign(std::size_t(std::max(seriesCount, 0)), 0.0);
  if ((int)lines.size() < seriesCount)
    return "В файле значений " + IntToStr((long long)lines.size()) + " строк, а графиков " + IntToStr(seriesCount) +
           ". Графики не изменены";
  for (int k = 0; k < seriesCount; ++k)
    if (!TryStrToFloat(lines[std::size_t(k)], d[std::size_t(k)]))
      return "Строка " + IntToStr(k + 1) + " файла значений не является числом: \"" + TextPiece(lines[std::size_t(k)]) +
             "\". Графики не изменены";
  return {};
}

bool MoveActiveGraph(ChartModel& m, int step) {
  const int a = m.ActiveGraph, b = a + step;
  if (a < 0 || a >= m.SeriesCount() || b < 0 || b >= m.SeriesCount()) return false;
  std::swap(m.Series[std::size_t(a)], m.Series[std::size_t(b)]);
  std::swap(m.FileNames[std::size_t(a)], m.FileNames[std::size_t(b)]);
  m.ActiveGraph = b;
  return true;
}

}  // namespace rv
