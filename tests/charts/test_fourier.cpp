// Fourier maths and the spectrum commands' rules, checked against analytic spectra and
// long-double sums.
#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "charts/fourier.h"
#include "charts/measure.h"
#include "charts/spectrum.h"
#include "charts_testutil.h"

using namespace rv;
using rv::test::Sampled;
using cplx = std::complex<double>;
constexpr double kPi = std::numbers::pi;

namespace {

// Σ s[i]·exp(−2πi·k·i·α), the phase reduced to cycles in long double.
cplx ReferenceSum(const std::vector<float>& s, long double alpha, long long k) {
  long double re = 0, im = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    long double c = alpha * (long double)k * (long double)i;
    c -= std::floor(c);
    re += s[i] * std::cos(2 * kPi * double(c));
    im -= s[i] * std::sin(2 * kPi * double(c));
  }
  return {double(re), double(im)};
}

SpectrumCurves Spectrum(const ChartSeries& g, const SpectrumOptions& o) {
  const SpectrumPlan p = PlanSpectrum(g, o);
  EXPECT_EQ(p.error, "");
  SpectrumCurves c;
  EXPECT_TRUE(ComputeSpectrum(g.X, g.Y, p, o, c));
  return c;
}

// A 1 V Gaussian pulse at 5 ns, σ = 0.5 ns (X in nanoseconds).
double Pulse(double t) { return std::exp(-(t - 5) * (t - 5) / 0.5); }

double At(const SpectrumCurves& c, double f) {
  for (std::size_t i = 0; i < c.X.size(); ++i)
    if (std::fabs(c.X[i] - f) <= 1e-6 * std::max(1.0, f)) return c.modulus[i];
  ADD_FAILURE() << "no point at " << f;
  return NAN;
}

// The Fourier integral of a curve as drawn (X in ns), straight between its points, segment by
// segment in closed form; time counted from t0 s (a spectrum's first sample: its first X as a float).
cplx DrawnTransform(const ChartSeries& g, double f, double t0) {
  std::vector<double> X, Y;
  TimeOrdered(g.X, g.Y, X, Y);
  const std::complex<long double> iw(0, 2 * std::numbers::pi_v<long double> * f);
  std::complex<long double> sum = 0;
  for (std::size_t k = 0; k + 1 < X.size(); ++k) {
    const long double a = X[k] * 1e-9L - t0, b = X[k + 1] * 1e-9L - t0, ya = Y[k], yb = Y[k + 1];
    // ∫ (ya + m·(t−a))·e^(−iwt) dt, m the segment's slope, by parts; a vertical step adds nothing.
    const std::complex<long double> ea = std::exp(-iw * a), eb = std::exp(-iw * b);
    if (b > a)
      sum += f == 0 ? (ya + yb) / 2 * (b - a) : (ya * ea - yb * eb) / iw + (yb - ya) / (b - a) * (ea - eb) / (iw * iw);
  }
  return {double(sum.real()), double(sum.imag())};
}

}  // namespace

// The fast sums equal the exact sums to rounding, also with a band that starts above 0.
TEST(Fourier, SpectrumSumsMatchLongDoubleSums) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.05);
  std::vector<float> s(4001);
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = float(std::exp(-double(i) / 900) * std::sin(0.37 * double(i)) + noise(rng));
  const double dt = 1e-10, dF = 0.5 / 4000e-10 / 1.01;
  double worst = 0;
  for (long long kMin : {0LL, 300LL}) {
    std::vector<cplx> fast;
    ASSERT_TRUE(SpectrumSums(s, dt, dF, kMin, 2000, fast));
    ASSERT_EQ(fast.size(), 2000u);
    std::vector<cplx> ref(2000);
    double peak = 0;
    for (long long m = 0; m < 2000; ++m) {
      ref[m] = ReferenceSum(s, (long double)dF * (long double)dt, kMin + m);
      peak = std::max(peak, std::abs(ref[m]));
    }
    for (long long m = 0; m < 2000; ++m) worst = std::max(worst, std::abs(fast[m] - ref[m]) / peak);
  }
  EXPECT_LT(worst, 1e-12);
}

