#include "project/signalvalues.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <functional>
#include <string_view>
#include <vector>

#include "charts/fourier.h"
#include "project/runstart.h"
#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/numtext.h"
#include "solver/solverdata.h"

namespace rv {

namespace {

constexpr const char* kCannotRun = ". Работа невозможна!\n";
constexpr const char* kInWindow = " в окне «Выбор сигнала» (кнопка «Выбор формы сигнала» на странице «Источник»)";
constexpr const char* kChooseFile = "файл кнопкой «Выбрать файл»";
constexpr const char* kAllZero =
    "сигнал равен нулю во все моменты времени, и расчет дал бы нулевые поля на всех выходах";
constexpr const char* kFloatMax = "3.4E38";
// The most a step looks at for a signal that is zero at every step; a signal still zero
// after them counts as not zero (no run is refused for what was not seen).
constexpr long long kMaxSamples = 1000000;

std::string Num(double v) { return FormatGeneral(v, 7); }
std::string Ns(double sec) { return FormatGeneral(sec * 1e9, 7) + " нс"; }

// The kind's values that a check reads: its amplitude, the frequency of its carrier or
// band, a width or duration, the two rates of the double exponential.
struct KindValues {
  const char* ampl = nullptr;
  double A = 0;
  const char* freq = nullptr;
  double f = 0;
  const char* width = nullptr;
  double W = 0;
  const char* rateA = nullptr;
  const char* rateB = nullptr;
  double a = 0, b = 0;
};

KindValues ValuesOf(const SignalSettings& s) {
  const SignalParams& p = s.Params;
  KindValues k;
  auto set = [&k](const char* ampl, double A, const char* freq, double f, const char* width, double W) {
    k.ampl = ampl, k.A = A, k.freq = freq, k.f = f, k.width = width, k.W = W;
  };
  switch (s.Kind) {
    case SigSin: set("edSinAmpl", p.SinAmpl, "edSinFreq", p.SinFreq, nullptr, 0); break;
    case SigSlowSin:
      set("edSlowSinAmpl", p.SlowSinAmpl, "edSlowSinFreq", p.SlowSinFreq, "edSlowSinLong", p.SlowSinLong);
      break;
    case SigGauss: set("edGaussAmpl", p.GaussAmpl, nullptr, 0, "edGaussWidth", p.GaussWidth); break;
    case SigGaussRadio:
      set("edGaussRadioAmpl", p.GaussRadioAmpl, "edGaussRadioFreq", p.GaussRadioFreq, "edGaussRadioWidth",
          p.GaussRadioWidth);
      break;
    case SigExp:
      set("edExpAmpl", p.ExpAmpl, nullptr, 0, nullptr, 0);
      k.rateA = "edExp_a", k.rateB = "edExp_b", k.a = p.Exp_a, k.b = p.Exp_b;
      break;
    case SigExpRadio:
      set("edExpRadioAmpl", p.ExpRadioAmpl, "edExpRadioFreq", p.ExpRadioFreq, nullptr, 0);
      k.rateA = "edExpRadio_a", k.rateB = "edExpRadio_b", k.a = p.ExpRadio_a, k.b = p.ExpRadio_b;
      break;
    case SigBlackmanHarris: set("edBlackmanAmpl", p.BlackmanAmpl, nullptr, 0, "edBlackmanT", p.BlackmanT); break;
    case SigSinXdivX: set("edSinXdivXAmpl", p.SinXdivXAmpl, "edSinXdivXFreq", p.SinXdivXF / 2, nullptr, 0); break;
    default: break;
  }
  return k;
}

// The largest |exp(-a t) - exp(-b t)| over 0 <= t <= T: at T, or where it turns.
double ExpPeak(double a, double b, double T) {
  auto f = [&](double t) { return std::fabs(std::exp(-a * t) - std::exp(-b * t)); };
  double peak = f(T);
  if (a != b && a / b > 0) {
    const double t = std::log(a / b) / (a - b);
    if (t > 0 && t < T) peak = std::max(peak, f(t));
  }
  return peak;
}

// The largest |value| of the kind over the run, per unit of amplitude. The derivative of a
// Gaussian x exp(-x^2) peaks at 1/sqrt(2e).
double PeakPerAmplitude(const SignalSettings& s, const KindValues& k, double tEnd) {
  if (s.Kind == SigBlackmanHarris) return 4 / 0.8577 / std::sqrt(2 * std::exp(1.0));
  if (k.rateA) return ExpPeak(k.a, k.b, tEnd);
  return 1;
}

// Whether the signal is 0 at every step time n dt, n = from .. steps.
bool ZeroAtSteps(const SignalSettings& s, const SignalRunUse& u, long long from) {
  for (long long n = std::max(0LL, from); n <= u.StepCount; ++n)
    if (n - from >= kMaxSamples || EvaluateSignal(s, double(n) * u.StepSec) != 0) return false;
  return true;
}

// ---- pulses shorter than a step
//
// A pulse the step resolves keeps its energy (the integral of v^2) in its samples (the sum
// of v(t_n)^2 dt) wherever the steps fall on it; one it cannot resolve reaches the run as
// other values than its own: seen only by its tail at one step, or by its peak at one step
// and nothing between, and its samples carry far less or far more energy depending on
// where its peak falls between two steps. Samples at the run's steps and at steps shifted
// by a quarter, a half and three quarters of a step must each carry the energy within a
// factor of 2: a Gaussian then needs a width of about half a step or more.
constexpr double kMinEnergyShare = 0.5, kMaxEnergyShare = 2;
constexpr long long kMaxPulseSamples = kMaxSamples / 4;  // per shift

// The integral of exp(-2 u^2) from a to b (a <= b), to full relative precision in either
// tail.
double GaussSq(double a, double b) {
  const double r = std::sqrt(2.0), x0 = r * a, x1 = r * b;
  const double d = x0 >= 0 ? std::erfc(x0) - std::erfc(x1)
                 : x1 <= 0 ? std::erfc(-x1) - std::erfc(-x0)
                           : std::erf(x1) - std::erf(x0);
  return std::sqrt(std::atan(1.0) / 2) * d;  // sqrt(pi/8)
}
// The integral of u^2 exp(-2 u^2) from a to b.
double GaussSlopeSq(double a, double b) {
  return (a * std::exp(-2 * a * a) - b * std::exp(-2 * b * b) + GaussSq(a, b)) / 4;
}

// The integral of f over [0, u] by 8-point Gauss-Legendre on panels that shrink
// geometrically towards 0: every time scale from u down to 1e-30 u gets its panels, as a
// double exponential of any two rates needs.
double GeometricIntegral(const std::function<double(double)>& f, double u) {
  static constexpr double x[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267, 0.9602898564975363};
  static constexpr double w[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763};
  auto panel = [&](double a, double b) {
    const double m = (a + b) / 2, h = (b - a) / 2;
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += w[i] * (f(m - h * x[i]) + f(m + h * x[i]));
    return sum * h;
  };
  double total = 0, b = u;
  while (b > u * 1e-30) {
    const double a = b * 0.95;
    total += panel(a, b);
    b = a;
  }
  return total + panel(0, b);
}

// The pulse of a kind without its carrier, per unit of amplitude: its value, the integral
// of its square from 0 to u, the time after which it is negligible, and the edit that sets
// its length. Kinds without a pulse (the sine, Sin(X)/X: their frequency is checked) have
// no `at`.
struct PulseShape {
  std::function<double(double)> at, energy;
  double last = 0;
  const char* edit = nullptr;
  double value = 0;
};

PulseShape GaussShape(double W, double S, const char* edit) {
  const double t0 = 3 * W, fall = W * std::fabs(S);
  PulseShape p;
  p.at = [=](double t) {
    const double d = t - t0;
    if (d > 0 && fall == 0) return 0.0;
    const double x = d / (d <= 0 ? W : fall);
    return std::exp(-x * x);
  };
  p.energy = [=](double u) {
    double e = W * GaussSq(-3, (std::min(u, t0) - t0) / W);
    if (u > t0 && fall > 0) e += fall * GaussSq(0, (u - t0) / fall);
    return e;
  };
  p.last = t0 + 6 * std::max(W, fall);
  p.edit = edit;
  p.value = W;
  return p;
}

PulseShape ShapeOf(const SignalSettings& s, double tEnd) {
  const SignalParams& q = s.Params;
  PulseShape p;
  switch (s.Kind) {
    case SigGauss: return GaussShape(q.GaussWidth, q.GaussSymm, "edGaussWidth");
    case SigGaussRadio: return GaussShape(q.GaussRadioWidth, 1, "edGaussRadioWidth");
    case SigBlackmanHarris: {
      const double T = q.BlackmanT;
      p.at = [=](double t) {
        const double x = (t - 3 * T) / T;
        return x * std::exp(-x * x);
      };
      p.energy = [=](double u) { return T * GaussSlopeSq(-3, (u - 3 * T) / T); };
      p.last = 9 * T, p.edit = "edBlackmanT", p.value = T;
      return p;
    }
    case SigSlowSin: {
      // As the radio pulse's envelope: rises to 2.5 T, holds to D, falls from D.
      const double T = q.SlowSinTime, D = q.SlowSinLong, r = 2.5 * T, aT = std::fabs(T);
      p.at = [=](double t) {
        if (t < r) return std::exp(-((t - r) / T) * ((t - r) / T));
        if (t <= D) return 1.0;
        return T == 0 ? 0.0 : std::exp(-((t - D) / T) * ((t - D) / T));
      };
      p.energy = [=](double u) {
        double e = 0;
        if (T > 0) e += T * GaussSq(-2.5, (std::min(u, r) - r) / T);
        const double flat0 = std::max(0.0, r), flat1 = std::min(u, D);
        if (flat1 > flat0) e += flat1 - flat0;
        const double fall0 = std::max(flat0, D);
        if (T != 0 && u > fall0) e += aT * GaussSq((fall0 - D) / aT, (u - D) / aT);
        return e;
      };
      p.last = std::max(r, D) + 6 * aT;
      const bool held = D >= 2.5 * aT;
      p.edit = held ? "edSlowSinLong" : "edSlowSinTime", p.value = held ? D : T;
      return p;
    }
    case SigExp:
    case SigExpRadio: {
      const bool radio = s.Kind == SigExpRadio;
      const double a = radio ? q.ExpRadio_a : q.Exp_a, b = radio ? q.ExpRadio_b : q.Exp_b;
      // exp(-a t) - exp(-b t) without losing it where a and b are close.
      p.at = [=](double t) { return -std::exp(-a * t) * std::expm1(-(b - a) * t); };
      p.energy = [at = p.at](double u) { return GeometricIntegral([&](double t) { return at(t) * at(t); }, u); };
      // The pulse lasts as long as the slower rate lets it; one that grows lasts the run.
      const double slow = std::min(a, b);
      p.last = slow > 0 ? 20 / slow : tEnd;
      const bool aSlower = a < b;
      p.edit = radio ? (aSlower ? "edExpRadio_a" : "edExpRadio_b") : (aSlower ? "edExp_a" : "edExp_b");
      p.value = aSlower ? a : b;
      return p;
    }
    default: return p;
  }
}

// The shares of the energy of a signal up to (m + 1/2) dt that its samples at the steps
// from..m carry, at the run's own times and shifted (the signal is 0 before step from);
// none when the energy gives nothing to compare with.
struct EnergyShares {
  bool Valid = false;
  double Run = 0, Lo = 0, Hi = 0;
  bool Unresolved() const { return Valid && (Lo < kMinEnergyShare || Hi > kMaxEnergyShare); }
};
EnergyShares SampledEnergy(const std::function<double(double)>& v, long long from, long long m, double dt,
                           double energy) {
  EnergyShares r;
  if (!(energy > 0) || !std::isfinite(energy)) return r;
  for (const double shift : {0.0, 0.25, 0.5, 0.75}) {
    double sum = 0;
    for (long long n = from; n <= m; ++n) sum += v((double(n) + shift) * dt) * v((double(n) + shift) * dt);
    const double share = sum * dt / energy;
    if (!std::isfinite(share)) return {};
    if (shift == 0) r.Run = r.Lo = r.Hi = share;
    r.Lo = std::min(r.Lo, share), r.Hi = std::max(r.Hi, share);
  }
  r.Valid = true;
  return r;
}

// The last step a check of the pulse from step `from` on looks at: the run's last, the
// first after the pulse, or the limit of samples.
long long LastStep(const SignalRunUse& u, double last, long long from = 0) {
  const double pulseSteps = std::floor(last / u.StepSec) + 1;
  return (long long)std::min({double(u.StepCount), pulseSteps, double(from + kMaxPulseSamples)});
}

// ---- the shape a step passes on
//
// The run's samples of a signal, read at the steps, have the signal's own spectrum only
// where what lies above 1/(2·Δt) does not fold back on it. Below 1/(4·Δt), the band a grid
// carries with some care, the samples' spectrum may differ from the pulse's own by at most
// kSpectrumGap of the pulse's peak spectrum, wherever the steps fall on the pulse. The
// pulse's own is taken from its values kFine times finer, the same points and trapezoid
// weights, so a window cut from a longer signal is cut alike in both.
constexpr double kSpectrumGap = 0.05;
constexpr int kFine = 16;
constexpr long long kWindowSteps = 1024, kMinWindowSteps = 64;
// The share of a file's peak that may lie between two steps above both: a Gaussian at the
// width the spectrum refuses loses 37 % at worst.
constexpr double kLostPeak = 0.5;

struct Gap {
  double err = 0, peak = 0;  // the largest difference below 1/(4·Δt) and the peak spectrum, V·s
  double Share() const { return peak > 0 ? err / peak : 0; }
};

// The gap over the n steps from t0, for shifts of the steps by parts of a step; the peak
// spectrum is the fine samples' over their whole band.
Gap SpectrumGap(const std::function<double(double)>& v, double t0, long long n, double dt) {
  Gap g;
  const long long nf = n * kFine;
  const double dF = 0.5 / (double(n) * dt);  // twice as fine as the window resolves
  const long long K = n / 2 + 1;             // up to 1/(4·Δt)
  std::vector<double> fine(std::size_t(nf + 1));
  std::vector<float> sf(fine.size()), sc(std::size_t(n + 1));
  std::vector<std::complex<double>> P, S;
  for (const double shift : {0.0, 0.25, 0.5, 0.75}) {
    double vmax = 0;
    for (long long m = 0; m <= nf; ++m) {
      const double y = v(t0 + (shift + double(m) / kFine) * dt);
      fine[std::size_t(m)] = std::isfinite(y) ? y : 0;
      vmax = std::max(vmax, std::fabs(fine[std::size_t(m)]));
    }
    if (!(vmax > 0)) continue;
    // Brought to 1 first: a signal of 1e-30 V keeps its shape in floats.
    for (long long m = 0; m <= nf; ++m)
      sf[std::size_t(m)] = float((m == 0 || m == nf ? 0.5 : 1) * fine[std::size_t(m)] / vmax);
    for (long long j = 0; j <= n; ++j) sc[std::size_t(j)] = float((j == 0 || j == n ? 0.5 : 1) * fine[std::size_t(j * kFine)] / vmax);
    const double scale = vmax * dt;
    if (shift == 0) {
      SpectrumSums(sf, dt / kFine, dF, 0, K * 2 * kFine, P);
      for (const auto& z : P) g.peak = std::max(g.peak, std::abs(z) * scale / kFine);
    }
    SpectrumSums(sf, dt / kFine, dF, 0, K, P);
    SpectrumSums(sc, dt, dF, 0, K, S);
    for (long long k = 0; k < K; ++k)
      g.err = std::max(g.err, std::abs(S[std::size_t(k)] - P[std::size_t(k)] / double(kFine)) * scale);
  }
  return g;
}

// The gap of a signal from step `from` to step m, in windows of kWindowSteps steps (fewer
// at the end, kMinWindowSteps at least); `worst` gets the span of the window that holds the
// largest difference.
Gap WindowedGap(const std::function<double(double)>& v, long long from, long long m, double dt, double* worst = nullptr) {
  Gap all;
  for (long long a = from; a < std::max(m, from + 1); a += kWindowSteps) {
    const long long n = std::max(kMinWindowSteps, std::min(kWindowSteps, m - a));
    const Gap g = SpectrumGap(v, double(a) * dt, n, dt);
    all.peak = std::max(all.peak, g.peak);
    if (g.err > all.err) {
      all.err = g.err;
      if (worst) worst[0] = double(a) * dt, worst[1] = double(a + n) * dt;
    }
  }
  return all;
}

std::string Pct(double share) { return FormatGeneral(100 * share, 3); }
std::string GapText(const Gap& g, const SignalRunUse& u) {
  return "спектр отсчетов сигнала через шаг по времени " + Ns(u.StepSec) + " ниже 1/(4·Δt) = " +
         Num(0.25 / u.StepSec) + " Гц отличается от спектра самого импульса на " + Pct(g.Share()) +
         " % его наибольшего значения (допустимо " + Pct(kSpectrumGap) +
         " %), смотря по тому, где между шагами приходится импульс: шаг не передает форму импульса";
}
std::string ShortPulse(const EnergyShares& e, const SignalRunUse& u) {
  return "импульс короче шага: отсчеты сигнала через шаг по времени " + Ns(u.StepSec) + " несут от " + Pct(e.Lo) +
         " до " + Pct(e.Hi) + " % энергии импульса, смотря по тому, где между шагами приходится импульс (в "
         "моменты шагов этого расчета — " + Pct(e.Run) + " %): шаг не передает такой импульс";
}

constexpr const char* kOrShorterStep = " или уменьшите шаг по времени на странице «Геометрия»";

RunRefusal Refusal(const std::string& status, const std::string& head, const std::string& why,
                   const std::string& where) {
  return {head + " — " + why + kCannotRun + where + ".", std::string("Сигнал: ") + status};
}

// A refusal naming an edit of the kind's page and its value.
RunRefusal ParamRefusal(const SignalSettings& s, const char* edit, double value, const std::string& why,
                        const std::string& orElse = "") {
  const std::string caption = SignalEditCaption(edit);
  return Refusal("недопустимое значение «" + caption + "»",
                 "Сигнал «" + std::string(SignalKindNames[size_t(s.Kind)]) + "»: «" + caption + "» = " +
                     FormatGeneral(value, 15),
                 why, "Измените «" + caption + "»" + kInWindow + orElse);
}

// The field a voltage source makes of the peak, when it exceeds the plane wave's 1 V/m per
// unit of signal.
std::string FieldOf(double peak, const SignalRunUse& u) {
  if (u.SourceGain > (u.PlaneWave ? 1.0 : 0.0))
    return ", а источник напряжения в строке " + IntToStr(u.SourceRow) + " таблицы «Источники» дает на своем ребре " +
           Num(u.SourceGain) + " В/м на 1 В сигнала, то есть поле до " + Num(peak * u.SourceGain) + " В/м";
  return "";
}

double GainOf(const SignalRunUse& u) { return std::max(u.PlaneWave ? 1.0 : 0.0, u.SourceGain); }

std::string BeyondMax() {
  return std::string(": это больше ") + kFloatMax +
         ", предела чисел расчета (32 бита), и поле в расчете стало бы бесконечным";
}
std::string BelowMin(double peak) {
  return "сигнал по модулю не больше " + Num(peak) + ", меньше " + FormatGeneral(FLT_MIN, 2) +
         ", наименьшего нормального числа расчета (32 бита): в расчете такой сигнал теряется";
}

// Why the run's steps cannot carry the kind's pulse: zero at every step, its energy not
// kept, or its shape not; empty when they can.
std::string PulseFault(const SignalSettings& s, const SignalRunUse& u) {
  if (ZeroAtSteps(s, u, 0))
    return "во все моменты шагов расчета (шаг по времени " + Ns(u.StepSec) + ") сигнал равен нулю: импульс короче шага";
  const PulseShape pulse = ShapeOf(s, double(u.StepCount) * u.StepSec);
  long long m = u.StepCount;  // kinds without a pulse: their first window
  if (pulse.at) {
    m = LastStep(u, pulse.last);
    const EnergyShares e = SampledEnergy(pulse.at, 0, m, u.StepSec, pulse.energy((double(m) + 0.5) * u.StepSec));
    if (e.Unresolved()) return ShortPulse(e, u);
  }
  const long long n = std::clamp(m + 1, kMinWindowSteps, kWindowSteps);
  const Gap g = SpectrumGap([&](double t) { return EvaluateSignal(s, t); }, 0, n, u.StepSec);
  return g.Share() > kSpectrumGap ? GapText(g, u) : "";
}

double* ParamOf(SignalParams& p, std::string_view edit) {
  if (edit == "edGaussWidth") return &p.GaussWidth;
  if (edit == "edGaussRadioWidth") return &p.GaussRadioWidth;
  if (edit == "edBlackmanT") return &p.BlackmanT;
  if (edit == "edSlowSinLong") return &p.SlowSinLong;
  if (edit == "edSlowSinTime") return &p.SlowSinTime;
  if (edit == "edExp_a") return &p.Exp_a;
  if (edit == "edExp_b") return &p.Exp_b;
  if (edit == "edExpRadio_a") return &p.ExpRadio_a;
  if (edit == "edExpRadio_b") return &p.ExpRadio_b;
  if (edit == "edSinFreq") return &p.SinFreq;
  if (edit == "edSinXdivXFreq") return &p.SinXdivXF;
  return nullptr;
}
// What the edit shows of its field: Sin(X)/X keeps twice its frequency.
double ShownPerField(std::string_view edit) { return edit == "edSinXdivXFreq" ? 0.5 : 1; }

// The least change of one edit (a length up, a rate down) that the run's steps carry, by
// bisection on the same checks; 0 when none within 2^40 of the value does.
double LeastPassing(const SignalSettings& s, const SignalRunUse& u, const char* edit) {
  SignalSettings t = s;
  double* field = ParamOf(t.Params, edit);
  if (!field || !(*field != 0)) return 0;
  const double v = *field, unit = ShownPerField(edit);
  // Rates and frequencies go down, lengths up.
  const bool rate = std::string_view(edit).find("Exp") != std::string_view::npos ||
                    std::string_view(edit).find("Freq") != std::string_view::npos;
  auto passes = [&](double lambda) {
    *field = rate ? v / lambda : v * lambda;
    return PulseFault(t, u).empty();
  };
  double lo = 1, hi = 2;
  while (!passes(hi)) {
    lo = hi, hi *= 2;
    if (hi > 0x1p40) return 0;
  }
  for (int i = 0; i < 24; ++i) {
    const double mid = std::sqrt(lo * hi);
    (passes(mid) ? hi : lo) = mid;
  }
  // Shown to 3 digits, rounded the safe way, and checked as shown.
  for (int i = 0; i < 8; ++i) {
    const double x = (rate ? v / hi : v * hi) * unit;
    const double e = std::pow(10.0, std::floor(std::log10(std::fabs(x))) - 2);
    const double shown = (rate ? std::floor(std::fabs(x) / e) : std::ceil(std::fabs(x) / e)) * e * (x < 0 ? -1 : 1);
    *field = shown / unit;
    if (PulseFault(t, u).empty()) return shown;
    hi *= 1.001;
  }
  return (rate ? v / hi : v * hi) * unit;
}

// The refusal of a pulse the steps cannot carry: which edit to change, which way and to
// what (the other of two edits when the named one cannot help), or the step.
RunRefusal PulseRefusal(const SignalSettings& s, const SignalRunUse& u, const PulseShape& pulse, const std::string& why) {
  std::vector<const char*> edits{pulse.edit};
  const std::string named = pulse.edit;
  if (named == "edSlowSinLong") edits.push_back("edSlowSinTime");
  if (named == "edExp_a" || named == "edExp_b") edits.push_back(named == "edExp_a" ? "edExp_b" : "edExp_a");
  if (named == "edExpRadio_a" || named == "edExpRadio_b")
    edits.push_back(named == "edExpRadio_a" ? "edExpRadio_b" : "edExpRadio_a");
  for (const char* edit : edits) {
    const double least = LeastPassing(s, u, edit);
    if (least == 0) continue;
    SignalSettings t = s;
    const double value = *ParamOf(t.Params, edit) * ShownPerField(edit);
    const std::string caption = SignalEditCaption(edit);
    const bool up = std::fabs(least) > std::fabs(value);
    return Refusal("недопустимое значение «" + caption + "»",
                   "Сигнал «" + std::string(SignalKindNames[size_t(s.Kind)]) + "»: «" + caption + "» = " +
                       FormatGeneral(value, 15),
                   why,
                   std::string(up ? "Увеличьте" : "Уменьшите") + " «" + caption + "» до " + FormatGeneral(least, 3) +
                       (up ? " или больше" : " или меньше") + kInWindow + kOrShorterStep);
  }
  return ParamRefusal(s, pulse.edit, pulse.value, why, kOrShorterStep);
}

RunRefusal FileRefusal(const SignalSettings& s, const SignalRunUse& u) {
  const std::string head = "Сигнал «Из файла»";
  const std::string where = std::string("Выберите другой ") + kChooseFile + kInWindow;
  if (!s.FileLoaded || !s.File || s.File->Times.size() < 2 || s.File->Values.size() != s.File->Times.size()) {
    const std::string why =
        s.FileName.empty() ? "имя файла не задано" : "файл " + s.FileName + " не найден или не читается";
    return Refusal("файл сигнала не загружен", head + ": " + why, kAllZero,
                   std::string("Выберите ") + kChooseFile + kInWindow);
  }
  const SignalTable& f = *s.File;
  const std::string file = head + ": файл " + s.FileName;
  double peak = 0, last = 0;
  size_t first = 0;  // the first sample that is not 0
  for (size_t i = 0; i < f.Values.size(); ++i) {
    peak = std::max(peak, double(std::fabs(f.Values[i])));
    last = std::max(last, double(f.Times[i]));
    if (first == 0 && f.Values[i] != 0) first = i;
  }
  if (peak == 0)
    return Refusal("сигнал из файла равен нулю", file,
                   "все значения сигнала в нем равны нулю: " + std::string(kAllZero), where);
  if (last <= u.StepSec)
    return Refusal("файл сигнала короче шага по времени", file,
                   "сигнал в нем кончается в момент " + Ns(last) + ", не позже первого шага расчета " +
                       Ns(u.StepSec) + ": расчет не возьмет из него ни одного значения, кроме нуля в момент 0",
                   where + ", проверьте «Время в файле:» или уменьшите шаг по времени на странице «Геометрия»");
  // Sorted, the signal is 0 before the sample ahead of the first that is not 0.
  const double start = f.Sorted ? double(f.Times[first - 1]) : 0;
  const double tEnd = double(u.StepCount) * u.StepSec;
  if (start >= tEnd)
    return Refusal("сигнал из файла равен нулю до конца расчета", file,
                   "сигнал в нем равен нулю до момента " + Ns(start) + ", а расчет кончается в момент " + Ns(tEnd),
                   where + " или увеличьте «Число шагов:» на странице «Геометрия»");
  const long long from = (long long)std::floor(start / u.StepSec);
  if (ZeroAtSteps(s, u, from))
    return Refusal("сигнал из файла равен нулю на всех шагах расчета", file,
                   "его импульсы короче шага по времени " + Ns(u.StepSec) +
                       ": во все моменты шагов расчета сигнал равен нулю",
                   where + kOrShorterStep);
  if (f.Sorted) {
    // The file's line segments integrate exactly; those before its start hold 0.
    const long long m = LastStep(u, last, from);
    const double end = (double(m) + 0.5) * u.StepSec;
    double energy = 0;
    for (size_t i = 1; i < f.Times.size() && f.Times[i - 1] < end; ++i) {
      const double t0 = f.Times[i - 1], t1 = f.Times[i], v0 = f.Values[i - 1];
      if (!(t1 > t0)) continue;
      const double v1 = t1 <= end ? double(f.Values[i]) : v0 + (double(f.Values[i]) - v0) * (end - t0) / (t1 - t0);
      energy += (std::min(t1, end) - t0) * (v0 * v0 + v0 * v1 + v1 * v1) / 3;
    }
    auto v = [&](double t) { return EvaluateSignal(s, t); };
    const EnergyShares e = SampledEnergy(v, from, m, u.StepSec, energy);
    // Locally: a peak of the file between two steps, far above both, is lost to the run
    // wherever the steps fall (a monotone edge loses nothing).
    auto lostAt = [&](double tk, double dt) {
      double lost = 0;
      for (const double shift : {0.0, 0.25, 0.5, 0.75}) {
        const double n = std::floor(tk / dt - shift), a = (n + shift) * dt, b = a + dt;
        if (a <= 0 || tk == a) continue;
        lost = std::max(lost, std::fabs(v(tk)) - std::max(std::fabs(v(a)), std::fabs(v(b))));
      }
      return lost;
    };
    double worstLost = 0, worstAt = 0;
    const double lastT = (double(m) + 1) * u.StepSec;
    for (size_t i = first; i < f.Times.size() && f.Times[i] <= lastT; ++i)
      if (const double l = lostAt(f.Times[i], u.StepSec); l > worstLost) worstLost = l, worstAt = f.Times[i];
    // The shape, window by window.
    double span[2] = {0, 0};
    const Gap g = WindowedGap(v, from, m, u.StepSec, span);
    const bool lost = worstLost > kLostPeak * peak, shape = g.Share() > kSpectrumGap;
    if (e.Unresolved() || lost || shape) {
      // The step that keeps the worst peak and the worst window's shape, by bisection.
      auto passes = [&](double dt) {
        if (lostAt(worstAt, dt) > kLostPeak * peak) return false;
        const long long a = (long long)std::floor(span[0] / dt), b = (long long)std::ceil(span[1] / dt);
        return !shape || WindowedGap(v, a, b, dt).err <= kSpectrumGap * g.peak;
      };
      auto few = [&](double dt) { return (span[1] - span[0]) / dt < 16 * kWindowSteps; };
      std::string step = kOrShorterStep;
      if (!passes(u.StepSec)) {
        double hi = u.StepSec, lo = hi / 2;
        while (!passes(lo) && few(lo)) hi = lo, lo /= 2;
        if (few(lo)) {
          for (int i = 0; i < 16; ++i) {
            const double mid = std::sqrt(lo * hi);
            (passes(mid) ? lo : hi) = mid;
          }
          const double digit = std::pow(10.0, std::floor(std::log10(lo)) - 2);
          step += " до " + Ns(std::floor(lo / digit) * digit) + " или меньше";
        }
      }
      const std::string why =
          e.Unresolved() ? ShortPulse(e, u)
          : lost ? "значение " + Num(v(worstAt)) + " в момент " + Ns(worstAt) + " лежит между шагами по времени " +
                       Ns(u.StepSec) + ", а отсчеты по обе стороны от него меньше на " + Num(worstLost) + " (больше " +
                       Pct(kLostPeak) + " % наибольшего значения файла): шаг теряет этот пик"
                 : GapText(g, u);
      return Refusal("импульсы файла сигнала короче шага по времени", file, why, where + step);
    }
  }
  if (!(peak * GainOf(u) <= FLT_MAX))
    return Refusal("значения файла сигнала вне диапазона чисел расчета", file,
                   "наибольшее по модулю значение в нем " + Num(peak) + FieldOf(peak, u) + BeyondMax(), where);
  if (peak < FLT_MIN)
    return Refusal("значения файла сигнала вне диапазона чисел расчета", file, BelowMin(peak), where);
  return {};
}

}  // namespace

SignalRunUse SignalUseOf(const SolverData& d, double dx, double dy, double dz, double stepSec, int steps,
                         const std::vector<tVoltageSource>& sources) {
  using LD = long double;
  SignalRunUse u;
  u.StepSec = stepSec;
  u.StepCount = steps;
  u.PlaneWave = d.ExternalField || d.TFSFSource;
  const double size[3] = {dx, dy, dz};
  const LD ts = LD(stepSec) * LD(LightSpeed), inv = InvEta0;
  for (size_t r = 0; r < sources.size(); ++r) {
    const tVoltageSource& v = sources[r];
    const int axis = v.Dir == 'X' ? 0 : v.Dir == 'Y' ? 1 : v.Dir == 'Z' ? 2 : -1;
    if (v.X == 0 || axis < 0 || !LumpedCellInside(d, v.X, v.Y, v.Z) || !UsableResistance(v.R)) continue;
    // The source's update puts V alpha / (1 + beta) on its edge.
    const LD len = size[axis], area = LD(size[(axis + 1) % 3]) * LD(size[(axis + 2) % 3]);
    const LD alpha = ts / LD(v.R) / inv / area, beta = ts * len / 2 / LD(v.R) / inv / area;
    const double g = double(alpha / (1 + beta));
    if (g > u.SourceGain) {
      u.SourceGain = g;
      u.SourceRow = int(r) + 1;
    }
  }
  return u;
}

RunRefusal SignalValueRefusal(const SignalSettings& s, const SignalRunUse& u) {
  if ((!u.PlaneWave && u.SourceGain <= 0) || !(u.StepSec > 0)) return {};
  if (s.Kind == SigFromFile) return FileRefusal(s, u);
  const KindValues k = ValuesOf(s);
  if (!k.ampl) return {};  // "Нет сигнала", or a kind no list holds
  if (k.A == 0) return ParamRefusal(s, k.ampl, 0, kAllZero);
  if (k.freq && k.f == 0) return ParamRefusal(s, k.freq, 0, std::string("при нулевой частоте ") + kAllZero);
  if (k.width && !(k.W > 0))
    return ParamRefusal(s, k.width, k.W,
                        s.Kind == SigSlowSin ? "длительность радиоимпульса должна быть больше 0"
                                             : "ширина импульса должна быть больше 0");
  if (k.rateA && k.a == k.b)
    return ParamRefusal(s, k.rateB, k.b, "равно «a, 1/с:», и exp(−a·t) − exp(−b·t) = 0: " + std::string(kAllZero));
  const double nyquist = 0.5 / u.StepSec;
  if (k.freq && !(std::fabs(k.f) < nyquist))
    return ParamRefusal(s, k.freq, k.f,
                        "частота по модулю не меньше предела 1/(2·Δt) = " + Num(nyquist) +
                            " Гц для шага по времени Δt = " + Ns(u.StepSec) +
                            ": расчет не различает такую частоту и подменил бы ее другой, более низкой",
                        " или уменьшите шаг по времени на странице «Геометрия»");
  const double tEnd = double(u.StepCount) * u.StepSec, gain = GainOf(u);
  const double perA = PeakPerAmplitude(s, k, tEnd), peak = std::fabs(k.A) * perA;
  if (!(peak * gain <= FLT_MAX)) {
    // A double exponential with a negative rate grows over the run: that rate is the cause.
    if (k.rateA && std::fabs(k.A) * gain <= FLT_MAX) {
      const bool aGrows = k.a < k.b;
      return ParamRefusal(s, aGrows ? k.rateA : k.rateB, aGrows ? k.a : k.b,
                          "при отрицательном значении сигнал растет со временем и к концу расчета (" + Ns(tEnd) +
                              ") достигает по модулю " + Num(peak) + FieldOf(peak, u) + BeyondMax());
    }
    const double limit = FLT_MAX / (perA * gain);
    return ParamRefusal(s, k.ampl, k.A,
                        "сигнал достигает по модулю " + Num(peak) + FieldOf(peak, u) + BeyondMax() +
                            ". Амплитуда должна быть по модулю не больше " + FormatGeneral(limit, 3));
  }
  if (peak < FLT_MIN) return ParamRefusal(s, k.ampl, k.A, BelowMin(peak));
  // The pulse shorter than a step is named by the edit that sets its length.
  const std::string why = PulseFault(s, u);
  if (why.empty()) return {};
  PulseShape pulse = ShapeOf(s, tEnd);
  if (!pulse.edit && k.freq) pulse.edit = k.freq, pulse.value = k.f;  // a carrier without a pulse
  if (!pulse.edit) return ParamRefusal(s, k.ampl, k.A, why, kOrShorterStep);
  return PulseRefusal(s, u, pulse, why);
}

RunRefusal RunSignalRefusal(RunStartHost& host, const SignalRunUse& use) {
  SignalSettings s;
  if (!host.RunSignal(s)) return {};
  return SignalValueRefusal(s, use);
}

bool IsSignalValueStatus(const std::string& status) { return status.rfind("Сигнал: ", 0) == 0; }

bool SignalRefusalHolds(const std::string& status, RunStartHost& host, const SolverData& d, double dx,
                        double dy, double dz, double stepSec, int steps) {
  ElementArrays a;
  host.LoadElementArrays(d, a);
  const RunRefusal r = RunSignalRefusal(host, SignalUseOf(d, dx, dy, dz, stepSec, steps, a.VoltageSources));
  return r && r.status == status;
}

}  // namespace rv
