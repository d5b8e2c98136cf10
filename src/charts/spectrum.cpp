#include "charts/spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "charts/curvefile.h"
#include "charts/fourier.h"
#include "solver/numtext.h"

namespace rv {

namespace {

bool SpanOf(const ChartSeries& g, double& lo, double& hi) {
  return g.Count() >= 2 && g.XRange(lo, hi) && std::isfinite(lo) && std::isfinite(hi) && hi > lo;
}

}  // namespace

double TimeUnitFactor(int index) {
  switch (index) {
    case 0: return 1e-9;
    case 1: return 1e-6;
    case 2: return 1e-3;
    default: return 1;
  }
}

double FreqUnitFactor(int index) {
  switch (index) {
    case 1: return 1e-3;
    case 2: return 1e-6;
    case 3: return 1e-9;
    default: return 1;
  }
}

double OutputTimeFactor(int index) {
  switch (index) {
    case 0: return 1e9;
    case 1: return 1e6;
    case 2: return 1e3;
    default: return 1;
  }
}

int FreqUnitIndex(int index) { return index >= 0 && index < 4 ? index : 0; }

ChartSeries InHertz(const ChartSeries& g, int unit) {
  ChartSeries out = g;
  const double uf = FreqUnitFactor(unit);
  for (double& x : out.X) x /= uf;
  return out;
}

std::string FrequencyAxisTitle(int index) {
  static const char* const t[] = {"f, Гц", "f, кГц", "f, МГц", "f, ГГц"};
  return t[index >= 0 && index < 4 ? index : 0];
}

std::string TimeAxisTitle(int index) {
  static const char* const t[] = {"t, нс", "t, мкс", "t, мс", "t, с"};
  return t[index >= 0 && index < 4 ? index : 0];
}

bool BandSampleCount(long long points, double fTop, double T, long long& N) {
  long long r = 0;
  if (!TryRound(T * fTop * 2, r) || r >= kMaxSpectrumSamples) return false;
  N = std::min(std::max({r + 1, 200LL, points}), kMaxSpectrumSamples);
  return true;
}

long long FftSampleCount(long long points, double fMax, double T) {
  if (points > kMaxFftSamples) return 0;
  long long r = 0;
  if (!TryRound(T * fMax * 2, r) || r >= kMaxFftSamples) return 0;
  long long n = 1;
  while (n < std::max(points, r + 1)) n *= 2;
  return n;
}

SpectrumPlan PlanSpectrum(const ChartSeries& g, const SpectrumOptions& o) {
  SpectrumPlan p;
  double lo = 0, hi = 0;
  std::vector<double> tx, ty;
  if (!TimeOrdered(g.X, g.Y, tx, ty)) {
    p.error = UnorderedTimeText(g.Title);
    return p;
  }
  if (!SpanOf(g, lo, hi)) {
    p.error = "Спектр графика \"" + g.Title + "\" не вычислен: в нём меньше двух точек или все точки при одном X";
    return p;
  }
  p.minX = lo;
  p.maxX = hi;
  p.ut = TimeUnitFactor(o.cbTime);
  p.uf = FreqUnitFactor(o.cbFreq);
  p.T = (hi - lo) * p.ut;
  p.D = o.absolute && !o.inverse ? p.T / 2 : 1;
  // Points are counted as the transform will read them: NaN X left out.
  const long long points = (long long)(g.Count() - NanXCount(g.X));
  if (o.type == 1) {
    const long long n = FftSampleCount(points, o.fMax, p.T);
    if (n == 0) {
      // Where the spectrum would have to stop, so the user sees which field to change.
      p.error = std::string(kTooManySamples) + "\nБПФ берет не больше " + IntToStr(kMaxFftSamples) +
                " отсчетов: для этого графика «Верхняя частота, Гц» не больше " +
                ChartNumber(double(kMaxFftSamples - 1) / (2 * p.T), 4);
      p.endCommand = true;
      return p;
    }
    p.N = n;
    const double dt = (double(float(hi)) - double(float(lo))) / double(n - 1) * p.ut;
    p.dF = 1 / (double(n) * dt);
    if (!(dt > 0) || !std::isfinite(p.dF)) p.error = "Спектр графика \"" + g.Title + "\" не вычислен: слишком малый интервал по X";
    return p;
  }
  p.dF = o.autoStep ? 0.5 / (hi - lo) / p.ut / 1.01 : o.dF;
  if (!(p.dF > 0) || !std::isfinite(p.dF)) {
    p.error = "Шаг по частоте должен быть положительным числом";
    p.endCommand = true;
    return p;
  }
  // A band reaching below 0 asks for samples as fine as its lowest frequency does.
  if (!BandSampleCount(points, std::max(std::fabs(o.fMin), std::fabs(o.fMax)), p.T, p.N)) {
    p.error = kTooManySamples;
    p.endCommand = true;
    return p;
  }
  long long kMax = 0, kMin = 0;
  if (!TryRound(o.fMax / p.dF, kMax) || !TryRound(o.fMin / p.dF, kMin) ||
      (kMax > kMin && kMax - kMin > kMaxSpectrumFreqs)) {
    p.error = "Слишком много частот: больше " + IntToStr(kMaxSpectrumFreqs) + ". Увеличьте шаг по частоте или сузьте полосу";
    p.endCommand = true;
    return p;
  }
  p.kMin = kMin;
  p.count = std::max(kMax - kMin, 0LL);
  return p;
}

bool ComputeSpectrum(const std::vector<double>& X, const std::vector<double>& Y, const SpectrumPlan& p,
                     const SpectrumOptions& o, SpectrumCurves& out, ILongTask* task) {
  out = {};
  out.divisor = p.D;
  std::vector<double> tx, ty;
  if (!TimeOrdered(X, Y, tx, ty) || tx.size() < 2) return true;  // the plan has refused it
  const double scale = ScaleToPeak(ty);
  std::vector<float> s;
  double dt = 0;
  // The FFT's own steps report nothing: sampling is its first half, the transform the rest.
  if (task && o.type == 1) task->Progress(0);
  if (!SampleGraph(tx, ty, p.N, p.ut, s, dt, task)) return false;
  if (task && o.type == 1) task->Progress(50);
  // The band: the DFT's frequencies k·dF, or the FFT's bins k/(N·dt) within fMin..fMax.
  long long kMin = p.kMin, count = p.count;
  double dF = p.dF;
  SampleSums sums;
  if (o.type == 1) {
    dF = 1 / (double(p.N) * dt);
    kMin = 0;
    while (kMin < p.N / 2 && !(o.fMin <= double(kMin) * dF)) ++kMin;
    count = 0;
    while (kMin + count < p.N / 2 && double(kMin + count) * dF <= o.fMax) ++count;
    sums = [&](const std::vector<float>& a, std::vector<std::complex<double>>& z) {
      FFTSums(a, kMin, count, z);
      return !(task && task->StopRequested());
    };
  } else {
    sums = BandSums(dt, dF, kMin, count, task);
  }
  std::vector<std::complex<double>> z;
  if (!sums(s, z) || !ExactLinearSums(tx, ty, p.N, s, dt, dF, kMin, z, sums, task)) return false;
  for (std::complex<double>& v : z) v *= scale;
  out.X.resize(z.size());
  out.modulus.resize(z.size());
  out.phase.resize(z.size());
  for (std::size_t m = 0; m < z.size(); ++m) {
    const double f = double(kMin + (long long)m) * dF;
    const double C = z[m].real(), S = -z[m].imag();
    out.X[m] = f * p.uf;
    out.modulus[m] = std::abs(z[m]) / p.D;
    out.phase[m] = SpectrumPhase(C, S);
  }
  return true;
}

void MarkSpectrum(ChartSeries& modulus, ChartSeries& phase, int unit) {
  modulus.SpectrumFreqUnit = phase.SpectrumFreqUnit = FreqUnitIndex(unit);
  modulus.XTitle = phase.XTitle = FrequencyAxisTitle(unit);
  modulus.YTitle = kSpectrumModulusTitle;
  phase.YTitle = kSpectrumPhaseTitle;
}

void AddSpectrumGraphs(ChartModel& m, const std::string& sourceTitle, const SpectrumOptions& o,
                       const SpectrumCurves& c) {
  int mod = 0, ph = 0;
  if (o.type == 1) {
    mod = m.AddNamedSeries("Модуль FFT: ");
    m.Series[std::size_t(mod)].X = c.X;
    m.Series[std::size_t(mod)].Y = c.modulus;
    ph = m.AddNamedSeries("Фаза FFT: ");
  } else {
    const TColor color = m.SeriesDefaultColor();
    mod = m.AddSeries("Модуль спектра: " + sourceTitle, color, m.NextUnnamedName());
    m.Series[std::size_t(mod)].X = c.X;
    m.Series[std::size_t(mod)].Y = c.modulus;
    const TColor next = m.SeriesDefaultColor();
    ph = m.AddSeries("Фаза спектра: " + sourceTitle, next, m.NextUnnamedName());
  }
  m.Series[std::size_t(mod)].SpectrumDivisor = c.divisor;
  m.Series[std::size_t(ph)].X = c.X;
  m.Series[std::size_t(ph)].Y = c.phase;
  MarkSpectrum(m.Series[std::size_t(mod)], m.Series[std::size_t(ph)], o.cbFreq);
  // The moduli are no impedance: axes of "Z, Ом" would hide them among the Z curves.
  const std::string x = FrequencyAxisTitle(o.inverse ? 0 : o.cbFreq);
  const bool onZ = AxisKindOf(x, m.Texts.YAxisCaption) == AxisKind::Impedance;
  m.SetAxisTitles(x, onZ ? std::string(kSpectrumModulusTitle) : m.Texts.YAxisCaption);
  if (o.noPhase && !o.inverse) m.CloseGraphs({ph});
}

void InverseCheckTimes(const ChartSeries& g, int cbTime, std::string& edTMin, std::string& edTMax) {
  double lo = 0, hi = 0;
  g.XRange(lo, hi);
  const double x0 = float(lo), ut = TimeUnitFactor(cbTime);
  edTMax = ChartNumber((hi - x0) * ut, 15);
  edTMin = ChartNumber((lo - x0) * ut, 15);
}

SynthesisPlan PlanSynthesis(double tMin, double tMax, long long n, const ChartSeries& modulus,
                            const ChartSeries& phase, double limit) {
  SynthesisPlan p;
  if (n < 1 || n > kMaxRebuiltPoints) {
    p.error = "Количество точек графика должно быть от 1 до " + IntToStr(kMaxRebuiltPoints);
    return p;
  }
  std::vector<double> f;  // the first two frequencies that are numbers
  for (std::size_t j = 0; j < phase.Count() && f.size() < 2; ++j)
    if (!std::isnan(phase.X[j])) f.push_back(phase.X[j]);
  if (f.size() < 2) {
    p.error = "В графике фазы меньше двух точек";
    return p;
  }
  p.df = f[1] - f[0];
  if (!(p.df > 0) || !std::isfinite(p.df)) {
    p.error = "Шаг по частоте в графике фазы должен быть больше нуля";
    return p;
  }
  if (modulus.Count() != phase.Count()) {
    p.error = "Графики модуля и фазы должны иметь одинаковое количество точек";
    return p;
  }
  p.n = n;
  p.tMin = tMin;
  p.tMax = tMax;
  p.dtOut = (tMax - tMin) / double(n);
  p.w0 = 2 * std::numbers::pi * p.df;
  // A span of exactly limit/df, written out and read back as text, may miss it by a
  // rounding: that is no span too long.
  if (limit / tMax < p.df * (1 - 1e-12)) {
    p.tMax = limit / p.df;
    p.dtOut = p.tMax / double(n);
    p.message = "Шаг по частоте " + ChartNumber(p.df, 15) + " Гц велик, поэтому время сигнала уменьшается до " +
                ChartNumber(p.tMax, 15) + " c";
  }
  return p;
}

bool RebuildSignal(const ChartSeries& modulus, const ChartSeries& phase, const SynthesisPlan& sp, double divisor,
                   double outFactor, std::vector<double>& x, std::vector<double>& y, ILongTask* task) {
  std::vector<double> M = modulus.Y;
  for (double& v : M) v *= divisor;
  return SynthesizeSignal(M, phase.X, phase.Y, sp.tMin, sp.dtOut, sp.n, sp.w0, outFactor, x, y, task);
}

std::string SynthesisSourceError(const ChartModel& m) {
  if (m.SeriesCount() < 2) return "Для обратного преобразования нужны два графика: модуль и фаза спектра";
  // Graphs made here know what they are; files read in do not, and are taken as they stand.
  const ChartSeries& A = m.Series[std::size_t(m.SeriesCount() - 2)];
  const ChartSeries& P = m.Series[std::size_t(m.SeriesCount() - 1)];
  const bool known = A.SpectrumFreqUnit >= 0 || P.SpectrumFreqUnit >= 0;
  const bool pair = A.SpectrumDivisor > 0 && P.SpectrumFreqUnit >= 0 && P.SpectrumDivisor == 0;
  if (!known || pair) return {};
  return "Два последних графика - не модуль и фаза одного спектра: предпоследним должен быть модуль, последним - "
         "фаза. Вычислите спектр, сняв галочку \"Не выводить фазу\", или закройте графики, стоящие после фазы.";
}

double ImpliedRecordLength(const ChartSeries& phase, int unit) {
  std::vector<double> f;
  for (std::size_t j = 0; j < phase.Count() && f.size() < 2; ++j)
    if (!std::isnan(phase.X[j])) f.push_back(phase.X[j]);
  if (f.size() < 2) return 0;
  const double df = (f[1] - f[0]) / FreqUnitFactor(unit);
  const double T = 1 / df;
  return df > 0 && std::isfinite(T) ? T : 0;
}

long long ImpliedPointCount(const ChartSeries& phase) {
  const long long frequencies =
      static_cast<long long>(std::count_if(phase.X.begin(), phase.X.end(), [](double f) { return !std::isnan(f); }));
  return std::clamp(2 * frequencies, 256LL, 1LL << 20);
}

void CloseSpectrumPair(ChartModel& m) {
  for (int i = 0; i < 2 && m.SeriesCount() >= 2; ++i) m.CloseGraphs({m.SeriesCount() - 2});
}

}  // namespace rv