// Analytic spectra through the whole command: a Gaussian's transform, a sine's amplitude,
// a constant's zero-frequency value.
TEST(Fourier, AnalyticSpectra) {
  SpectrumOptions o;
  o.absolute = false;
  const SpectrumCurves g = Spectrum(Sampled(0, 100, 0.1, [](double x) { return std::exp(-(x - 50) * (x - 50) / 50); }), o);
  // Straight lines between samples h apart damp a smooth curve's transform by sinc²(π·f·h).
  auto damped = [](double f, double h) { return f == 0 ? 1 : std::pow(std::sin(kPi * f * h) / (kPi * f * h), 2); };
  const double sigma = 5e-9;
  for (double f : {0.0, 50e6}) {
    const double want = sigma * std::sqrt(2 * kPi) * std::exp(-std::pow(2 * kPi * f * sigma, 2) / 2) * damped(f, 1e-10);
    EXPECT_NEAR(At(g, f), want, 1e-6 * want) << f;
  }
  o.absolute = true;
  const SpectrumCurves sine = Spectrum(Sampled(0, 1000, 0.01, [](double x) { return std::sin(2 * kPi * 0.1 * x); }), o);
  EXPECT_NEAR(At(sine, 100e6), damped(100e6, 1e-11), 1e-6);
  const SpectrumCurves one = Spectrum(Sampled(0, 100, 1, [](double) { return 1.0; }), o);
  EXPECT_NEAR(At(one, 0), 2, 1e-7);
}

// Every spectral command gives the Fourier integral of the curve as drawn, whatever its steps, at
// a cost set by its points and the band, also in a band far above its main content (what is left
// out weighed against the band's peak). Times that both rise and fall are refused, by name.
TEST(Fourier, SpectraAreTheTransformOfTheCurveAsDrawn) {
  auto pulse = [](double x) { return std::exp(-(x - 5) * (x - 5) / 2) + (x > 7.5 ? 0.5 : 0.0); };
  // 1500 points, one step a billionth of the others (0.5 V up within it); the same shaken
  // off any grid and jagged, so that every step holds a bend between the samples.
  ChartSeries tiny = Sampled(0, 14.99, 0.01, pulse), shaken = tiny;
  tiny.X[750] = tiny.X[749] + 1e-9;
  tiny.Y[750] = pulse(7.6);
  for (std::size_t i = 1; i + 1 < shaken.Count(); ++i)
    shaken.Y[i] = pulse(shaken.X[i] += 0.004 * std::sin(1.7 * double(i))) + 0.05 * std::cos(2.9 * double(i));
  // A few points far apart, two points, a vertical step, times written backwards.
  ChartSeries three, two, stepped, backwards = tiny;
  three.X = {1e-6, 2e-6, 16}, three.Y = {0, 1, 0};
  two.X = {3, 11}, two.Y = {1, -0.5};
  stepped.X = {0, 1, 1, 2, 3.3}, stepped.Y = {0, 1, -1, 0.5, 0};
  std::reverse(backwards.X.begin(), backwards.X.end()), std::reverse(backwards.Y.begin(), backwards.Y.end());
  for (ChartSeries* g : {&tiny, &three, &two, &stepped, &backwards, &shaken})
    for (int type : {0, 1, 2}) {  // DFT, FFT, DFT of 4..5 GHz
      SpectrumOptions o{.type = type % 2, .fMin = type == 2 ? 4e9 : 0, .fMax = 5e9, .dF = 20e6, .absolute = false};
      const SpectrumPlan p = PlanSpectrum(*g, o);
      EXPECT_LE(p.N, 65536);
      const SpectrumCurves c = Spectrum(*g, o);
      double peak = 0, worst = 0;
      for (std::size_t k = 0; k < c.X.size(); k += 1 + k % 5) {
        const cplx want = DrawnTransform(*g, c.X[k], double(float(p.minX)) * 1e-9);
        peak = std::max(peak, std::abs(want));
        worst = std::max(worst, std::abs(std::polar(c.modulus[k], c.phase[k]) - want));
      }
      EXPECT_LT(worst, 1e-4 * peak) << g->X.size() << " " << type;
      if (type != 0) continue;
      // The impedance's spectra, time counted from 0.
      const ImpedanceOptions io{.fMax = 5e9, .dF = 20e6};
      const GraphSpectrumPlan ip = PlanGraphSpectrum(*g, io);
      GraphSpectrum u;
      ASSERT_TRUE(ip.error.empty() && ip.N <= 65536 && ComputeGraphSpectrum(g->X, g->Y, ip, io, u));
      for (std::size_t k = 0; k < u.X.size(); k += 17)
        EXPECT_LT(std::abs(std::polar(u.modulus[k], u.phase[k]) - DrawnTransform(*g, u.X[k], 0)), 1e-4 * peak);
    }
  ChartSeries mixed = two;
  mixed.AddXY(5, 0);
  EXPECT_EQ(std::tuple(PlanSpectrum(mixed, {}).error, PlanGraphSpectrum(mixed, {}).error),
            std::tuple(UnorderedTimeText(""), UnorderedTimeText("")));
}

