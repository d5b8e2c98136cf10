// Pulse measurement, impedance, generators, convolution and energy against analytic values.
#include <gtest/gtest.h>

#include <complex>
#include <numbers>
#include <random>

#include "charts/convolution.h"
#include "charts/generators.h"
#include "charts/chartedit.h"
#include "charts/measure.h"
#include "charts/spectrum.h"
#include "charts_testutil.h"

namespace rv {
namespace {

using test::Sampled;
constexpr double kPi = std::numbers::pi;

double Gauss(double t) { return std::exp(-(t - 10) * (t - 10) / 2); }
double Charge(double t) { return 1 - std::exp(-t / 10); }

TEST(PulseMeasure, RiseAndWidthOfKnownShapes) {
  // Gaussian, σ = 1: 10-90 % rise σ(√(2 ln 10) − √(2 ln(10/9))), width 2σ√(2 ln 2).
  ChartSeries g = Sampled(0, 20, 0.01, Gauss);
  for (int sign : {1, -1}) {
    ChartSeries s = g;
    for (double& y : s.Y) y *= sign;
    const PulseMeasurement m = MeasurePulse(s, 0, 20, "");
    EXPECT_NEAR(m.rise, 1.68692, 1e-4);
    EXPECT_NEAR(m.width, 2.35482, 1e-4);
    EXPECT_EQ(std::tuple(m.A, m.text, m.message),
              std::tuple(sign, sign > 0 ? "Амплитуда = 1; Тф = 1.69; Ти = 2.35" : "Амплитуда = -1; Тф = 1.69; Ти = 2.35", ""));
  }
  // Cut by the visible range's right edge: amplitude and rise, no width.
  const PulseMeasurement cut = MeasurePulse(g, 0, 10, "0.0");
  EXPECT_EQ(std::tuple(cut.found90, cut.found50f, cut.text.find("Ти")), std::tuple(true, false, std::string::npos));

  // Exponential charge: rise τ·ln 9; the sensor correction √(Тф² − PX²).
  // A sensor value too large or not a number: the message and the uncorrected rise.
  const ChartSeries e = Sampled(0, 200, 0.01, Charge);
  const double rise = 10 * std::log(9.0);
  EXPECT_NEAR(MeasurePulse(e, 0, 200, "10").rise, std::sqrt(rise * rise - 100), 1e-5);
  for (auto [px, message] : {std::pair{"", ""}, {"-3", ""}, {"30", kSensorTooLarge}, {"1;5", kBadSensorText}}) {
    const PulseMeasurement r = MeasurePulse(e, 0, 200, px);
    EXPECT_EQ(r.message, message) << px;
    EXPECT_NEAR(r.rise, rise, 1e-6) << px;
  }
}

TEST(PulseMeasure, EdgeCases) {
  // Symmetric wave, all zeros, nothing visible: amplitude 0 alone.
  ChartSeries sine;
  for (int i = 0; i <= 400; ++i) sine.AddXY(i, std::sin(2 * kPi * i / 100));
  EXPECT_EQ(MeasurePulse(sine, 0, 400, "").text, "Амплитуда = 0");
  EXPECT_EQ(MeasurePulse(sine, 1000, 2000, "").text, "Амплитуда = 0");
  // A positive pulse with a smaller undershoot is positive; a sample on a level counts;
  // a flat pair at a crossing gives the later X.
  ChartSeries p;
  for (double y : {0.0, -0.3, 0.1, 0.5, 0.9, 1.0, 0.5, 0.5, -0.2}) p.AddXY(double(p.Count()), y);
  const PulseMeasurement m = MeasurePulse(p, 0, 10, "");
  EXPECT_EQ(std::tuple(m.A, m.t10, m.t50r, m.t90, m.t50f), std::tuple(1, 2.0, 3.0, 4.0, 6.0));
  // The first point sets the amplitude but never marks a crossing; a step away from the
  // peak that reaches 10 % is passed over.
  ChartSeries q;
  for (double y : {1.0, 0.5, 0.2, 0.0}) q.AddXY(double(q.Count()), y);
  const PulseMeasurement n = MeasurePulse(q, 0, 10, "");
  EXPECT_EQ(std::tuple(n.A, n.found10), std::tuple(1, false));
}

TEST(Impedance, SeriesRlFromGaussianCurrent) {
  const double R = 50, L = 10e-9, sigma = 1e-9, t0 = 10e-9;
  ChartModel m;
  const int u = m.AddSeries("U", 0, "u"), i = m.AddSeries("I", 0, "i");
  for (int k = 0; k <= 2000; ++k) {
    const double tn = k * 0.01, t = tn * 1e-9;
    const double I = std::exp(-(t - t0) * (t - t0) / (2 * sigma * sigma));
    const double dI = -(t - t0) / (sigma * sigma) * I;
    m.Series[std::size_t(i)].AddXY(tn, I);
    m.Series[std::size_t(u)].AddXY(tn, R * I + L * dI);
  }
  ImpedanceOptions o;
  o.dF = 10e6;
  o.cbFreq = 2;
  GraphSpectrum su, si;
  for (auto [k, out] : {std::pair{u, &su}, std::pair{i, &si}}) {
    const GraphSpectrumPlan p = PlanGraphSpectrum(m.Series[std::size_t(k)], o);
    ASSERT_TRUE(p.error.empty());
    ASSERT_TRUE(ComputeGraphSpectrum(m.Series[std::size_t(k)].X, m.Series[std::size_t(k)].Y, p, o, *out));
  }
  AddImpedanceGraphs(m, "U", su, "I", si, o);
  ASSERT_EQ(m.SeriesCount(), 5);
  const ChartSeries &re = m.Series[2], &im = m.Series[3], &mod = m.Series[4];
  ASSERT_EQ(re.Count(), 100u);
  EXPECT_EQ(std::tuple(re.Title, mod.Title, re.X[99], m.Texts.BottomAxisTitle),
            std::tuple("Действительная часть Z", "Модуль Z", 990.0, "f, МГц"));  // the upper frequency left out
  for (std::size_t k = 0; k < re.Count() && re.X[k] <= 500; ++k) {
    const double w = 2 * kPi * re.X[k] * 1e6, z = std::hypot(R, w * L);
    EXPECT_NEAR(re.Y[k], R, 1e-4 * z) << re.X[k];
    EXPECT_NEAR(im.Y[k], w * L, 1e-4 * z) << re.X[k];
    EXPECT_NEAR(mod.Y[k], z, 1e-4 * z) << re.X[k];
  }
  // Kept spectra: seven new graphs.
  ChartModel k;
  k.AddSeries("U", 0, "u");
  o.deleteSpectra = false;
  AddImpedanceGraphs(k, "U", su, "I", si, o);
  EXPECT_EQ(std::tuple(k.SeriesCount(), k.Series[2].Title), std::tuple(8, "Фаза спектра: U"));
  // Every graph made here is named "Без имени-", what it holds where it says so, and its number.
  const int n = k.UnnamedGraphCounter;
  std::vector<std::string> names(k.FileNames.begin() + 1, k.FileNames.end());
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Без имени-Модуль спектра-" + std::to_string(n - 7), "Без имени-Фаза спектра-" + std::to_string(n - 6),
                       "Без имени-Модуль спектра-" + std::to_string(n - 5), "Без имени-Фаза спектра-" + std::to_string(n - 4),
                       "Без имени-Real-" + std::to_string(n - 3), "Без имени-Im-" + std::to_string(n - 2),
                       "Без имени-Mod-" + std::to_string(n - 1)}));
}

