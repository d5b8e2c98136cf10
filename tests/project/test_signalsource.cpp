#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "common/scratch.h"
#include "project/rowexp.h"
#include "project/signalsource.h"
#include "solver/constants.h"

using namespace rv;

namespace {

const double kPi = 3.14159265358979323846;

SignalSettings Kind(int k) {
  SignalSettings s;
  s.Kind = k;
  return s;
}

std::string WriteFile(const std::string& name, const std::string& text) {
  const auto dir = rvtest::ScratchRoot() / "signal_tests";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Parameters of every kind, the Gaussian asymmetric.
SignalSettings TestKinds() {
  SignalSettings s;
  SignalParams& p = s.Params;
  p.SinFreq = 3e8; p.SinAmpl = 2.5;
  p.SlowSinFreq = 2.5e8; p.SlowSinAmpl = 1.5; p.SlowSinTime = 2e-9; p.SlowSinLong = 21e-9;
  p.GaussWidth = 1e-9; p.GaussAmpl = 3; p.GaussSymm = 2;
  p.GaussRadioWidth = 1e-9; p.GaussRadioAmpl = 0.7; p.GaussRadioFreq = 1.25e9;
  p.Exp_a = 3.77e8; p.Exp_b = 2.38e9; p.ExpAmpl = 1.68;
  p.ExpRadio_a = 1e8; p.ExpRadio_b = 1e9; p.ExpRadioAmpl = 1.45; p.ExpRadioFreq = 1e9;
  p.BlackmanT = 1e-9; p.BlackmanAmpl = 4;
  p.SinXdivXF = 2e9; p.SinXdivXAmpl = 1.25;
  return s;
}

}  // namespace

// Each waveform by the features that identify it (peaks, zeros, e^-1 points, areas), not
// by its formula written again.
TEST(SignalWaveforms, EachKindByItsFeatures) {
  SignalSettings s = TestKinds();
  const double e1 = std::exp(-1.0);
  const struct { int kind; double t, v, tol; } points[] = {
      {SigSin, 0, 0, 0}, {SigSin, 1 / 1.2e9, 2.5, 1e-12}, {SigSin, 1 / 6e8, 0, 1e-12},
      // The radio pulse (crests at 1 + 4k ns): the plain sine from 2.5T to D, both ends
      // included, its ramps down to e^-1 one T outside (where the carrier is at a trough).
      {SigSlowSin, 5e-9, 1.5, 1e-12}, {SigSlowSin, 21e-9, 1.5, 1e-12},
      {SigSlowSin, 3e-9, -1.5 * e1, 1e-12}, {SigSlowSin, 23e-9, -1.5 * e1, 1e-12},
      // The asymmetric Gaussian: peak at 3 widths, S = 2 doubles the fall width only.
      {SigGauss, 3e-9, 3, 0}, {SigGauss, 2e-9, 3 * e1, 1e-12}, {SigGauss, 5e-9, 3 * e1, 1e-12},
      {SigGauss, 0, 3 * std::exp(-9.0), 1e-15},
      {SigGaussRadio, 3e-9, -0.7, 1e-12},  // a trough of the carrier at the peak
      {SigExp, 0, 0, 0}, {SigExpRadio, 0, 0, 0},
      {SigBlackmanHarris, 3e-9, 0, 1e-12},  // the derivative pulse crosses zero at its centre
      {SigSinXdivX, 25e-9, 1.25, 0}, {SigSinXdivX, 25.5e-9, 0, 1e-12},
      {SigNone, 1e-9, 0, 0}};
  for (const auto& q : points) {
    s.Kind = q.kind;
    EXPECT_NEAR(EvaluateSignal(s, q.t), q.v, q.tol) << "kind " << q.kind << " t " << q.t;
  }
  // Areas and extremes over a fine sampling: the double exponential's area is A(1/a - 1/b);
  // the derivative of a Gaussian peaks close to +-2A.
  double area = 0, mx = 0, mn = 0;
  const double dt = 1e-13;
  for (int i = 0; i <= 600000; ++i) {
    s.Kind = SigExp;
    area += EvaluateSignal(s, i * dt) * dt;
    s.Kind = SigBlackmanHarris;
    const double v = i <= 60000 ? EvaluateSignal(s, i * dt) : 0;
    mx = std::max(mx, v);
    mn = std::min(mn, v);
  }
  EXPECT_NEAR(area, 1.68 * (1 / 3.77e8 - 1 / 2.38e9), 1e-3 * 1.68 / 3.77e8);
  EXPECT_NEAR(mx, 8.0, 8.0 * 2e-4);
  EXPECT_NEAR(mn, -8.0, 8.0 * 2e-4);
}

TEST(SignalWaveforms, FailuresGiveZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  SignalSettings s = Kind(SigSin);
  for (double t : {-1e-12, nan, -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(EvaluateSignal(s, t), 0.0);
  for (int k : {-1, 10}) EXPECT_EQ(EvaluateSignal(Kind(k), 1e-9), 0.0);
  EXPECT_EQ(EvaluateSignal(Kind(SigFromFile), 1e-9), 0.0);  // no file loaded
  // Zero widths (0/0 at t = 0, or NaN for the derivative pulse) and an overflowing
  // exponential never leak a NaN or an infinity into the fields.
  s = Kind(SigGauss);
  s.Params.GaussWidth = 0;
  for (double t : {1e-9, 0.0}) EXPECT_EQ(EvaluateSignal(s, t), 0.0);
  s = Kind(SigBlackmanHarris);
  s.Params.BlackmanT = 0;
  EXPECT_EQ(EvaluateSignal(s, 1e-9), 0.0);
  s = Kind(SigExp);
  s.Params.ExpAmpl = 1e308;
  s.Params.Exp_a = -1e3;
  EXPECT_EQ(EvaluateSignal(s, 1.0), 0.0);
}

// The presets themselves are measured against the analytic pulse with the signal window's
// measurement; here the edges of the measurement.
TEST(PulseMeasure, NegativePulseMirrorsAndAFlatLineIsNoPulse) {
  std::vector<double> x, y;
  for (int i = 0; i <= 100; ++i) {
    x.push_back(i);
    y.push_back(-std::exp(-std::pow((i - 50) / 10.0, 2)));
  }
  const PulseMeasure m = MeasurePulse(x, y);
  EXPECT_NEAR(m.Amplitude, -1.0, 1e-12);
  EXPECT_NEAR(m.Width, 2 * 10 * std::sqrt(std::log(2.0)), 0.05);
  EXPECT_FALSE(MeasurePulse({0, 1}, {2, 2}).Valid);
}

TEST(SignalParamsText, ConversionStopsAtTheFirstBadEdit) {
  std::array<std::string, SignalParamCount> texts;
  for (auto& t : texts) t = "7";
  texts[20] = " 1.5e9 ";  // sin(x)/x frequency: kept doubled
  SignalParams p;
  EXPECT_EQ(ReadSignalParams(texts, p), -1);
  EXPECT_EQ(std::tuple(p.SinFreq, p.GaussSymm, p.SinXdivXF), std::tuple(7.0, 7.0, 3e9));

  SignalParams q;
  for (auto& t : texts) t = "5";
  texts[6] = "1;5";  // edGaussWidth
  EXPECT_EQ(ReadSignalParams(texts, q), 6);
  EXPECT_STREQ(SignalParamEdits[6], "edGaussWidth");
  // Before the bad edit: new values; the bad edit and later: old values.
  EXPECT_EQ(std::tuple(q.SlowSinLong, q.GaussWidth, q.GaussAmpl), std::tuple(5.0, 1e-9, 1.0));
  texts[6] = "nan";
  EXPECT_EQ(ReadSignalParams(texts, q), 6);
}

TEST(SignalFile, LoadsInterpolatesAndRejectsABadLine) {
  // Nanoseconds, one line: 0 at t = 0, half way at 0.5 ns, 0 at the last time and beyond.
  SignalSettings s = Kind(SigFromFile);
  SignalFileResult r = LoadSignalFile(WriteFile("one.srg", "1 5\r\n"), UnitNs);
  ASSERT_EQ(r.Status, SignalFileStatus::Ok);
  s.File = r.Table;
  s.FileLoaded = true;
  EXPECT_EQ(std::tuple(r.Table->Times.size(), r.LastTime), std::tuple(2u, double(1e-9f)));
  EXPECT_NEAR(EvaluateSignal(s, 0.5e-9), 2.5, 1e-6);
  for (double t : {0.0, double(1e-9f), 2e-9, -0.1e-9}) EXPECT_EQ(EvaluateSignal(s, t), 0.0) << t;

  // A curve file of the program: text after the numbers, a zero and a negative time
  // (dropped), a blank line and LF-only endings; microseconds.
  r = LoadSignalFile(WriteFile("curve.grf",
                               " 0.0E+0000  0.0E+0000 Сигнал\n"
                               " 1.0E+0000  2.0E+0000 t, нс\n"
                               "-1 9\n"
                               "\n"
                               "3\t-2  tail\n"),
                     UnitUs);
  ASSERT_EQ(r.Status, SignalFileStatus::Ok) << r.Message;
  ASSERT_EQ(r.Table->Times.size(), 3u);
  s.File = r.Table;
  for (auto [t, v] : {std::pair{0.5e-6, 1.0}, {2e-6, 0.0}, {2.5e-6, -1.0}}) EXPECT_NEAR(EvaluateSignal(s, t), v, 1e-6);

  // Times out of order: the value comes from the first bracketing pair, as in file order.
  r = LoadSignalFile(WriteFile("unsorted.srg", "2 4\n1 8\n3 0\n"), UnitSec);
  ASSERT_EQ(r.Status, SignalFileStatus::Ok);
  EXPECT_FALSE(r.Table->Sorted);
  s.File = r.Table;
  EXPECT_NEAR(EvaluateSignal(s, 1.5), 3.0, 1e-6);  // (0,0)..(2,4) brackets it first
  EXPECT_NEAR(EvaluateSignal(s, 2.5), 2.0, 1e-6);  // (2,4)..(1,8) does not; (1,8)..(3,0) does
  // Metres of c*t.
  r = LoadSignalFile(WriteFile("metres.srg", "0.3 1\n"), UnitMetres);
  ASSERT_EQ(r.Status, SignalFileStatus::Ok);
  EXPECT_FLOAT_EQ(r.Table->Times[1], float(0.3 / double(LightSpeed)));

  // A bad line: message with its line number, the load fails, nothing crashes.
  r = LoadSignalFile(WriteFile("bad.srg", "1 1\n2 2\n3 x3\n4 4\n"), UnitNs);
  EXPECT_EQ(std::tuple(r.Status, r.BadLine, r.Message, bool(r.Table)),
            std::tuple(SignalFileStatus::BadLine, 3, "Файл входного сигнала не читается из-за ошибки в строке 3", false));
  r = LoadSignalFile(WriteFile("single.srg", "0 0\n5\n"), UnitNs);  // one number only
  EXPECT_EQ(std::tuple(r.Status, r.BadLine), std::tuple(SignalFileStatus::BadLine, 2));
  r = LoadSignalFile(WriteFile("huge.srg", "1 1e300\n"), UnitNs);  // beyond single precision
  EXPECT_EQ(r.Status, SignalFileStatus::BadLine);
  // Nothing but blanks or times not above 0: no signal to load.
  for (const char* text : {"", "\r\n  \r\n", "0 5\n-1 2\n"}) {
    r = LoadSignalFile(WriteFile("empty.srg", text), UnitNs);
    EXPECT_EQ(std::tuple(r.Status, bool(r.Table), r.Message.find("не содержит данных") != std::string::npos),
              std::tuple(SignalFileStatus::Empty, false, true)) << text;
  }
  for (const std::string& f : {WriteFile("missing-dir", "") + "/nothing.srg", std::string()})
    EXPECT_EQ(LoadSignalFile(f, UnitNs).Status, SignalFileStatus::Missing) << f;

  EXPECT_EQ(ResolveSignalFileName("a.srg", "/opt/rv/"), "/opt/rv/a.srg");
  EXPECT_EQ(ResolveSignalFileName("/data/a.srg", "/opt/rv/"), "/data/a.srg");
}

// The plane waves ask a snapshot for a row of values at once: the same values as one at a
// time, for every kind, also before zero and for times that are not numbers. Values are
// formed in double: over a long run they stay far inside float precision of the
// extended-precision ones.
TEST(SignalSourceObject, RowOfValuesAsOneAtATime) {
  SignalSettings s;
  auto table = std::make_shared<SignalTable>();
  table->Times = {0.0f, 1e-9f, 3e-9f};
  table->Values = {0.0f, 2.0f, -1.0f};
  s.File = table;
  s.FileLoaded = true;
  std::vector<double> t;
  for (int i = -3; i < 400; ++i) t.push_back(i * 0.037e-9);
  t.push_back(std::numeric_limits<double>::quiet_NaN());
  for (int kind = -1; kind <= SignalKindCount; ++kind) {
    s.Kind = kind;
    const auto snap = SignalSource(s).Snapshot();
    std::vector<double> row(t.size(), 7.0);
    snap->GetSignals(t.data(), row.data(), int(t.size()));
    for (size_t i = 0; i < t.size(); ++i)
      ASSERT_EQ(row[i], EvaluateSignal(s, t[i])) << "kind " << kind << " t " << t[i];
  }
  // A 1 GHz Gaussian radio pulse, and a microsecond of a 1 GHz sine (a thousand periods).
  constexpr long double pi = 3.141592653589793238462643383279502884L;
  double worst = 0;
  for (auto [kind, step] : {std::pair{SigGaussRadio, 5e-15L}, {SigSin, 5e-12L}}) {
    s.Kind = kind;
    for (int i = 0; i < 200000; ++i) {
      const long double T = i * step, x = (T - 45e-10L) / 15e-10L;
      const long double ref = (kind == SigSin ? 1 : std::exp(-x * x)) * std::sin(2 * pi * 1e9L * T);
      worst = std::max(worst, std::fabs(EvaluateSignal(s, double(T)) - double(ref)));
    }
  }
  EXPECT_LT(worst, 1e-9);  // a float's step at 1 is 6e-8; measured 1.1e-12
}

// The waveforms' exponential: within one unit in the last place of the exact value, the
// library's values where the result is not a normal number, and for every value the same
// bits wherever it stands in a row of any length (so a row split among threads gives the
// same fields).
TEST(SignalExp, WithinOneUlpAndTheSameBitsAnywhereInARow) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> wide(-760, 720), pulse(-40, 1);
  std::vector<double> x;
  for (int i = 0; i < 300000; ++i) x.push_back(i % 3 ? pulse(rng) : wide(rng));
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {0.0, -0.0, 1.0, -708.0, 708.0, -708.5, 709.5, -745.5, -800.0, 800.0, inf, -inf})
    x.push_back(v);
  double worst = 0;
  for (double v : x) {
    const double e = ExpOf(v);
    const long double ref = std::exp(static_cast<long double>(v));
    if (ref >= DBL_MIN && ref <= DBL_MAX) {
      const double r = double(ref), ulp = std::nextafter(r, inf) - r;
      worst = std::max(worst, double(std::fabs(e - ref) / ulp));
    } else {
      EXPECT_EQ(e, std::exp(v)) << v;
    }
  }
  EXPECT_LE(worst, 1.0);  // measured 0.90
  EXPECT_EQ(std::tuple(ExpOf(0.0), ExpOf(-0.0)), std::tuple(1.0, 1.0));
  EXPECT_TRUE(std::isnan(ExpOf(std::numeric_limits<double>::quiet_NaN())));

  // Rows of every length from every offset, some holding values beyond the range; and in
  // place.
  std::vector<double> y(x.size());
  x[5] = std::numeric_limits<double>::quiet_NaN();
  x[17] = -1000;
  for (size_t off = 0; off < 24; ++off)
    for (int n = 0; n <= 13; ++n) {
      std::fill(y.begin(), y.end(), 7.0);
      ExpRow(x.data() + off, y.data(), n);
      for (int i = 0; i < n; ++i) {
        const double a = y[size_t(i)], b = ExpOf(x[off + size_t(i)]);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << off << " " << n << " " << i;
      }
      EXPECT_EQ(y[size_t(n)], 7.0);
    }
  std::vector<double> in(x.begin(), x.begin() + 1001);
  ExpRow(in.data(), in.data(), int(in.size()));
  for (size_t i = 0; i < in.size(); ++i)
    if (!std::isnan(x[i])) {
      ASSERT_EQ(in[i], ExpOf(x[i])) << i;
    }
}

// The kinds with exponentials against their formulas in long double, within 1e-12 of the
// size of their terms (the exponentials' arguments near 0, at the peak and far down the
// tails), with an asymmetric Gaussian; rows give the same values (test above).
TEST(SignalWaveforms, ExponentialKindsFollowTheirFormulas) {
  SignalSettings s = TestKinds();
  const SignalParams& p = s.Params;
  using L = long double;
  const L pi = 3.141592653589793238462643383279502884L;
  auto sq = [](L v) { return v * v; };
  // Each kind: its value and the size of its terms.
  auto ref = [&](int kind, L t, L& size) -> L {
    switch (kind) {
      case SigSlowSin: {
        const L T = p.SlowSinTime, D = p.SlowSinLong, v = p.SlowSinAmpl * std::sin(2 * pi * p.SlowSinFreq * t);
        const L env = t < 2.5L * T ? std::exp(-sq((t - 2.5L * T) / T)) : t <= D ? 1 : std::exp(-sq((t - D) / T));
        size = p.SlowSinAmpl * env;
        return v * env;
      }
      case SigGauss: {
        const L d = t - 3 * L(p.GaussWidth), x = d / p.GaussWidth / (d < 0 ? 1 : p.GaussSymm);
        return size = p.GaussAmpl * std::exp(-x * x);
      }
      case SigGaussRadio: {
        size = p.GaussRadioAmpl * std::exp(-sq((t - 3 * L(p.GaussRadioWidth)) / p.GaussRadioWidth));
        return size * std::sin(2 * pi * p.GaussRadioFreq * t);
      }
      case SigExp: {
        const L a = std::exp(-p.Exp_a * t), b = std::exp(-p.Exp_b * t);
        size = p.ExpAmpl * (a + b);
        return p.ExpAmpl * (a - b);
      }
      case SigExpRadio: {
        const L a = std::exp(-p.ExpRadio_a * t), b = std::exp(-p.ExpRadio_b * t);
        size = p.ExpRadioAmpl * (a + b);
        return p.ExpRadioAmpl * (a - b) * std::sin(2 * pi * p.ExpRadioFreq * t);
      }
      default: {
        const L T = p.BlackmanT, x = (t - 3 * T) / T;
        size = std::exp(-x * x) * 4 / 0.8577L * (1 + std::fabs(x)) * p.BlackmanAmpl;
        return std::exp(-x * x) * (-4 / T / 0.8577L) * (t - 3 * T) * p.BlackmanAmpl;
      }
    }
  };
  for (int kind : {SigSlowSin, SigGauss, SigGaussRadio, SigExp, SigExpRadio, SigBlackmanHarris}) {
    s.Kind = kind;
    double worst = 0;
    for (int i = 0; i <= 40000; ++i) {
      const L t = i * 1e-12L;
      L size = 0;
      const L want = ref(kind, t, size);
      worst = std::max(worst, double(std::fabs(EvaluateSignal(s, double(t)) - want) / (size + 1e-300L)));
    }
    EXPECT_LT(worst, 1e-12) << "kind " << kind;  // measured 2e-15 to 3.6e-13
  }
}

TEST(SignalSourceObject, SettingsSwapWhileAnotherThreadReads) {
  SignalSettings a = Kind(SigFromFile), b = Kind(SigSin);
  auto table = std::make_shared<SignalTable>();
  table->Times = {0.0f, 1.0f};
  table->Values = {0.0f, 2.0f};
  a.File = table;
  a.FileLoaded = true;
  b.Params.SinFreq = 0.125;  // sin(2*pi*0.125*1) = sin(pi/4)
  SignalSource src(a);
  const double va = 1.0, vb = std::sin(kPi / 4);
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!done) {
      const double v = src.GetSignal(0.5);
      if (std::fabs(v - va) > 1e-6 && std::fabs(v - std::sin(kPi / 8)) > 1e-6) ++bad;
    }
  });
  for (int i = 0; i < 2000; ++i) src.Set(i % 2 ? a : b);
  done = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
  src.Set(b);
  EXPECT_NEAR(src.GetSignal(1.0), vb, 1e-12);
  EXPECT_EQ(src.GetSignal(-1.0), 0.0);
  // A snapshot (what a face pass reads) gives the source's bits and keeps its settings
  // through a later edit.
  const auto snap = src.Snapshot();
  ASSERT_TRUE(snap);
  for (double t : {-1.0, 0.0, 0.3, 1.0, 2.5}) EXPECT_EQ(snap->GetSignal(t), src.GetSignal(t)) << t;
  const double held = snap->GetSignal(1.0);
  src.Set(a);
  EXPECT_EQ(std::pair(snap->GetSignal(1.0), src.GetSignal(1.0) != held), std::pair(held, true));
}