// Pulses of 1e-36 .. 1e30 (below the floats' range once times the step, or far above it)
// keep their spectra by the DFT, the FFT and the impedance's sums.
TEST(Fourier, SpectraOfTinyAndHugeCurves) {
  for (double peak : {1e-30, 1e-32, 1e-34, 1e-36, 1e30}) {
    const ChartSeries g = Sampled(0, 1499 * 0.0018, 0.0018, [&](double x) {
      return peak * std::exp(-(x - 1.3) * (x - 1.3) / 0.02);
    });
    for (int type : {0, 1}) {
      SpectrumOptions o{.type = type, .fMax = 20e9, .dF = 100e6, .absolute = false};
      const double t0 = double(float(PlanSpectrum(g, o).minX)) * 1e-9;
      const SpectrumCurves c = Spectrum(g, o);
      ASSERT_FALSE(c.X.empty());
      double worst = 0;
      for (std::size_t k = 0; k < c.X.size(); ++k)
        worst = std::max(worst, std::abs(std::polar(c.modulus[k], c.phase[k]) - DrawnTransform(g, c.X[k], t0)));
      EXPECT_LT(worst, 1e-3 * std::abs(DrawnTransform(g, 0, t0))) << peak << " " << type;
    }
    const ImpedanceOptions io{.fMax = 20e9, .dF = 100e6};
    GraphSpectrum u;
    ASSERT_TRUE(ComputeGraphSpectrum(g.X, g.Y, PlanGraphSpectrum(g, io), io, u));
    const double dc = std::abs(DrawnTransform(g, 0, 0));
    EXPECT_NEAR(u.modulus[0], dc, 1e-3 * dc) << peak;
  }
}