// A 10 ps current pulse over 10 ns holds far more above 5 GHz than below it: Z = R + iωL.
TEST(Impedance, SeriesRlWithContentAboveTheBand) {
  const double R = 50, L = 1e-9;
  auto I = [](double x) { return std::exp(-(x - 1) * (x - 1) / 2e-4); };  // x in ns
  const ChartSeries i = test::Sampled(0, 10, 0.001, I),
                    u = test::Sampled(0, 10, 0.001, [&](double x) { return (R - L * (x - 1) * 1e13) * I(x); });
  const ImpedanceOptions o{.fMax = 5e9, .dF = 50e6};
  GraphSpectrum su, si;
  ASSERT_TRUE(ComputeGraphSpectrum(u.X, u.Y, PlanGraphSpectrum(u, o), o, su) &&
              ComputeGraphSpectrum(i.X, i.Y, PlanGraphSpectrum(i, o), o, si));
  ASSERT_EQ(su.X.size(), 100u);
  for (std::size_t k = 0; k < 100; ++k) {
    const std::complex<double> z(R, 2 * kPi * su.X[k] * L);
    EXPECT_LT(std::abs(std::polar(su.modulus[k] / si.modulus[k], su.phase[k] - si.phase[k]) - z), 1e-4 * std::abs(z));
  }
}

