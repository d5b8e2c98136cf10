// The signal window's computations: the preview's sampling step and points, the pulse
// measurement over the visible part of the preview, and the amplitude spectrum by direct
// Fourier sums of the signal.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "project/signalsource.h"

namespace rv {

// Upper limits that keep a preview or a spectrum from exhausting memory whatever the
// parameters say: the step or the frequency step is widened to stay within them.
inline constexpr long long MaxPreviewPoints = 200000;
inline constexpr long long MaxSpectrumPoints = 100000;
inline constexpr long long MaxSpectrumSamples = 100000000;

// The natural step of a kind, in seconds: a tenth of the period or of the width; 0 for the
// kinds that have none (double exponential, no signal, file).
double SignalBaseStep(int kind, const SignalParams& p);

// The preview's base step h for the interval [0, T): a natural step that is not a positive
// finite number, or 0, becomes T/500; a step of T/10 or more becomes T/20. When the
// spectrum is shown and a file of more than 2 samples is the signal, the step follows the
// file so that fMax is resolved (fileLastTime, fMax > 0). Finally the step is widened so
// that the preview holds at most MaxPreviewPoints points. 0 when T is not a positive
// finite number.
double PreviewStep(double baseStep, double T, bool fileForSpectrum = false,
                   double fileLastTime = 0, double fMax = 0);

// The preview points: t = 0, h/20, 2h/20, ... while t < T; x in nanoseconds.
void SamplePreview(const std::function<double(double)>& signal, double T, double h,
                   std::vector<double>& xNs, std::vector<double>& y);

// The pulse measurement over the points whose x lies within [xMin, xMax].
PulseMeasure MeasureVisible(const std::vector<double>& x, const std::vector<double>& y,
                            double xMin, double xMax);

// ---- spectrum

struct SpectrumRequest {
  double FMin = 0, FMax = 2e9;  // Hz
  double DF = 1e6;              // Hz; used when AutoStep is off and it is a positive number
  bool AutoStep = true;
};

struct SpectrumResult {
  bool Computed = false;          // false: nothing to draw (fMax <= fMin, no interval)
  std::vector<double> FMHz, Mag;  // abscissa in MHz, magnitude relative to the largest
  bool Interrupted = false;       // the time budget ran out; later points are 0
  double DF = 0;                  // the frequency step used, Hz
  long long Samples = 0;          // N, the time samples per frequency
};

// Milliseconds of a monotonic clock (replaceable for tests).
using MsClock = std::function<uint64_t()>;
uint64_t SteadyMs();

// The amplitude spectrum of signal(t) over [0, tEnd) (seconds) at f = k·df for
// k = round(fMin/df) .. trunc(fMax/df) - 1: magnitude of the sum of signal(m·hs)·e^(-iωm·hs)·hs
// over N = max(100, round(2·tEnd·fMax)) samples, normalised to the largest. The automatic
// step, also taken for a step that is not a positive number, is 0.5/tEnd/1.01; the step is
// then narrowed to give at least 5 points up to fMax and over the range, and widened to give
// at most MaxSpectrumPoints. Once more than budgetMs have passed the sums stop: the point in
// progress keeps its partial sum and all later ones are 0. progress(percent) is called about every 100 ms.
SpectrumResult SignalSpectrum(const std::function<double(double)>& signal, double tEnd,
                              const SpectrumRequest& req, uint64_t budgetMs = 2000,
                              const MsClock& clock = SteadyMs,
                              const std::function<void(int)>& progress = {});

}  // namespace rv
