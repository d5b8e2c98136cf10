#include "project/signalmeasure.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "solver/numtext.h"

namespace rv {

namespace {
constexpr double Pi = 3.141592653589793238462643383279502884;

bool PositiveFinite(double v) { return v > 0 && std::isfinite(v); }
}  // namespace

double SignalBaseStep(int kind, const SignalParams& p) {
  switch (kind) {
    case SigSin: return 1 / p.SinFreq / 10;
    case SigSlowSin: return 1 / p.SlowSinFreq / 10;
    case SigGauss: return p.GaussWidth / 10;
    case SigGaussRadio: return 1 / p.GaussRadioFreq / 10;
    case SigExpRadio: return 1 / p.ExpRadioFreq / 10;
    case SigBlackmanHarris: return p.BlackmanT / 10;
    case SigSinXdivX: return 1 / p.SinXdivXF / 10;  // F = 2f already
    default: return 0;  // double exponential, no signal, file
  }
}

double PreviewStep(double baseStep, double T, bool fileForSpectrum, double fileLastTime,
                   double fMax) {
  if (!PositiveFinite(T)) return 0;
  // A zero, negative or infinite natural step (a zero or negative frequency or width)
  // would never advance the preview or fill memory: take the automatic step instead.
  double h = PositiveFinite(baseStep) ? baseStep : 0;
  if (h == 0) h = T / 500;
  if (T / 10 <= h) h = T / 20;
  if (fileForSpectrum && PositiveFinite(fileLastTime) && PositiveFinite(fMax)) {
    long long n;
    if (TryRound(fileLastTime * fMax * 2, n) && n >= 0) {
      const double hf = fileLastTime / double(n + 1);
      if (PositiveFinite(hf)) h = hf;
    }
  }
  // 20 points per base step; no more than the preview can hold.
  if (T / (0.05 * h) > double(MaxPreviewPoints)) h = T / (0.05 * double(MaxPreviewPoints));
  return h;
}

void SamplePreview(const std::function<double(double)>& signal, double T, double h,
                   std::vector<double>& xNs, std::vector<double>& y) {
  xNs.clear();
  y.clear();
  if (!PositiveFinite(T) || !PositiveFinite(h)) return;
  const double dt = 0.05 * h;
  const double count = std::min(std::ceil(T / dt), double(MaxPreviewPoints) + 1);
  xNs.reserve(size_t(count));
  y.reserve(size_t(count));
  for (long long n = 0;; ++n) {
    const double t = double(n) * dt;
    if (!(t < T) || n > MaxPreviewPoints) break;
    xNs.push_back(t * 1e9);
    y.push_back(signal(t));
  }
}

PulseMeasure MeasureVisible(const std::vector<double>& x, const std::vector<double>& y,
                            double xMin, double xMax) {
  std::vector<double> vx, vy;
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i)
    if (x[i] >= xMin && x[i] <= xMax) {
      vx.push_back(x[i]);
      vy.push_back(y[i]);
    }
  return MeasurePulse(vx, vy);
}

uint64_t SteadyMs() {
  using namespace std::chrono;
  return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

SpectrumResult SignalSpectrum(const std::function<double(double)>& signal, double tEnd,
                              const SpectrumRequest& req, uint64_t budgetMs, const MsClock& clock,
                              const std::function<void(int)>& progress) {
  SpectrumResult r;
  const double fMax = req.FMax, fMin = req.FMin;
  if (!PositiveFinite(tEnd) || !std::isfinite(fMax) || !std::isfinite(fMin) || !(fMax > fMin) ||
      !(fMax > 0))
    return r;
  // A step of 0 (or one that is not a number) would give endless points: automatic then.
  double df = (!req.AutoStep && PositiveFinite(req.DF)) ? req.DF : 0.5 / tEnd / 1.01;
  if (fMax / df < 5) df = fMax / 5;
  if ((fMax - fMin) / df < 5) df = (fMax - fMin) / 5;
  if ((fMax - fMin) / df > double(MaxSpectrumPoints)) df = (fMax - fMin) / double(MaxSpectrumPoints);
  if (!PositiveFinite(df)) return r;

  long long N = 0;
  if (!TryRound(std::min(tEnd * fMax * 2, double(MaxSpectrumSamples)), N)) N = MaxSpectrumSamples;
  N = std::max<long long>(100, N);
  const double hs = tEnd / double(N);
  long long kMax = 0, kMin = 0;
  if (!TryTrunc(fMax / df, kMax) || !TryRound(fMin / df, kMin)) return r;
  r.Computed = true;
  r.DF = df;
  r.Samples = N;
  if (kMax <= kMin) return r;

  const uint64_t t0 = clock();
  uint64_t lastReport = t0;
  bool out = false;
  r.FMHz.reserve(size_t(kMax - kMin));
  r.Mag.reserve(size_t(kMax - kMin));
  for (long long k = kMin; k < kMax; ++k) {
    const double w = 2 * Pi * double(k) * df;
    double C = 0, S = 0;
    for (long long m = 0; m < N && !out; ++m) {
      // The clock is asked every 256 samples: often enough for a 2-second budget.
      if ((m & 255) == 0) {
        const uint64_t now = clock();
        if (now - t0 > budgetMs) {
          out = true;
          r.Interrupted = true;
          break;
        }
        if (progress && now - lastReport >= 100) {
          lastReport = now;
          progress(int(std::lround(double(k - kMin) * 100.0 / double(kMax - kMin))));
        }
      }
      const double t = double(m) * hs;
      const double v = signal(t);
      C += std::cos(w * t) * v;
      S += std::sin(w * t) * v;
    }
    r.FMHz.push_back(w / 2 / Pi / 1e6);
    // The point the budget stopped keeps its partial sum; later points have none.
    r.Mag.push_back(std::sqrt(C * C * hs * hs + S * S * hs * hs));
  }
  const double top = *std::max_element(r.Mag.begin(), r.Mag.end());
  if (top != 0)
    for (double& m : r.Mag) m /= top;
  return r;
}

}  // namespace rv