TEST(Generators, KnownValues) {
  const GeneratedCurve t = CountingErrorTable();
  ASSERT_EQ(t.X.size(), 80u);
  for (auto [got, want, tol] : {std::tuple{t.X.front(), 6.91e-2, 1e-4}, {t.Y.front(), 200.0 / 3, 1e-9},
                                {t.X.back(), 128.68, 1e-2}, {t.Y.back(), 3.98e-2, 1e-4}})
    EXPECT_NEAR(got, want, tol);

  const GeneratedCurve e3 = ThreeExpPulse({});
  ASSERT_EQ(e3.X.size(), 101u);
  EXPECT_NEAR(e3.X.back(), 100, 1e-6);
  for (double dt : {0.0, 1e-20}) {  // no steps, or too many
    ThreeExpParams stuck;
    stuck.dt = dt;
    EXPECT_FALSE(ThreeExpPulse(stuck).error.empty()) << dt;
  }

  // Debye water: Re 81 at 0, 41.4 at ωτ = 1; Im peak (εs − ε∞)/2 there.
  const double f1 = 1 / (2 * kPi * 9.4e-12) / 1e9;
  EXPECT_DOUBLE_EQ(WaterRe().Y.front(), 81.0);
  EXPECT_NEAR(WaterRe().Y.back(), 79.2 / (1 + std::pow(2 * kPi * 200e9 * 9.4e-12, 2)) + 1.8, 1e-12);
  const GeneratedCurve im = WaterIm(false), cond = WaterIm(true);
  ASSERT_EQ(im.X.size(), 4001u);
  double peak = 0, at = 0;
  for (std::size_t k = 0; k < im.X.size(); ++k)
    if (im.Y[k] > peak) peak = im.Y[k], at = im.X[k];
  EXPECT_NEAR(peak, 39.6, 1e-3);
  EXPECT_NEAR(at, f1, 0.05);
  EXPECT_NEAR(cond.Y.back(), 74.04, 0.01);

  const GeneratedCurve pe = PolarDielectric({}, false), pc = PolarDielectric({}, true);
  ASSERT_EQ(pe.X.size(), 51u);
  EXPECT_EQ(std::tuple(pe.Y.front(), pc.Y.front(), pe.title), std::tuple(120.0, 0.64, "Проницаемость {Re} (120/15/6.67e-9)"));
  EXPECT_NEAR(pc.Y.back(), 0.7790, 1e-4);

  const GeneratedCurve d = ReflectionDelay(5, 10, 10, true, "5", "10");
  ASSERT_EQ(d.X.size(), 11u);
  EXPECT_EQ(d.Y.front(), 0);
  // Mirror rule: the path difference √(L² + (h+H1)²) − √(L² + (H1−h)²) at h = 10.
  EXPECT_NEAR(d.Y.back(), (std::sqrt(100 + 225.0) - std::sqrt(125.0)) / 0.3, 1e-9);

  const GeneratedCurve s = SinXX();
  ASSERT_EQ(s.X.size(), 1001u);
  EXPECT_NEAR(s.Y[500], 1, 1e-9);
}

// y_i = Σ_j ΔY_j·g_{i−j}, the plain discrete convolution.
std::vector<double> PlainConvolution(const std::vector<double>& dy, const std::vector<double>& g) {
  std::vector<double> y(dy.size());
  for (std::size_t i = 0; i < dy.size(); ++i)
    for (std::size_t j = 0; j <= i; ++j) y[i] += dy[j] * g[i - j];
  return y;
}

