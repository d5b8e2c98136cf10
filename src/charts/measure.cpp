#include "charts/measure.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "charts/curvefile.h"
#include "charts/fourier.h"
#include "charts/spectrum.h"
#include "solver/numtext.h"

namespace rv {

PulseMeasurement MeasurePulse(const ChartSeries& g, double xMin, double xMax, const std::string& sensor) {
  PulseMeasurement r;
  const std::size_t n = std::min(g.X.size(), g.Y.size());
  auto in = [&](std::size_t i) { return xMin <= g.X[i] && g.X[i] <= xMax; };
  double yMax = 0, yMin = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!in(i)) continue;
    if (g.Y[i] < yMin) yMin = g.Y[i];
    if (g.Y[i] > yMax) yMax = g.Y[i];
  }
  const bool positive = std::fabs(yMax) > std::fabs(yMin);
  if (std::fabs(yMax) != std::fabs(yMin)) {
    r.A = positive ? yMax : yMin;
    r.L10 = r.A / 10;
    r.L50 = r.A / 2;
    r.L90 = r.A * 9 / 10;
    // Positive pulses compare with >=, negative ones mirrored.
    auto reaches = [&](double y, double level) { return positive ? y >= level : y <= level; };
    auto cross = [&](std::size_t i, double level) {
      const double y0 = g.Y[i - 1], y1 = g.Y[i];
      if (y1 == y0) return g.X[i];
      return g.X[i - 1] + (g.X[i] - g.X[i - 1]) * (level - y0) / (y1 - y0);
    };
    for (std::size_t i = 1; i < n && !r.found50f; ++i) {
      if (!in(i)) continue;
      if (!r.found10) {
        if (!reaches(g.Y[i], r.L10)) continue;
        const bool towardPeak = positive ? g.Y[i - 1] < g.Y[i] : g.Y[i - 1] > g.Y[i];
        if (!towardPeak) continue;
        r.t10 = cross(i, r.L10);
        r.found10 = true;
      }
      if (!r.found50r) {
        if (!reaches(g.Y[i], r.L50)) continue;
        r.t50r = cross(i, r.L50);
        r.found50r = true;
      }
      if (!r.found90) {
        if (!reaches(g.Y[i], r.L90)) continue;
        r.t90 = cross(i, r.L90);
        r.found90 = true;
      }
      if (reaches(r.L50, g.Y[i])) {  // falling back through half the amplitude
        r.t50f = cross(i, r.L50);
        r.found50f = true;
      }
    }
  }
  if (r.found90) {
    r.rise = r.t90 - r.t10;
    double px = 0;
    if (!sensor.empty() && !TryStrToFloat(sensor, px)) {
      r.message = kBadSensorText;
      px = 0;
    }
    if (px > 0) {
      if (r.rise < px)
        r.message = kSensorTooLarge;
      else
        r.rise = std::sqrt(r.rise * r.rise - px * px);
    }
  }
  if (r.found50f) r.width = r.t50f - r.t50r;
  r.text = "Амплитуда = " + ChartNumber(r.A, 3, 2);
  if (r.found90) r.text += "; Тф = " + ChartNumber(r.rise, 3, 2);
  if (r.found50f) r.text += "; Ти = " + ChartNumber(r.width, 3, 2);
  return r;
}

GraphSpectrumPlan PlanGraphSpectrum(const ChartSeries& g, const ImpedanceOptions& o) {
  GraphSpectrumPlan p;
  double lo = 0, hi = 0;
  std::vector<double> tx, ty;
  if (!TimeOrdered(g.X, g.Y, tx, ty)) {
    p.error = UnorderedTimeText(g.Title);
    return p;
  }
  if (g.Count() < 2 || !g.XRange(lo, hi) || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) {
    p.error = "Спектр графика \"" + g.Title + "\" не вычислен: в нём меньше двух точек или все точки при одном X";
    return p;
  }
  if (!(o.dF > 0) || !std::isfinite(o.dF) || !std::isfinite(o.fMin) || !std::isfinite(o.fMax)) {
    p.error = "Шаг по частоте должен быть положительным числом";
    return p;
  }
  const double fTop = std::max(std::fabs(o.fMin), std::fabs(o.fMax));  // a band may reach below 0
  if (!BandSampleCount((long long)tx.size(), fTop, (hi - lo) * TimeUnitFactor(o.cbTime), p.N)) {
    p.error = kTooManySamples;
    return p;
  }
  const double kMin = std::nearbyint(o.fMin / o.dF), kMax = std::nearbyint(o.fMax / o.dF);
  if (!(kMax - kMin <= double(kMaxSpectrumFreqs)) || !(std::fabs(kMin) < 1e15)) {
    p.error = "Слишком много частот: проверьте границы и шаг по частоте";
    return p;
  }
  p.kMin = (long long)kMin;
  p.count = std::max(0LL, (long long)(kMax - kMin));
  return p;
}