TEST(SignalRefreshStep, KindFileAndParametersAsTheWindowTakesThem) {
  std::array<std::string, SignalParamCount> texts;
  for (auto& t : texts) t = "2";
  SignalSettings s;
  // "Нет сигнала": the kind is taken and nothing else happens.
  SignalRefresh r = RefreshSignal(SigNone, texts, "", 0, s);
  EXPECT_EQ(std::tuple(r.Proceed, r.Messages.empty(), s.Kind, s.Params.SinAmpl), std::tuple(false, true, SigNone, 1.0));
  // A missing file: the message, and the parameters are still read.
  r = RefreshSignal(SigFromFile, texts, "/nonexistent/x.srg", 0, s);
  EXPECT_TRUE(r.Proceed);
  ASSERT_EQ(r.Messages.size(), 1u);
  EXPECT_EQ(r.Messages[0],
            "Ошибка: нет заданного файла сигнала или его формат неверен\nФайл: /nonexistent/x.srg");
  EXPECT_EQ(std::tuple(s.FileLoaded, s.Params.SinAmpl), std::tuple(false, 2.0));
  // A bad line: the loader's message, and the handler ends there.
  texts[1] = "3";
  r = RefreshSignal(SigFromFile, texts, WriteFile("bad2.srg", "1 1\nx\n"), 0, s);
  EXPECT_FALSE(r.Proceed);
  EXPECT_EQ(r.Messages, std::vector<std::string>{
                            "Файл входного сигнала не читается из-за ошибки в строке 2"});
  EXPECT_EQ(std::tuple(s.Params.SinAmpl, EvaluateSignal(s, 0.5e-9)), std::tuple(2.0, 0.0));  // no file: 0
  // A good file and a bad parameter.
  texts[5] = "10 нс";
  r = RefreshSignal(SigFromFile, texts, WriteFile("good.srg", "2 4\n"), 0, s);
  EXPECT_EQ(std::tuple(r.Proceed, r.BadParam, s.FileLoaded, r.FileLastTime), std::tuple(false, 5, true, double(2e-9f)));
  // The field is named with its kind's page: every kind's edits are read.
  EXPECT_EQ(r.Messages, std::vector<std::string>{"Обнаружены ошибки в значениях параметров сигналов\n"
                                                 "«Длительность, с:» = \"10 нс\" (вид сигнала «Радиоимпульс») "
                                                 "не является числом."});
  EXPECT_NEAR(EvaluateSignal(s, 1e-9), 2.0, 1e-6);
}