TEST(Convolution, FastEqualsPlainSumAndStepGivesShiftedResponse) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  // Uniform grid: the FFT path against the discrete convolution of ΔY with H(m·dt).
  std::vector<double> sx, sy, hx, hy;
  for (int k = 0; k < 3000; ++k) sx.push_back(0.5 + 0.1 * k), sy.push_back(u(rng));
  for (int k = 0; k < 700; ++k) hx.push_back(0.05 + 0.13 * k), hy.push_back(u(rng));
  std::vector<double> dy(sy.size()), g(sy.size());
  ChartSeries h;
  h.X = hx;
  h.Y = hy;
  for (std::size_t j = 0; j < sy.size(); ++j) {
    dy[j] = sy[j] - (j ? sy[j - 1] : 0);
    const double t = 0.1 * double(j);
    g[j] = t > hx.back() ? hy.back() : InterpolateY(h, t);
  }
  const std::vector<double> ref = PlainConvolution(dy, g);
  std::vector<double> ox, oy, dx, dyy;
  ASSERT_TRUE(Convolve(sx, sy, hx, hy, ox, oy));
  ASSERT_EQ(oy.size(), sy.size() - 1);
  double big = 0;
  for (double v : ref) big = std::max(big, std::fabs(v));
  for (std::size_t i = 1; i < ref.size(); ++i) ASSERT_NEAR(oy[i - 1], ref[i], 1e-12 * big) << i;
  // Non-uniform grid: the forward search against the plain sum with linear search.
  for (std::size_t k = 1; k < sx.size(); ++k) sx[k] = sx[k - 1] + 0.05 + 0.1 * std::fabs(u(rng));
  sx.resize(800), sy.resize(800);
  ASSERT_TRUE(Convolve(sx, sy, hx, hy, ox, oy));
  ConvolveDirect(sx, sy, hx, hy, dx, dyy);
  big = 0;
  for (double v : dyy) big = std::max(big, std::fabs(v));
  ASSERT_EQ(oy.size(), dyy.size());
  for (std::size_t i = 0; i < oy.size(); ++i) ASSERT_NEAR(oy[i], dyy[i], 1e-12 * big) << i;
  // A unit step rising at X = 3 gives h shifted there; 0 before h's first X (causal).
  std::vector<double> stx, sty;
  for (int k = 0; k <= 10; ++k) stx.push_back(k), sty.push_back(k >= 3 ? 1 : 0);
  const std::vector<double> rx = {1, 2, 4}, ry = {1, 2, 4};
  ASSERT_TRUE(Convolve(stx, sty, rx, ry, ox, oy));
  for (std::size_t i = 0; i < ox.size(); ++i) {
    const double s = ox[i] - 3;
    EXPECT_NEAR(oy[i], s < 1 ? 0 : std::min(s, 4.0), 1e-12) << ox[i];
  }
}

// A NaN or infinite Y spoils only the outputs whose sum holds it, and the FFT path gives
// them what the plain sum gives (NaN, or ±inf when all such terms agree); a point whose X is
// NaN is left out of the signal and of the step response.
TEST(Convolution, NonFiniteValuesSpoilOnlyTheSumsThatHoldThem) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> sx, random, rising, hx, hy;
  for (int k = 0; k < 400; ++k) sx.push_back(0.1 * k), random.push_back(u(rng)), rising.push_back(1 + 0.01 * k);
  // Off the signal's grid, so no lag falls on a knot of H; H is 0 before its first X.
  for (int k = 0; k < 50; ++k) hx.push_back(0.35 + 0.2 * k), hy.push_back(1.5 + u(rng) / 2);
  struct Case {
    const char* name;
    const std::vector<double>& sy;
    int at;  // the signal's point, or the response's point (−1 − index)
    double v;
    int infinite;  // outputs that must come out infinite, at least
  };
  const Case cases[] = {{"NaN in signal", random, 200, NAN, 0},       {"inf in signal", random, 200, INFINITY, 0},
                        {"-inf in signal", rising, 100, -INFINITY, 0}, {"NaN in response", random, -11, NAN, 0},
                        {"inf in response", random, -11, INFINITY, 0}, {"inf in response, rising", rising, -11, INFINITY, 100}};
  for (const Case& c : cases) {
    std::vector<double> sy = c.sy, ry = hy, ox, oy, dx, dy;
    (c.at >= 0 ? sy[std::size_t(c.at)] : ry[std::size_t(-1 - c.at)]) = c.v;
    ASSERT_TRUE(Convolve(sx, sy, hx, ry, ox, oy));
    ConvolveDirect(sx, sy, hx, ry, dx, dy);
    ASSERT_EQ(oy.size(), dy.size());
    int finite = 0, infinite = 0;
    for (std::size_t i = 0; i < oy.size(); ++i) {
      const bool same = std::isnan(dy[i])   ? std::isnan(oy[i])
                        : std::isinf(dy[i]) ? oy[i] == dy[i]
                                            : std::fabs(oy[i] - dy[i]) <= 1e-10;
      EXPECT_TRUE(same) << c.name << " " << i << ": " << oy[i] << " for " << dy[i];
      finite += std::isfinite(dy[i]);
      infinite += std::isinf(dy[i]);
    }
    EXPECT_TRUE(finite > 20 && infinite >= c.infinite) << c.name;
  }
  // NaN X: the curves without those points.
  ChartSeries s, h;
  s.X = sx, s.Y = random, h.X = hx, h.Y = hy;
  const ChartSeries hs = test::WithNanXPoint(s, 77, 3.0), hh = test::WithNanXPoint(h, 5, 9.0);
  std::vector<double> ox, oy, cx, cy;
  ASSERT_TRUE(Convolve(hs.X, hs.Y, hh.X, hh.Y, ox, oy) && Convolve(sx, random, hx, hy, cx, cy));
  EXPECT_EQ(std::tuple(ox, oy), std::tuple(cx, cy));
}