// Sizes, band and refusals of the spectrum command.
TEST(Fourier, SpectrumPlans) {
  const ChartSeries g = Sampled(0, 100, 1, [](double x) { return x; });
  SpectrumOptions o;
  SpectrumPlan p = PlanSpectrum(g, o);
  EXPECT_EQ(std::tuple(p.N, p.kMin, p.count), std::tuple(201, 0, 1000));
  o.autoStep = true;
  EXPECT_EQ(PlanSpectrum(g, o).kMin + PlanSpectrum(g, o).count, 202);
  o.autoStep = false;
  o.fMin = 2.5e6;
  EXPECT_EQ(PlanSpectrum(g, o).kMin, 2);
  o.fMax = 1e6;
  EXPECT_EQ(std::tuple(PlanSpectrum(g, o).N, PlanSpectrum(g, o).count), std::tuple(200, 0));
  o.fMin = -3e9;  // a band reaching below 0 is sampled for its largest |f|
  EXPECT_EQ(PlanSpectrum(g, o).N, 601);
  o.fMin = 2.5e6;
  o.fMax = 1e14;
  p = PlanSpectrum(g, o);
  EXPECT_TRUE(p.endCommand && p.error.find("Требуется очень много шагов по времени.\nПохоже") != std::string::npos);
  o.fMax = 1e9;
  o.dF = 10;  // 10^8 frequencies
  EXPECT_TRUE(PlanSpectrum(g, o).endCommand);
  for (double dF : {0.0, -1.0, double(NAN)}) {
    o.dF = dF;
    EXPECT_NE(PlanSpectrum(g, o).error, "") << dF;
  }
  o.dF = 1e6;
  ChartSeries flat;
  for (double y : {1, 2}) {  // one point, then two at one time
    flat.AddXY(3, y);
    EXPECT_NE(PlanSpectrum(flat, o).error, "") << y;
  }

  // FFT: 1000 points → 1024 samples; 100 ns, 0..1 GHz → k = 0..100.
  o.type = 1;
  o.fMin = 0;
  auto sine = [](double x) { return std::sin(x); };
  EXPECT_EQ(std::tuple(PlanSpectrum(Sampled(0, 99.9, 0.1, sine), o).N, PlanSpectrum(Sampled(0, 102.4, 0.1, sine), o).N),
            std::tuple(1024, 2048));
  ChartSeries span100 = Sampled(0, 99.9, 0.1, [](double x) { return x; });
  for (double& x : span100.X) x *= 100.0 / 99.9;
  p = PlanSpectrum(span100, o);
  EXPECT_NEAR(p.dF, 1 / (1024 * (1e-7 / 1023)), 1);
  const SpectrumCurves c = Spectrum(span100, o);
  ASSERT_EQ(c.X.size(), 101u);
  EXPECT_NEAR(c.X.back(), 100 * p.dF, 1e-3);
  // No fewer samples than points, and no more for a point that falls between samples.
  ChartSeries dense = Sampled(0, 100, 0.1, [](double x) { return x; }), uneven = g;
  for (double& x : dense.X) x = float(x + 10);
  uneven.X[1] = 1e-7;
  EXPECT_EQ(PlanSpectrum(uneven, o).N, 256);  // the band: 201
  o.type = 0;
  EXPECT_EQ(std::tuple(PlanSpectrum(dense, o).N, PlanSpectrum(uneven, o).N), std::tuple(1001, 201));
  // An FFT needing more than 2^24 samples (10 ms up to 1 GHz) names the highest frequency it reaches.
  ChartSeries wide;
  wide.X = {0, 5, 10}, wide.Y = {0, 1, 0};
  o.type = 1, o.cbTime = 2, o.fMax = 1e9;
  p = PlanSpectrum(wide, o);
  EXPECT_TRUE(p.endCommand && p.error.find("«Верхняя частота, Гц» не больше 8.389E8") != std::string::npos) << p.error;
  o.fMax = 8e8;
  EXPECT_EQ(PlanSpectrum(wide, o).error, "");
}

// A curve with content far above fMax: its DFT and FFT up to fMax are its exact transform,
// and the signal rebuilt from the DFT is its part within the band.
TEST(Fourier, ContentAboveTheBandDoesNotFoldBack) {
  // X in ns: a 0.1 ns Gaussian at 1.5 ns and a 30 GHz burst at 4 ns, whose transform below
  // 10 GHz is under e^-300 of its peak.
  auto pulse = [](double x) { return std::exp(-(x - 1.5) * (x - 1.5) / 0.02); };
  const ChartSeries g = Sampled(0, 6, 0.001, [&](double x) {
    return pulse(x) + 0.5 * std::exp(-(x - 4) * (x - 4) / 0.08) * std::cos(60 * kPi * x);
  });
  auto exact = [](double f) { return std::polar(2.5066283e-10 * std::exp(-2e-20 * kPi * kPi * f * f), -3e-9 * kPi * f); };
  SpectrumOptions o{.fMax = 10e9, .dF = 50e6, .inverse = true, .absolute = false};
  for (int type : {0, 1}) {
    o.type = type;
    const SpectrumCurves c = Spectrum(g, o);
    ASSERT_GT(c.X.size(), 30u);
    for (std::size_t k = 0; k < c.X.size(); ++k)
      EXPECT_LT(std::abs(std::polar(c.modulus[k], c.phase[k]) - exact(c.X[k])), 3e-14) << type << " " << c.X[k];
    if (type == 1) break;
    ChartSeries mod, ph;
    mod.X = ph.X = c.X;
    mod.Y = c.modulus;
    ph.Y = c.phase;
    std::vector<double> x, y;
    ASSERT_TRUE(RebuildSignal(mod, ph, PlanSynthesis(0, 6e-9, 600, mod, ph, 0.5), c.divisor, 1e9, x, y));
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(y[i], pulse(x[i]), 1e-3) << x[i];
  }
}

