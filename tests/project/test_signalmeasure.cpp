// The signal window's computations against physics: the preset double-exponential pulses
// measured on the preview against the analytic pulse, the Gaussian's spectrum against its
// Fourier transform, and the guards that keep a bad step from looping or filling memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "project/signalmeasure.h"

using namespace rv;

namespace {

constexpr double Pi = 3.141592653589793;

// Crossings of the analytic pulse exp(-a t) - exp(-b t) by bisection.
struct Analytic {
  double peak, rise, width;
};
Analytic DoubleExp(double a, double b) {
  auto f = [&](double t) { return std::exp(-a * t) - std::exp(-b * t); };
  const double tp = std::log(b / a) / (b - a), pk = f(tp);
  auto cross = [&](double lo, double hi, double level) {
    const bool up = f(lo) < level;
    for (int i = 0; i < 200; ++i) {
      const double m = 0.5 * (lo + hi);
      if ((f(m) < level) == up) lo = m; else hi = m;
    }
    return 0.5 * (lo + hi);
  };
  const double t10 = cross(0, tp, 0.1 * pk), t90 = cross(0, tp, 0.9 * pk);
  const double t50 = cross(0, tp, 0.5 * pk), t50f = cross(tp, 100 * tp, 0.5 * pk);
  return {pk, t90 - t10, t50f - t50};
}

std::function<double(double)> Wave(const SignalSettings& s) {
  return [s](double t) { return EvaluateSignal(s, t); };
}

}  // namespace

TEST(SignalPreview, PresetPulsesMeasureAsTheAnalyticPulse) {
  const double nominalRise[3] = {0.5, 5, 25}, nominalWidth[3] = {3, 25, 400};  // ns
  const double interval[3] = {50, 50, 1000};                                  // preview, ns
  for (int k = 0; k < 3; ++k) {
    SignalSettings s;
    s.Kind = SigExp;
    ApplyExpPreset(s.Params, k, 1.0, false);
    const double T = interval[k] * 1e-9;
    std::vector<double> x, y;  // no natural step: T/500, 10000 points
    SamplePreview(Wave(s), T, PreviewStep(SignalBaseStep(SigExp, s.Params), T), x, y);
    const PulseMeasure m = MeasureVisible(x, y, x.front(), x.back());
    ASSERT_TRUE(m.Valid && m.HasRise && m.HasWidth) << k;

    const ExpPreset& e = ExpPresets[size_t(k)];
    const Analytic an = DoubleExp(e.a, e.b);
    EXPECT_NEAR(m.Amplitude, an.peak * e.Factor, 1e-3) << k;
    EXPECT_NEAR(m.Amplitude, 1.0, 1e-3) << k;  // the factor turns the peak into P
    EXPECT_NEAR(m.Rise, an.rise * 1e9, an.rise * 1e9 * 1e-3) << k;
    EXPECT_NEAR(m.Width, an.width * 1e9, an.width * 1e9 * 1e-3) << k;
    // The presets are named after what they measure.
    EXPECT_NEAR(m.Rise, nominalRise[k], nominalRise[k] * 1e-3) << k;
    EXPECT_NEAR(m.Width, nominalWidth[k], nominalWidth[k] * 1e-3) << k;
  }

  // Only the visible part is measured: a window past the peak finds no rise.
  SignalSettings s;
  s.Kind = SigExp;
  ApplyExpPreset(s.Params, 0, 1.0, false);
  std::vector<double> x, y;
  SamplePreview(Wave(s), 50e-9, 0.1e-9, x, y);
  const PulseMeasure late = MeasureVisible(x, y, 10, 50);
  EXPECT_TRUE(late.Valid);
  EXPECT_LT(late.Amplitude, 0.5);
  EXPECT_FALSE(MeasureVisible(x, y, 60, 70).Valid);
}

TEST(SignalSpectrum, GaussianFollowsItsFourierTransform) {
  SignalSettings s;
  s.Kind = SigGauss;
  const double W = s.Params.GaussWidth;  // 1 ns, symmetric
  const double T = 50e-9;
  const double h = PreviewStep(SignalBaseStep(SigGauss, s.Params), T);
  EXPECT_DOUBLE_EQ(h, W / 10);
  std::vector<double> x, y;
  SamplePreview(Wave(s), T, h, x, y);
  const double tEnd = x.back() * 1e-9;

  const SpectrumResult r = SignalSpectrum(Wave(s), tEnd, SpectrumRequest{});
  ASSERT_TRUE(r.Computed && !r.Interrupted);
  EXPECT_NEAR(r.DF, 0.5 / tEnd / 1.01, 1e-6);
  EXPECT_NEAR(r.DF, 9.9e6, 0.01e6);
  ASSERT_GT(r.FMHz.size(), 150u);
  EXPECT_TRUE(r.FMHz.front() == 0.0 && r.FMHz.back() < 2000.0) << r.FMHz.back();
  for (size_t i = 0; i < r.FMHz.size(); ++i) {
    const double f = r.FMHz[i] * 1e6;
    ASSERT_NEAR(r.Mag[i], std::exp(-std::pow(Pi * f * W, 2)), 1e-4) << f;
  }

  // A narrower pulse has a wider spectrum: half the width, half-power frequency doubled.
  s.Params.GaussWidth = 0.5e-9;
  const SpectrumResult n = SignalSpectrum(Wave(s), tEnd, SpectrumRequest{});
  for (size_t i = 0; i < n.FMHz.size(); ++i)
    ASSERT_NEAR(n.Mag[i], std::exp(-std::pow(Pi * n.FMHz[i] * 1e6 * 0.5e-9, 2)), 1e-4);
}