// At 0 Hz the sum is real: a negative one has the phase π, in the impedance's spectra as in
// the DFT's.
TEST(Impedance, PhaseAtZeroHertzOfNegativeSumIsPi) {
  const ChartSeries g = test::Sampled(0, 100, 1, [](double x) { return -1 - 0.001 * x; });
  ImpedanceOptions o;
  o.fMax = 1e8;
  o.dF = 1e7;
  GraphSpectrum z;
  ASSERT_TRUE(ComputeGraphSpectrum(g.X, g.Y, PlanGraphSpectrum(g, o), o, z));
  SpectrumOptions so;
  so.fMax = o.fMax;
  so.dF = o.dF;
  SpectrumCurves d;
  ASSERT_TRUE(ComputeSpectrum(g.X, g.Y, PlanSpectrum(g, so), so, d));
  EXPECT_EQ(std::tuple(z.X[0], z.phase[0], d.phase[0]), std::tuple(0.0, kPi, kPi));
}

TEST(Energy, ConstantCurrentAndShortGraph) {
  ChartSeries g;
  g.Title = "I";
  for (int k = 0; k <= 1000; ++k) g.AddXY(k, 1);
  EnergyInLoad(g, EnergyTimeFactor(3), EnergyCurrentFactor(1));
  ASSERT_EQ(g.Count(), 1000u);
  EXPECT_NEAR(g.Y.back(), 1e-6, 1e-18);
  EXPECT_EQ(std::tuple(g.X.front(), g.Title), std::tuple(1.0, "I (энергия =1.0E-06 Дж)"));
  ChartSeries one;
  one.AddXY(0, 1);
  EnergyInLoad(one, 1, 1);
  EXPECT_EQ(std::tuple(one.Count(), one.Title), std::tuple(1u, ""));
}

// Curves written with falling times are read backwards by every command that reads a curve
// in time order: convolution, the sum's and the clone's resampling, the energy (else negative
// joules). Times that rise and fall give nothing, not the segments a forward search meets.
TEST(Convolution, FallingTimesReadBackwards) {
  const ChartSeries g = Sampled(0, 29.9, 0.1, [](double x) { return std::sin(0.5 * x); }),
                    h = Sampled(0, 11.7, 0.3, [](double x) { return 1 - std::exp(-x / 3); });
  auto backwards = [](ChartSeries s) { return std::reverse(s.X.begin(), s.X.end()), std::reverse(s.Y.begin(), s.Y.end()), s; };
  ChartSeries mixed = g;
  std::swap(mixed.X[10], mixed.X[20]);
  // What each command makes of the curve s with the step response r.
  auto read = [](ChartSeries s, const ChartSeries& r) {
    std::vector<double> x, y;
    EXPECT_TRUE(Convolve(s.X, s.Y, r.X, r.Y, x, y));
    ChartSeries clone;
    ResampleSeries(s, clone, 57, 0, 29.9);
    const std::vector<double> grid = ValuesOnGrid(s, 101, -1, 31);
    EnergyInLoad(s, 1, 1);
    return std::tuple(x, y, clone.X, clone.Y, grid, s.X, s.Y);
  };
  EXPECT_EQ(read(backwards(g), backwards(h)), read(g, h));
  const std::vector<double> none;
  EXPECT_EQ(read(mixed, h), std::tuple(none, none, none, none, std::vector<double>(101, 0.0), mixed.X, mixed.Y));
}

}  // namespace
}  // namespace rv
