#include "charts/convolution.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "charts/fourier.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// H at u: 0 before the first X, the last value after the last X, linear between; the
// search index k only moves forward, so u must not decrease between calls.
struct StepResponse {
  const std::vector<double>& x;
  const std::vector<double>& y;
  std::size_t k = 1;
  double at(double u) {
    const std::size_t n = std::min(x.size(), y.size());
    if (n == 0 || u < x[0]) return 0;
    if (u >= x[n - 1]) return y[n - 1];
    while (k < n - 1 && x[k] < u) ++k;
    const double span = x[k] - x[k - 1];
    return span != 0 ? (y[k] * (u - x[k - 1]) + y[k - 1] * (x[k] - u)) / span : y[k];
  }
};

bool Uniform(const std::vector<double>& x) {
  if (x.size() < 2) return false;
  const double dt = x[1] - x[0];
  if (!(dt > 0) || !std::isfinite(dt)) return false;
  for (std::size_t i = 1; i < x.size(); ++i)
    if (!(std::fabs(x[i] - x[i - 1] - dt) <= 1e-9 * dt)) return false;
  return true;
}

constexpr std::size_t kCheckEvery = 256;

}  // namespace

double InterpolateY(const ChartSeries& g, double x) {
  const std::size_t n = std::min(g.X.size(), g.Y.size());
  if (n < 2 || x > g.X[n - 1] || x < g.X[0]) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if (g.X[k - 1] <= x && x <= g.X[k]) {
      const double span = g.X[k] - g.X[k - 1];
      return span != 0 ? (g.Y[k] * (x - g.X[k - 1]) + g.Y[k - 1] * (g.X[k] - x)) / span : g.Y[k];
    }
  return 0;
}

bool Convolve(const std::vector<double>& sx, const std::vector<double>& sy, const std::vector<double>& hx,
              const std::vector<double>& hy, std::vector<double>& outX, std::vector<double>& outY,
              ILongTask* task) {
  if (!InTimeOrder(sx) || !InTimeOrder(hx)) {
    std::vector<double> cx, cy, chx, chy;
    outX.clear();
    outY.clear();
    if (!TimeOrdered(sx, sy, cx, cy) || !TimeOrdered(hx, hy, chx, chy)) return true;
    return Convolve(cx, cy, chx, chy, outX, outY, task);
  }
  outX.clear();
  outY.clear();
  const std::size_t n = std::min(sx.size(), sy.size());
  if (n < 2) return true;
  std::vector<double> dy(n);
  dy[0] = sy[0];
  for (std::size_t j = 1; j < n; ++j) dy[j] = sy[j] - sy[j - 1];
  std::vector<double> x(sx.begin(), sx.begin() + std::ptrdiff_t(n));
  if (Uniform(x)) {
    const double dt = x[1] - x[0];
    std::vector<double> g(n);
    StepResponse h{hx, hy};
    for (std::size_t m = 0; m < n; ++m) g[m] = h.at(double(m) * dt);
    std::vector<double> y;
    if (!LinearConvolution(dy, g, n, y, task)) return false;
    outX.assign(x.begin() + 1, x.end());
    outY.assign(y.begin() + 1, y.end());
    return true;
  }
  outX.reserve(n - 1);
  outY.reserve(n - 1);
  std::optional<PercentCounter> pc;
  if (task) pc.emplace(*task, (long long)n);
  for (std::size_t i = 1; i < n; ++i) {
    if (pc && i % kCheckEvery == 0 && !pc->Step((long long)i)) return false;
    // From j = i down the argument grows, so the search in H moves forward.
    StepResponse h{hx, hy};
    double sum = 0;
    for (std::size_t j = i + 1; j-- > 0;) sum += dy[j] * h.at(x[i] - x[j]);
    outX.push_back(x[i]);
    outY.push_back(sum);
  }
  return true;
}

void ConvolveDirect(const std::vector<double>& sx, const std::vector<double>& sy, const std::vector<double>& hx,
                    const std::vector<double>& hy, std::vector<double>& outX, std::vector<double>& outY) {
  outX.clear();
  outY.clear();
  const std::size_t n = std::min(sx.size(), sy.size()), m = std::min(hx.size(), hy.size());
  auto H = [&](double u) {
    if (m == 0 || u < hx[0]) return 0.0;
    if (u >= hx[m - 1]) return hy[m - 1];
    for (std::size_t k = 1; k < m; ++k)
      if (hx[k - 1] <= u && u <= hx[k]) {
        const double span = hx[k] - hx[k - 1];
        return span != 0 ? (hy[k] * (u - hx[k - 1]) + hy[k - 1] * (hx[k] - u)) / span : hy[k];
      }
    return 0.0;
  };
  for (std::size_t i = 1; i < n; ++i) {
    double sum = sy[0] * H(sx[i] - sx[0]);
    for (std::size_t j = 1; j <= i; ++j) sum += (sy[j] - sy[j - 1]) * H(sx[i] - sx[j]);
    outX.push_back(sx[i]);
    outY.push_back(sum);
  }
}

void EnergyInLoad(ChartSeries& g, double timeUnit, double currentUnit) {
  if (std::min(g.X.size(), g.Y.size()) < NanXCount(g.X) + 2) return;
  // Energy builds up with time: falling times are read backwards.
  std::vector<double> x, y;
  if (!TimeOrdered(g.X, g.Y, x, y)) return;
  g.X = std::move(x);
  g.Y = std::move(y);
  const std::size_t n = std::min(g.X.size(), g.Y.size());
  if (n < 2) return;
  double e = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double dt = (g.X[i + 1] - g.X[i]) * timeUnit;
    const double I = (g.Y[i] + g.Y[i + 1]) * currentUnit / 2;
    e += I * I * dt;
    g.Y[i] = e;
    g.X[i] = g.X[i + 1];
  }
  g.X.resize(n - 1);
  g.Y.resize(n - 1);
  g.Title += " (энергия =" + FormatExponent(g.Y.back(), 2, 2) + " Дж)";
}

double EnergyTimeFactor(int index) {
  static const double f[] = {1, 1e-3, 1e-6, 1e-9, 1e-12};
  return index >= 0 && index < 5 ? f[index] : 0;
}

double EnergyCurrentFactor(int index) {
  static const double f[] = {1000, 1, 1e-3, 1e-6};
  return index >= 0 && index < 4 ? f[index] : 0;
}

}  // namespace rv