TEST(SignalSpectrum, StepsBudgetAndRangesNeverRunAway) {
  SignalSettings s;
  s.Kind = SigGauss;
  const auto wave = Wave(s);
  const double tEnd = 50e-9;
  SpectrumRequest q;
  q.AutoStep = false;
  for (double bad : {0.0, -1e6, std::numeric_limits<double>::quiet_NaN()}) {
    q.DF = bad;  // a step that is no positive number: the automatic one
    const SpectrumResult r = SignalSpectrum(wave, tEnd, q);
    ASSERT_TRUE(r.Computed);
    EXPECT_DOUBLE_EQ(r.DF, 0.5 / tEnd / 1.01);
  }
  q.DF = 1e6;
  EXPECT_EQ(SignalSpectrum(wave, tEnd, q).FMHz.size(), 2000u);
  // Too coarse a step still gives 5 points up to fMax.
  q.DF = 1e12;
  EXPECT_EQ(SignalSpectrum(wave, tEnd, q).FMHz.size(), 5u);
  // Nothing for fMax <= fMin.
  q.FMin = 3e9;
  EXPECT_FALSE(SignalSpectrum(wave, tEnd, q).Computed);

  // An absurd range keeps to the largest number of points; the budget stops the sums and
  // the rest of the spectrum is zero.
  uint64_t now = 0;
  const MsClock fake = [&] { return now += 1; };
  int reports = 0;
  SpectrumRequest wide;
  wide.FMax = 1e12;
  const SpectrumResult r = SignalSpectrum(wave, tEnd, wide, 2000, fake, [&](int) { ++reports; });
  ASSERT_TRUE(r.Computed && r.Interrupted);
  EXPECT_LE(r.FMHz.size(), size_t(MaxSpectrumPoints));
  EXPECT_GT(reports, 0);
  EXPECT_EQ(std::tuple(r.Mag.front(), r.Mag.back()), std::tuple(1.0, 0.0));

  // The budget runs out after 512 samples of the first point (a constant: only the DC point
  // has a sum): that point keeps its partial sum, the later ones are 0.
  int calls = 0;
  const MsClock late = [&] { return ++calls <= 3 ? uint64_t(0) : uint64_t(5000); };
  const SpectrumResult p = SignalSpectrum([](double) { return 1.0; }, 1e-6, SpectrumRequest{}, 2000, late);
  ASSERT_TRUE(p.Interrupted);
  ASSERT_GT(p.Mag.size(), 2u);
  EXPECT_EQ(std::tuple(p.Mag[0], p.Mag[1]), std::tuple(1.0, 0.0));
}

TEST(SignalPreview, StepFallsBackInsteadOfLoopingOrFillingMemory) {
  const double T = 50e-9;
  const double inf = std::numeric_limits<double>::infinity();
  for (double base : {0.0, -1e-10, inf, -inf, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_DOUBLE_EQ(PreviewStep(base, T), T / 500) << base;
  EXPECT_DOUBLE_EQ(PreviewStep(1e-10, T), 1e-10);
  EXPECT_DOUBLE_EQ(PreviewStep(5e-9, T), T / 20);  // a tenth of T or more
  // A zero or negative frequency gives a step that is no positive number.
  SignalParams p;
  for (double f : {0.0, -1e9}) {
    p.SinFreq = f;
    EXPECT_DOUBLE_EQ(PreviewStep(SignalBaseStep(SigSin, p), T), T / 500) << f;
  }
  // A long interval with a fine step keeps to the preview's size.
  const double h = PreviewStep(1e-12, 1.0);
  std::vector<double> x, y;
  SamplePreview([](double) { return 1.0; }, 1.0, h, x, y);
  EXPECT_NEAR(double(x.size()), MaxPreviewPoints, 1);
  // No interval, no points.
  EXPECT_EQ(std::tuple(PreviewStep(1e-10, 0), PreviewStep(1e-10, -1)), std::tuple(0.0, 0.0));
  for (auto [T, h] : {std::pair{-1.0, 1e-10}, {1e-9, 0.0}}) {
    SamplePreview([](double) { return 1.0; }, T, h, x, y);
    EXPECT_TRUE(x.empty()) << T << " " << h;
  }
  // A file signal shown with its spectrum: the step resolves fMax over the file.
  EXPECT_DOUBLE_EQ(PreviewStep(0, T, true, 10e-9, 2e9), 10e-9 / 41);
  // The preview has 20 points per base step, x in nanoseconds.
  SamplePreview([](double t) { return t; }, 1e-9, 1e-10, x, y);
  ASSERT_EQ(x.size(), 200u);
  EXPECT_DOUBLE_EQ(x[20], 0.1);
  EXPECT_DOUBLE_EQ(y[20], 0.1e-9);
}
