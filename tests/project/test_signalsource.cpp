#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

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
  const auto dir = std::filesystem::temp_directory_path() / ("rv_signal_tests_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

TEST(SignalWaveforms, EachKindAgainstItsFormula) {
  SignalSettings s;
  SignalParams& p = s.Params;
  p.SinFreq = 3e8; p.SinAmpl = 2.5;
  p.SlowSinFreq = 2e9; p.SlowSinAmpl = 1.5; p.SlowSinTime = 2e-9; p.SlowSinLong = 20e-9;
  p.GaussWidth = 1e-9; p.GaussAmpl = 3; p.GaussSymm = 2;
  p.GaussRadioWidth = 1.5e-9; p.GaussRadioAmpl = 0.7; p.GaussRadioFreq = 1.3e9;
  p.Exp_a = 3.77e8; p.Exp_b = 2.38e9; p.ExpAmpl = 1.68;
  p.ExpRadio_a = 1e8; p.ExpRadio_b = 1e9; p.ExpRadioAmpl = 1.45; p.ExpRadioFreq = 1e9;
  p.BlackmanT = 1e-9; p.BlackmanAmpl = 4;
  p.SinXdivXF = 2e9; p.SinXdivXAmpl = 1.25;

  for (double t : {0.3e-9, 1.7e-9, 3.1e-9, 4.6e-9, 12.9e-9, 22.4e-9}) {
    const double w = 2 * kPi;
    s.Kind = SigSin;
    EXPECT_NEAR(EvaluateSignal(s, t), 2.5 * std::sin(w * 3e8 * t), 1e-12);
    s.Kind = SigSlowSin;
    double v = 1.5 * std::sin(w * 2e9 * t);
    if (t < 5e-9) v *= std::exp(-std::pow((t - 5e-9) / 2e-9, 2));
    else if (t > 20e-9) v *= std::exp(-std::pow((t - 20e-9) / 2e-9, 2));
    EXPECT_NEAR(EvaluateSignal(s, t), v, 1e-12);
    s.Kind = SigGauss;
    const double x = t < 3e-9 ? (t - 3e-9) / 1e-9 : (t - 3e-9) / 1e-9 / 2;
    EXPECT_NEAR(EvaluateSignal(s, t), 3 * std::exp(-x * x), 1e-12);
    s.Kind = SigGaussRadio;
    EXPECT_NEAR(EvaluateSignal(s, t),
                0.7 * std::exp(-std::pow((t - 4.5e-9) / 1.5e-9, 2)) * std::sin(w * 1.3e9 * t),
                1e-12);
    s.Kind = SigExp;
    EXPECT_NEAR(EvaluateSignal(s, t), 1.68 * (std::exp(-3.77e8 * t) - std::exp(-2.38e9 * t)),
                1e-12);
    s.Kind = SigExpRadio;
    EXPECT_NEAR(EvaluateSignal(s, t),
                1.45 * (std::exp(-1e8 * t) - std::exp(-1e9 * t)) * std::sin(w * 1e9 * t), 1e-12);
    s.Kind = SigBlackmanHarris;
    const double xb = (t - 3e-9) / 1e-9;
    EXPECT_NEAR(EvaluateSignal(s, t),
                std::exp(-xb * xb) * (-4 / 1e-9 / 0.8577) * (t - 3e-9) * 4, 1e-9);
    s.Kind = SigSinXdivX;
    const double a = kPi * 2e9 * (t - 25e-9);
    EXPECT_NEAR(EvaluateSignal(s, t), 1.25 * std::sin(a) / a, 1e-12);
    s.Kind = SigNone;
    EXPECT_EQ(EvaluateSignal(s, t), 0.0);
  }

  // t = 0 is evaluated, not taken as negative.
  s.Kind = SigSin; EXPECT_EQ(EvaluateSignal(s, 0), 0.0);
  s.Kind = SigExp; EXPECT_EQ(EvaluateSignal(s, 0), 0.0);
  s.Kind = SigGauss; EXPECT_NEAR(EvaluateSignal(s, 0), 3 * std::exp(-9.0), 1e-15);
  // The radio pulse is the plain sine from 2.5T to D, both ends included, and the fall
  // starts at full amplitude just above D.
  s.Kind = SigSlowSin;
  for (double t : {5e-9, 20e-9})
    EXPECT_NEAR(EvaluateSignal(s, t), 1.5 * std::sin(2 * kPi * 2e9 * t), 1e-12);
  const double tAbove = 20e-9 + 1e-13;
  EXPECT_NEAR(EvaluateSignal(s, tAbove), 1.5 * std::sin(2 * kPi * 2e9 * tAbove), 1e-5);
  // The asymmetric Gaussian: S = 2 doubles the fall width only (e^-1 points).
  s.Kind = SigGauss;
  EXPECT_NEAR(EvaluateSignal(s, 2e-9), 3 * std::exp(-1.0), 1e-12);
  EXPECT_NEAR(EvaluateSignal(s, 5e-9), 3 * std::exp(-1.0), 1e-12);
  // sin(x)/x peaks at exactly A, 25 periods of f after zero.
  s.Kind = SigSinXdivX;
  EXPECT_EQ(EvaluateSignal(s, 50 / 2e9), 1.25);
  // The derivative of a Gaussian: its peak magnitude is close to 2A, on both sides.
  s.Kind = SigBlackmanHarris;
  double mx = 0, mn = 0;
  for (int i = 0; i <= 60000; ++i) {
    const double v = EvaluateSignal(s, i * 1e-13);
    mx = std::max(mx, v);
    mn = std::min(mn, v);
  }
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
  EXPECT_EQ(EvaluateSignal(s, 1e-9), 0.0);
  EXPECT_EQ(EvaluateSignal(s, 0), 0.0);
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
  EXPECT_EQ(p.SinFreq, 7.0);
  EXPECT_EQ(p.GaussSymm, 7.0);
  EXPECT_EQ(p.SinXdivXF, 3e9);

  SignalParams q;
  for (auto& t : texts) t = "5";
  texts[6] = "1,5";  // edGaussWidth: a comma is no decimal separator
  EXPECT_EQ(ReadSignalParams(texts, q), 6);
  EXPECT_STREQ(SignalParamEdits[6], "edGaussWidth");
  EXPECT_EQ(q.SlowSinLong, 5.0);      // before the bad edit: new value
  EXPECT_EQ(q.GaussWidth, 1e-9);      // the bad edit and later: old values
  EXPECT_EQ(q.GaussAmpl, 1.0);
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
  EXPECT_EQ(r.Table->Times.size(), 2u);
  EXPECT_DOUBLE_EQ(r.LastTime, double(1e-9f));
  EXPECT_EQ(EvaluateSignal(s, 0), 0.0);
  EXPECT_NEAR(EvaluateSignal(s, 0.5e-9), 2.5, 1e-6);
  EXPECT_EQ(EvaluateSignal(s, double(1e-9f)), 0.0);
  EXPECT_EQ(EvaluateSignal(s, 2e-9), 0.0);
  EXPECT_EQ(EvaluateSignal(s, -0.1e-9), 0.0);

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
  EXPECT_NEAR(EvaluateSignal(s, 0.5e-6), 1.0, 1e-6);
  EXPECT_NEAR(EvaluateSignal(s, 2e-6), 0.0, 1e-6);
  EXPECT_NEAR(EvaluateSignal(s, 2.5e-6), -1.0, 1e-6);

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
  EXPECT_EQ(r.Status, SignalFileStatus::BadLine);
  EXPECT_EQ(r.BadLine, 3);
  EXPECT_EQ(r.Message, "Файл входного сигнала не читается из-за ошибки в строке 3");
  EXPECT_FALSE(r.Table);
  r = LoadSignalFile(WriteFile("single.srg", "0 0\n5\n"), UnitNs);  // one number only
  EXPECT_EQ(r.Status, SignalFileStatus::BadLine);
  EXPECT_EQ(r.BadLine, 2);
  r = LoadSignalFile(WriteFile("huge.srg", "1 1e300\n"), UnitNs);  // beyond single precision
  EXPECT_EQ(r.Status, SignalFileStatus::BadLine);
  r = LoadSignalFile(WriteFile("missing-dir", "") + "/nothing.srg", UnitNs);
  EXPECT_EQ(r.Status, SignalFileStatus::Missing);
  EXPECT_EQ(LoadSignalFile("", UnitNs).Status, SignalFileStatus::Missing);

  EXPECT_EQ(ResolveSignalFileName("a.srg", "/opt/rv/"), "/opt/rv/a.srg");
  EXPECT_EQ(ResolveSignalFileName("/data/a.srg", "/opt/rv/"), "/data/a.srg");
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
}

TEST(SignalRefreshStep, KindFileAndParametersAsTheWindowTakesThem) {
  std::array<std::string, SignalParamCount> texts;
  for (auto& t : texts) t = "2";
  SignalSettings s;
  // "Нет сигнала": the kind is taken and nothing else happens.
  SignalRefresh r = RefreshSignal(SigNone, texts, "", 0, s);
  EXPECT_FALSE(r.Proceed);
  EXPECT_TRUE(r.Messages.empty());
  EXPECT_EQ(s.Kind, SigNone);
  EXPECT_EQ(s.Params.SinAmpl, 1.0);
  // A missing file: the message, and the parameters are still read.
  r = RefreshSignal(SigFromFile, texts, "/nonexistent/x.srg", 0, s);
  EXPECT_TRUE(r.Proceed);
  ASSERT_EQ(r.Messages.size(), 1u);
  EXPECT_EQ(r.Messages[0],
            "Ошибка: нет заданного файла сигнала или его формат неверен\nФайл: /nonexistent/x.srg");
  EXPECT_FALSE(s.FileLoaded);
  EXPECT_EQ(s.Params.SinAmpl, 2.0);
  // A bad line: the loader's message, and the handler ends there.
  texts[1] = "3";
  r = RefreshSignal(SigFromFile, texts, WriteFile("bad2.srg", "1 1\nx\n"), 0, s);
  EXPECT_FALSE(r.Proceed);
  EXPECT_EQ(r.Messages, std::vector<std::string>{
                            "Файл входного сигнала не читается из-за ошибки в строке 2"});
  EXPECT_EQ(s.Params.SinAmpl, 2.0);
  EXPECT_EQ(EvaluateSignal(s, 0.5e-9), 0.0);  // no file: kind 8 gives 0
  // A good file and a bad parameter.
  texts[5] = "10 нс";
  r = RefreshSignal(SigFromFile, texts, WriteFile("good.srg", "2 4\n"), 0, s);
  EXPECT_FALSE(r.Proceed);
  EXPECT_EQ(r.BadParam, 5);
  EXPECT_EQ(r.Messages, std::vector<std::string>{"Обнаружены ошибки в значениях параметров сигналов"});
  EXPECT_TRUE(s.FileLoaded);
  EXPECT_DOUBLE_EQ(r.FileLastTime, double(2e-9f));
  EXPECT_NEAR(EvaluateSignal(s, 1e-9), 2.0, 1e-6);
}