bool ComputeGraphSpectrum(const std::vector<double>& X, const std::vector<double>& Y, const GraphSpectrumPlan& p,
                          const ImpedanceOptions& o, GraphSpectrum& out, ILongTask* task) {
  const double tu = TimeUnitFactor(o.cbTime), fu = FreqUnitFactor(o.cbFreq);
  out = {};
  std::vector<double> tx, ty;
  if (!TimeOrdered(X, Y, tx, ty) || tx.size() < 2) return true;  // the plan has refused it
  const double scale = ScaleToPeak(ty);
  std::vector<float> s;
  double dt = 0;
  if (!SampleGraph(tx, ty, p.N, tu, s, dt, task)) return false;
  const SampleSums bandSums = BandSums(dt, o.dF, p.kMin, p.count, task);
  std::vector<std::complex<double>> sums;
  if (!bandSums(s, sums) || !ExactLinearSums(tx, ty, p.N, s, dt, o.dF, p.kMin, sums, bandSums, task)) return false;
  for (std::complex<double>& v : sums) v *= scale;
  const double lo = tx.front();
  // The record starts at Tmin, not at 0: each sum turns by exp(−iω·t0).
  const long double t0 = (long double)float(lo) * tu;
  out.X.resize(sums.size());
  out.modulus.resize(sums.size());
  out.phase.resize(sums.size());
  for (std::size_t m = 0; m < sums.size(); ++m) {
    const long double f = (long double)(p.kMin + (long long)m) * o.dF;
    const long double c = f * t0;
    const double r = double(c - std::nearbyint(c)) * 2 * std::numbers::pi;
    const std::complex<double> z = sums[m] * std::complex<double>(std::cos(r), -std::sin(r));
    out.X[m] = double(f) * fu;
    out.modulus[m] = std::abs(z);
    out.phase[m] = SpectrumPhase(z.real(), -z.imag());
  }
  return true;
}

void AddImpedanceGraphs(ChartModel& m, const std::string& uTitle, const GraphSpectrum& u, const std::string& iTitle,
                        const GraphSpectrum& i, const ImpedanceOptions& o) {
  auto add = [&](const std::string& title, TColor c, const std::string& file) {
    const int k = m.AddSeries(title, c, file + std::to_string(m.UnnamedGraphCounter));
    ++m.UnnamedGraphCounter;
    return k;
  };
  const int first = m.SeriesCount();
  for (const auto* sp : {&u, &i}) {
    const std::string& t = sp == &u ? uTitle : iTitle;
    const int a = add("Модуль спектра: " + t, m.SeriesDefaultColor(), "Без имени-Модуль спектра-");
    m.Series[std::size_t(a)].X = sp->X;
    m.Series[std::size_t(a)].Y = sp->modulus;
    m.Series[std::size_t(a)].SpectrumDivisor = 1;
    const int b = add("Фаза спектра: " + t, m.SeriesDefaultColor(), "Без имени-Фаза спектра-");
    m.Series[std::size_t(b)].X = sp->X;
    m.Series[std::size_t(b)].Y = sp->phase;
    MarkSpectrum(m.Series[std::size_t(a)], m.Series[std::size_t(b)], o.cbFreq);
  }
  const int re = add("Действительная часть Z", m.SeriesDefaultColor(), "Без имени-Real-");
  const int im = add("Мнимая часть Z", m.SeriesDefaultColor(), "Без имени-Im-");
  const int md = add("Модуль Z", m.SeriesDefaultColor(), "Без имени-Mod-");
  const std::size_t n = std::min(u.X.size(), i.X.size());
  for (std::size_t k = 0; k < n; ++k) {
    if (i.modulus[k] == 0) continue;
    const double r = u.modulus[k] / i.modulus[k], d = u.phase[k] - i.phase[k];
    m.Series[std::size_t(re)].AddXY(i.X[k], std::cos(d) * r);
    m.Series[std::size_t(im)].AddXY(i.X[k], std::sin(d) * r);
    m.Series[std::size_t(md)].AddXY(i.X[k], r);
  }
  for (int k : {re, im, md}) {
    m.Series[std::size_t(k)].SpectrumFreqUnit = FreqUnitIndex(o.cbFreq);
    m.Series[std::size_t(k)].XTitle = FrequencyAxisTitle(o.cbFreq);
    m.Series[std::size_t(k)].YTitle = kImpedanceTitle;
  }
  m.SetAxisTitles(FrequencyAxisTitle(o.cbFreq), kImpedanceTitle);
  if (o.deleteSpectra) {
    const CurveId last = m.LastSeries;
    for (int k = first + 3; k >= first; --k) {
      m.Series.erase(m.Series.begin() + k);
      m.FileNames.erase(m.FileNames.begin() + k);
    }
    m.LastSeries = last;
    if (m.ActiveGraph >= m.SeriesCount()) m.ActiveGraph = m.SeriesCount() - 1;
  }
}

}  // namespace rv