TEST(Fourier, FftAmpPhaseAndInverse) {
  std::vector<float> amp, ph, back;
  FFTAmpPhase({1, 1, 0, 0, 0, 0, 0, 0}, amp, ph);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(amp[k], std::cos(k * kPi / 8) / 2, 1e-6) << k;
    EXPECT_NEAR(ph[k], -k * kPi / 8, 1e-6) << k;
  }
  FFTInverse(amp, ph, back);
  for (int m = 0; m < 8; ++m) EXPECT_NEAR(back[m], m < 2, 1e-6) << m;

  FFTAmpPhase(std::vector<float>(8, 1.0f), amp, ph);
  EXPECT_FLOAT_EQ(amp[0], 2);
  EXPECT_NEAR(amp[1] + amp[2] + amp[3], 0, 1e-7);
  FFTAmpPhase(std::vector<float>(16, 0.0f), amp, ph);
  for (float p : ph) EXPECT_EQ(p, 0);
  // −π is given as π: a negative real bin.
  FFTAmpPhase({-1, -1, -1, -1}, amp, ph);
  EXPECT_FLOAT_EQ(ph[0], float(kPi));
  EXPECT_EQ(std::tuple(SpectrumPhase(-1, 0.0), SpectrumPhase(-1, -0.0), SpectrumPhase(0, 0)), std::tuple(kPi, kPi, 0.0));

  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1, 1);
  std::vector<float> a(1024);
  for (float& v : a) v = u(rng);
  FFTAmpPhase(a, amp, ph);
  double peak = 0, worst = 0;
  std::vector<double> ref(512);
  for (int k = 0; k < 512; ++k) {
    ref[k] = 2 * std::abs(ReferenceSum(a, 1.0L / 1024, k)) / 1024;
    peak = std::max(peak, ref[k]);
  }
  for (int k = 0; k < 512; ++k) worst = std::max(worst, std::fabs(amp[k] - ref[k]));
  EXPECT_LT(worst, 1e-6 * peak);
}

