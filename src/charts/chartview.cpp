#include "charts/chartview.h"

#include <algorithm>
#include <cmath>

#include "charts/curvefile.h"
#include "solver/textutils.h"
#include "solver/numtext.h"

namespace rv {

AxisSpan ZoomSpan(AxisSpan a, double factor) {
  const double c = (a.Min + a.Max) / 2, half = (a.Max - a.Min) / 2 / factor;
  return {c - half, c + half};
}

AxisSpan StretchVertical(AxisSpan a) {
  const double d = std::max(std::fabs(a.Max), std::fabs(a.Min)) / 20;
  return {a.Min - d, a.Max + d};
}

bool FiniteRange(const std::vector<double>& v, double& lo, double& hi) {
  bool any = false;
  for (double a : v) {
    if (!std::isfinite(a)) continue;
    if (!any) {
      lo = hi = a;
      any = true;
    }
    lo = std::min(lo, a);
    hi = std::max(hi, a);
  }
  return any;
}

AxisSpan FitSpan(AxisSpan a, double lo, double hi) {
  for (int pass = 0; pass < 2; ++pass) {
    if (lo < a.Max) a.Min = lo;
    if (hi > a.Min) a.Max = hi;
  }
  return a;
}

PrintRect ChartPrintRect(int w, int h, int n) {
  if (n < 1) n = 1;
  const int mx = int(std::lround(w * 5.0 / 100)), my = int(std::lround(h * 5.0 / 100));
  return {mx, my, w - mx, my + (h - 2 * my) / n};
}

void ApplyLegendTexts(ChartModel& m, const std::vector<std::string>& lines) {
  const std::vector<int> users = m.UserGraphIndices();
  for (std::size_t k = 0; k < users.size() && k < lines.size(); ++k)
    m.Series[std::size_t(users[k])].Title = lines[k];
}

std::string PointCellText(double v) { return ChartNumber(v, 10, 0); }

bool ReadPointRows(const std::vector<std::pair<std::string, std::string>>& rows, ChartSeries& g,
                   std::string& err) {
  auto blank = [](const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; };
  std::vector<double> x, y;
  x.reserve(rows.size());
  y.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto& [tx, ty] = rows[r];
    if (blank(tx) && blank(ty)) continue;
    double a = 0, b = 0;
    const bool okX = ParseCurveNumber(tx, a);
    if (!okX || !ParseCurveNumber(ty, b)) {
      err = "Строка " + std::to_string(r + 1) + ": '" + TextPiece(okX ? ty : tx) + "' не является числом";
      return false;
    }
    x.push_back(a);
    y.push_back(b);
  }
  g.X = std::move(x);
  g.Y = std::move(y);
  return true;
}

void ShiftSeries(ChartSeries& g, double dx, double dy) {
  for (double& x : g.X) x += dx;
  for (double& y : g.Y) y += dy;
}

std::vector<std::size_t> SetColumnY(ChartSeries& g, double xlo, double xhi, double y) {
  std::vector<std::size_t> hit;
  for (std::size_t i = 0; i < g.X.size(); ++i)
    if (g.X[i] >= xlo && g.X[i] < xhi) {
      g.Y[i] = y;
      hit.push_back(i);
    }
  return hit;
}

std::string PointerText(double x, double y) {
  return "X: " + ChartNumber(x, 3, 2) + "  /  Y:  " + ChartNumber(y, 3, 2);
}

std::string RubberText(double dx, double dy) {
  return "dX: " + ChartNumber(dx, 3, 2) + "  /  dY:  " + ChartNumber(dy, 3, 2);
}

}  // namespace rv
