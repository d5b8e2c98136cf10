#include "charts/generators.h"

#include <cmath>
#include <numbers>

namespace rv {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kEps0 = 8.85e-12;
constexpr double kWaterTau = 9.4e-12, kWaterEpsS = 81, kWaterEpsInf = 1.8;

const char* const kTooMany = "Слишком много точек: проверьте шаг и пределы";

// n points of x = x0 + i·dx; refused beyond the limit.
bool Grid(GeneratedCurve& c, double n) {
  if (!(n >= 0) || n > double(kMaxGeneratedPoints)) {
    c.error = kTooMany;
    return false;
  }
  c.X.reserve(std::size_t(n));
  c.Y.reserve(std::size_t(n));
  return true;
}

}  // namespace

GeneratedCurve CountingErrorTable() {
  GeneratedCurve c;
  c.title = "Погрешность при Т=1 с";
  c.xTitle = "V, км/ч";
  c.yTitle = "Погр., %";
  const long double limit = 100.0L / 3;
  double x = 0.001;
  const double K = 10;
  while (limit > x) {
    x = 1.1 * x;
    const double v = 3.6 * x;
    const double r = std::nearbyint(x * 42 / (0.95 * kPi) * K);
    if (r >= 3) c.X.push_back(v), c.Y.push_back((1 - (r - 2) / r) * 100);
  }
  return c;
}

GeneratedCurve ThreeExpPulse(const ThreeExpParams& p) {
  GeneratedCurve c;
  c.title = "З-х экспон. импульс";
  if (!(p.dt > 0) || !std::isfinite(p.dt) || !std::isfinite(p.tEnd)) {
    c.error = "Шаг по времени должен быть больше нуля";
    return c;
  }
  // Counted first: the same loop without the points.
  long long n = 0;
  for (double t = 0, step = p.dt; t < p.tEnd; ++n) {
    if (n >= kMaxGeneratedPoints) {
      c.error = kTooMany;
      return c;
    }
    t += step;
    if (t > 1e-7) step = 20 * p.dt;
  }
  Grid(c, double(n));
  for (double t = 0, step = p.dt; t < p.tEnd;) {
    c.X.push_back(t * 1e9);
    c.Y.push_back(p.A * (p.K1 * std::exp(-p.T1 * t) + p.K2 * std::exp(-p.T2 * t) - p.K3 * std::exp(-p.T3 * t)));
    t += step;
    if (t > 1e-7) step = 20 * p.dt;
  }
  return c;
}

GeneratedCurve WaterRe() {
  GeneratedCurve c;
  c.title = "Вода Re";
  c.xTitle = "f, ГГц";
  c.yTitle = "Re{eps}";
  Grid(c, 2001);
  for (int i = 0; i <= 2000; ++i) {
    const double f = i / 10.0, wt = 2 * kPi * f * 1e9 * kWaterTau;
    c.X.push_back(f);
    c.Y.push_back((kWaterEpsS - kWaterEpsInf) / (1 + wt * wt) + kWaterEpsInf);
  }
  return c;
}

GeneratedCurve WaterIm(bool conductivity) {
  GeneratedCurve c;
  c.title = conductivity ? "Вода - проводимость, См/м" : "Вода Im{eps}";
  c.xTitle = "f, ГГц";
  c.yTitle = "eps0*w*Im{eps},См/м";
  Grid(c, 4001);
  // The loss of a Debye medium scales with εs − ε∞, as in its real part.
  const double d = kWaterEpsS - kWaterEpsInf;
  for (int i = 0; i <= 4000; ++i) {
    const double f = i / 20.0, w = 2 * kPi * f * 1e9, wt = w * kWaterTau;
    c.X.push_back(f);
    c.Y.push_back(conductivity ? d * kEps0 * w * w * kWaterTau / (1 + wt * wt) : d * wt / (1 + wt * wt));
  }
  return c;
}

GeneratedCurve PolarDielectric(const PolarParams& p, bool conductivity) {
  GeneratedCurve c;
  c.xTitle = "f, ГГц";
  if (conductivity) {
    c.title = "Проводимость, См/м (" + p.textS + "/" + p.textInf + "/" + p.textTau + "/" + p.textSigma + ")";
    c.yTitle = "eps0*w*Im{eps},См/м";
  } else {
    c.title = "Проницаемость {Re} (" + p.textS + "/" + p.textInf + "/" + p.textTau + ")";
    c.yTitle = "Re{eps}";
  }
  const double last = std::nearbyint(p.fMaxGHz * 100);
  if (!Grid(c, last + 1)) return c;
  const double d = p.epsS - p.epsInf;
  for (long long i = 0; i <= (long long)last; ++i) {
    const double f = double(i) / 100, w = 2 * kPi * f * 1e9, wt = w * p.tau;
    c.X.push_back(f);
    c.Y.push_back(conductivity ? kEps0 * w * w * p.tau * d / (1 + wt * wt) + p.sigma : d / (1 + wt * wt) + p.epsInf);
  }
  return c;
}

GeneratedCurve ReflectionDelay(double H1, double H2, double L, bool equalAngles, const std::string& textH1,
                               const std::string& textL) {
  GeneratedCurve c;
  c.title = "Задержка при H1= " + textH1 + " и L= " + textL;
  c.xTitle = "h, м";
  c.yTitle = "t, нс";
  if (!Grid(c, H2 >= 0 ? std::floor(H2) + 1 : 0)) return c;
  for (double h = 0; h <= H2; h += 1) {
    const double d1 = std::sqrt(L * L + (H1 - h) * (H1 - h));
    const double delay = equalAngles ? std::sqrt(L * L + (h + H1) * (h + H1)) - d1 : std::sqrt(L * L + h * h) + H1 - d1;
    c.X.push_back(h);
    c.Y.push_back(delay / 3e8 * 1e9);
  }
  return c;
}

GeneratedCurve SinXX() {
  GeneratedCurve c;
  c.title = "Sin(X)/X";
  const double F = 20000, A = 1;
  for (double x = 0; x < 0.01; x += 1e-5) {
    const double u = kPi * F * (x - 100 / F);
    c.X.push_back(x);
    c.Y.push_back(u == 0 ? A : A * std::sin(u) / u);
  }
  return c;
}

}  // namespace rv