// The rebuilt signal: the constant of a two-point spectrum, and a DFT spectrum turned back
// into its pulse by both the fast and the plain sums.
TEST(Fourier, SynthesizeSignal) {
  ChartSeries A, P;
  A.X = P.X = {0, 1e6};
  A.Y = {2, 0};
  P.Y = {0, 0};
  const SynthesisPlan sp = PlanSynthesis(0, 1, 256, A, P, 1);
  EXPECT_EQ(sp.message, "Шаг по частоте 1000000 Гц велик, поэтому время сигнала уменьшается до 1E-6 c");
  std::vector<double> x, y;
  ASSERT_TRUE(SynthesizeSignal(A.Y, P.X, P.Y, sp.tMin, sp.dtOut, sp.n, sp.w0, OutputTimeFactor(0), x, y));
  ASSERT_EQ(x.size(), 257u);
  EXPECT_NEAR(x.back(), 1000, 1e-9);
  for (double v : y) EXPECT_NEAR(v, 2e6, 1e-3);

  // Gaussian pulse → spectrum (no divisor) → signal: the pulse again.
  SpectrumOptions o;
  o.absolute = false;
  o.fMax = 2e8;
  const ChartSeries g = Sampled(0, 100, 0.1, [](double x) { return std::exp(-(x - 50) * (x - 50) / 50); });
  const SpectrumCurves c = Spectrum(g, o);
  ChartSeries mod, ph;
  mod.X = ph.X = c.X;
  mod.Y = c.modulus;
  ph.Y = c.phase;
  const SynthesisPlan q = PlanSynthesis(0, 1e-7, 100, mod, ph, 0.5);
  EXPECT_EQ(q.message, "");
  std::vector<double> fx, fy;
  ASSERT_TRUE(SynthesizeSignal(mod.Y, ph.X, ph.Y, q.tMin, q.dtOut, q.n, q.w0, 1e9, fx, fy));
  for (std::size_t i = 0; i < fx.size(); ++i) {
    EXPECT_NEAR(fy[i], std::exp(-(fx[i] - 50) * (fx[i] - 50) / 50), 2e-3) << fx[i];
    EXPECT_NEAR(fy[i], SynthesizePoint(mod.Y, ph.X, ph.Y, fx[i] * 1e-9, q.w0), 1e-9) << fx[i];
  }

  // No points asked for, a phase of one point, a phase backwards, curves of unequal length.
  ChartSeries shortP, backwards = P, longA = A;
  shortP.AddXY(0, 0);
  backwards.X = {1e6, 0};
  longA.AddXY(2e6, 0);
  for (const SynthesisPlan& bad : {PlanSynthesis(0, 1, 0, A, P, 1), PlanSynthesis(0, 1, 10, A, shortP, 1),
                                   PlanSynthesis(0, 1, 10, A, backwards, 1), PlanSynthesis(0, 1, 10, longA, P, 1)})
    EXPECT_NE(bad.error, "");
}

// Graphs a spectrum leaves: titles, names, the dropped phase, the FFT graphs made active.
TEST(Fourier, SpectrumGraphs) {
  ChartModel m;
  m.AddSeries("U", 0, "u.srg");
  m.ActiveGraph = 0;
  SpectrumCurves c;
  c.X = {0, 1};
  c.modulus = {1, 2};
  c.phase = {0, 0};
  SpectrumOptions o;
  o.noPhase = false;
  AddSpectrumGraphs(m, "U", o, c);
  ASSERT_EQ(m.SeriesCount(), 3);
  EXPECT_EQ(std::tuple(m.Series[1].Title, m.Series[2].Title, m.FileNames[1], m.FileNames[2], m.ActiveGraph),
            std::tuple("Модуль спектра: U", "Фаза спектра: U", "Без имени-1", "Без имени-2", 0));
  o.noPhase = true;
  o.type = 1;
  AddSpectrumGraphs(m, "U", o, c);
  ASSERT_EQ(m.SeriesCount(), 4);
  EXPECT_EQ(std::tuple(m.Series[3].Title, m.FileNames[3], m.ActiveGraph), std::tuple("Модуль FFT: ", "Модуль FFT ", 3));
  CloseSpectrumPair(m);
  EXPECT_EQ(std::tuple(m.SeriesCount(), m.Series[1].Title), std::tuple(2, "Модуль FFT: "));
}

// Pulse → spectrum → rebuilt signal gives the pulse back whatever divisor the spectrum
// was computed with (absolute amplitudes divide by T/2 = 5e-9 s here), by either transform;
// the spectrum's X axis is titled in its unit.
TEST(Fourier, RebuildUndoesTheSpectrumDivisor) {
  const ChartSeries g = Sampled(0, 10, 0.01, Pulse);
  for (int type : {0, 1})
    for (bool absolute : {true, false}) {
      SpectrumOptions o;
      o.type = type;
      o.absolute = absolute;
      o.noPhase = false;
      o.fMax = type == 0 ? 3e9 : 1e11;
      o.dF = 1e7;
      o.cbFreq = 3;
      ChartModel m;
      AddSpectrumGraphs(m, "p", o, Spectrum(g, o));
      ASSERT_EQ(m.SeriesCount(), 2);
      ChartSeries mod = m.Series[0], ph = m.Series[1];
      EXPECT_EQ(std::tuple(mod.SpectrumDivisor, m.Texts.BottomAxisTitle), std::tuple(absolute ? 5e-9 : 1.0, "f, ГГц"));
      for (double& f : ph.X) f *= 1e9;  // the rebuilding reads hertz
      const SynthesisPlan sp = PlanSynthesis(0, 1e-8, 500, mod, ph, 1);
      ASSERT_EQ(sp.error + sp.message, "");
      std::vector<double> x, y;
      ASSERT_TRUE(RebuildSignal(mod, ph, sp, mod.SpectrumDivisor, 1e9, x, y));
      double worst = 0;
      for (std::size_t i = 0; i < x.size(); ++i) worst = std::max(worst, std::fabs(y[i] - Pulse(x[i])));
      EXPECT_LT(worst, 1e-3) << type << absolute;
    }
}

// A point whose X is NaN is left out of the sampling (the spectrum is the one of the curve
// without it), and a spectrum point whose frequency is NaN out of the rebuilt signal.
TEST(Fourier, NanXPointsLeftOut) {
  const ChartSeries clean = Sampled(0, 10, 0.01, Pulse), holed = test::WithNanXPoint(clean, 300, 7.0);
  for (int type : {0, 1}) {
    SpectrumOptions o;
    o.type = type;
    const SpectrumCurves a = Spectrum(clean, o), b = Spectrum(holed, o);
    EXPECT_EQ(std::tuple(b.X, b.modulus, b.phase), std::tuple(a.X, a.modulus, a.phase)) << type;
  }
  ChartSeries mod, ph;
  mod.X = ph.X = {0, 1e8, 2e8, 3e8};
  mod.Y = {1, 0.5, 0.25, 0.1};
  ph.Y = {0, 0.3, 0.6, 0.9};
  const ChartSeries mod2 = test::WithNanXPoint(mod, 1, 5.0), ph2 = test::WithNanXPoint(ph, 1, 1.0);
  const SynthesisPlan p = PlanSynthesis(0, 1e-8, 200, mod, ph, 1), p2 = PlanSynthesis(0, 1e-8, 200, mod2, ph2, 1);
  ASSERT_EQ(std::tuple(p2.error, p2.df), std::tuple("", p.df));
  std::vector<double> x, y, x2, y2;
  ASSERT_TRUE(RebuildSignal(mod, ph, p, 1, 1e9, x, y) && RebuildSignal(mod2, ph2, p2, 1, 1e9, x2, y2));
  EXPECT_EQ(std::tuple(x2, y2), std::tuple(x, y));
}

// A stop keeps the points of the rebuilt signal made so far, as the plain sums do; each
// is the sum at its own time.
TEST(Fourier, StoppedRebuildKeepsPointsMadeSoFar) {
  struct StopAt : ILongTask {
    bool stop = false;
    void Progress(int p) override { stop = stop || p >= 30; }
    bool StopRequested() const override { return stop; }
  } task;
  std::vector<double> M, f, phi;
  for (int j = 0; j <= 100; ++j) M.push_back(1.0 / (1 + j)), f.push_back(1e6 * j), phi.push_back(0.01 * j);
  const long long n = 100000;
  const double w0 = 2 * kPi * 1e6, dt = 1e-6 / double(n);
  std::vector<double> x, y;
  EXPECT_FALSE(SynthesizeSignal(M, f, phi, 0, dt, n, w0, 1e9, x, y, &task));
  ASSERT_EQ(x.size(), y.size());
  ASSERT_TRUE(x.size() > 0 && x.size() < std::size_t(n / 2)) << x.size();
  for (std::size_t i : {std::size_t(0), x.size() / 2, x.size() - 1})
    EXPECT_NEAR(y[i], SynthesizePoint(M, f, phi, double(i) * dt, w0), 1e-9 * w0) << i;
}
