// Signal values no run can use, refused before the first step with the field and the limit.
#include <gtest/gtest.h>

#include "project/signalvalues.h"
#include "solver/file_fixture.h"
#include "solver/lumped.h"
#include "solver/run_fixture.h"

using namespace rv;

namespace {

struct Unit : ISignal {
  double GetSignal(double t) const override { return t >= 0 ? 1 : 0; }
};

// A plane wave stepped 1000 times by 1 ps: the sampling limit 1/(2 dt) is 5E11 Hz.
SignalRunUse PlaneWave(double gain = 0) {
  return {1e-12, 1000, gain == 0, gain, gain == 0 ? 0 : 2};
}

RunRefusal Check(int kind, void (*set)(SignalParams&), const SignalRunUse& u = PlaneWave()) {
  SignalSettings s;
  s.Kind = kind;
  if (set) set(s.Params);
  return SignalValueRefusal(s, u);
}

const std::string Field = "Сигнал: недопустимое значение ";

}  // namespace

// The field a voltage source puts on its edge per volt is what its update writes there
// from rest, on cells of unequal sides; the larger of two sources is named.
TEST(SignalValues, SourceGainIsWhatTheUpdateWritesOnTheEdge) {
  SolverData d;
  runtest::MakeBox(d, 8, 2e-3, false);
  d.Dz = 3e-3;
  ASSERT_GT(AllocFieldArrays(d), 0);
  ClearFields(d);
  const std::vector<tVoltageSource> src = {
      {0, 0, 0, 'Z', 1e-3, '+'}, {3, 3, 3, 'Z', 50, '+'}, {4, 4, 4, 'X', 5000, '-'}};
  ElementArrays el;
  el.VoltageSources = src;
  LumpedRun run;
  ASSERT_TRUE(run.Prepare(d, el, nullptr) && run.KeepEdges(d));
  Unit one;
  d.CurTime = 0;
  ASSERT_TRUE(run.Update(d, &one, 0));
  const double stepSec = d.TimeStep / double(LightSpeed);
  EXPECT_NEAR(SignalUseOf(d, d.Dx, d.Dy, d.Dz, stepSec, 1, {src[1]}).SourceGain, d.Ez(3, 3, 3), 1e-6 * d.Ez(3, 3, 3));
  EXPECT_NEAR(SignalUseOf(d, d.Dx, d.Dy, d.Dz, stepSec, 1, {src[2]}).SourceGain, -d.Ex(4, 4, 4), -1e-6 * d.Ex(4, 4, 4));
  const SignalRunUse u = SignalUseOf(d, d.Dx, d.Dy, d.Dz, stepSec, 1, src);
  EXPECT_EQ(std::tuple(u.SourceRow, u.PlaneWave, u.SourceGain > -d.Ex(4, 4, 4)), std::tuple(2, false, true));
}

TEST(SignalValues, WhatNoRunCanUseIsNamedWithItsLimit) {
  // Zero everywhere, a width or duration not above 0.
  EXPECT_EQ(Check(SigSin, [](SignalParams& p) { p.SinAmpl = 0; }).status, Field + "«Амплитуда, В (В/м):»");
  EXPECT_EQ(Check(SigExp, [](SignalParams& p) { p.Exp_b = p.Exp_a; }).status, Field + "«b, 1/с:»");
  EXPECT_EQ(Check(SigSlowSin, [](SignalParams& p) { p.SlowSinLong = -1; }).status, Field + "«Длительность, с:»");
  EXPECT_EQ(Check(SigBlackmanHarris, [](SignalParams& p) { p.BlackmanT = 0; }).status, Field + "«T, с:»");
  // The sampling limit, in hertz; just below it the sine is taken.
  const RunRefusal f = Check(SigSin, [](SignalParams& p) { p.SinFreq = 1e39; });
  EXPECT_NE(f.text.find("«Частота, Гц:» = 1E39 — частота по модулю не меньше предела 1/(2·Δt) = 5E11 Гц"),
            std::string::npos) << f.text;
  EXPECT_EQ(f.text.substr(f.text.find('\n')), "\nИзмените «Частота, Гц:» в окне «Выбор сигнала» (кнопка «Выбор формы "
                                               "сигнала» на странице «Источник») или уменьшите шаг по времени на "
                                               "странице «Геометрия».");
  EXPECT_FALSE(Check(SigSin, [](SignalParams& p) { p.SinFreq = -4.99e11; }));
  // The range of 32-bit fields: the plane wave takes the signal as it is, the derivative of
  // a Gaussian peaks near twice its amplitude, a voltage source multiplies it, a negative
  // rate grows over the run.
  EXPECT_FALSE(Check(SigSin, [](SignalParams& p) { p.SinAmpl = 3e38; }));
  EXPECT_NE(Check(SigBlackmanHarris, [](SignalParams& p) { p.BlackmanAmpl = 3e38; }).text.find("не больше 1.7E38"),
            std::string::npos);
  const RunRefusal viaSource = Check(SigSin, [](SignalParams& p) { p.SinAmpl = 1e35; }, PlaneWave(1e4));
  EXPECT_NE(viaSource.text.find("источник напряжения в строке 2 таблицы «Источники»"), std::string::npos);
  EXPECT_FALSE(Check(SigSin, [](SignalParams& p) { p.SinAmpl = 1e34; }, PlaneWave(1e4)));
  EXPECT_EQ(Check(SigGauss, [](SignalParams& p) { p.GaussAmpl = 1e-40; }).status, Field + "«Амплитуда, В (В/м):»");
  EXPECT_EQ(Check(SigExp, [](SignalParams& p) { p.Exp_a = -1e12; }).status, Field + "«a, 1/с:»");
  EXPECT_FALSE(Check(SigExp, [](SignalParams& p) { p.Exp_a = -1e9; }));
  // A radio pulse shorter than a step is zero at every step.
  EXPECT_EQ(Check(SigSlowSin, [](SignalParams& p) { p.SlowSinLong = 1e-20, p.SlowSinTime = 1e-25; }).status,
            Field + "«Длительность, с:»");
  // "Нет сигнала" is chosen on purpose; a signal nothing takes is not checked.
  EXPECT_FALSE(Check(SigNone, nullptr));
  SignalRunUse unused = PlaneWave();
  unused.PlaneWave = false;
  EXPECT_FALSE(Check(SigSin, [](SignalParams& p) { p.SinAmpl = 0; }, unused));
}

TEST(SignalValues, SignalFileNotLoadedShortLateOrTooLarge) {
  const rvtest::TempDir dir;
  auto write = [&](const std::string& name, const std::string& text) {
    rvtest::WriteBytes(dir / name, text);
    return dir / name;
  };
  auto check = [&](const std::string& text, const SignalRunUse& u = PlaneWave()) {
    SignalSettings s;
    s.Kind = SigFromFile;
    s.FileName = write("s.srg", text);
    SignalFileResult f = LoadSignalFile(s.FileName, UnitNs);
    s.FileLoaded = f.Status == SignalFileStatus::Ok;
    s.File = f.Table;
    return SignalValueRefusal(s, u).status;
  };
  SignalSettings none;
  none.Kind = SigFromFile;
  EXPECT_EQ(SignalValueRefusal(none, PlaneWave()).text.rfind("Сигнал «Из файла»: имя файла не задано — сигнал", 0), 0u);
  EXPECT_EQ(check("0.1 0\n0.2 0\n"), "Сигнал: сигнал из файла равен нулю");
  EXPECT_EQ(check("1e-9 1\n2e-9 0\n"), "Сигнал: файл сигнала короче шага по времени");  // seconds read as ns
  EXPECT_EQ(check("2 0\n3 1\n4 0\n"), "Сигнал: сигнал из файла равен нулю до конца расчета");
  EXPECT_EQ(check("0.0101 0\n0.0102 1\n0.0103 0\n0.5 0\n"), "Сигнал: сигнал из файла равен нулю на всех шагах расчета");
  EXPECT_EQ(check("0.1 1e36\n0.5 0\n", PlaneWave(1e4)), "Сигнал: значения файла сигнала вне диапазона чисел расчета");
  EXPECT_EQ(check("0.1 1e36\n0.5 0\n"), "");
  // A value the run's numbers cannot hold is named by the reader with its line.
  EXPECT_EQ(LoadSignalFile(write("huge.srg", "0.1 1\n0.2 -4e38\n"), UnitNs).Message,
            "Файл входного сигнала не читается из-за ошибки в строке 2: значение -4e38 по модулю больше 3.4E38, "
            "предела чисел расчета");
}

// A pulse far shorter than a step reaches the run as a tail or a lone peak at one step:
// its samples at the steps, and at steps shifted by parts of a step, carry far less or
// far more than its energy. Refused by the field that sets its length; a pulse the step
// resolves is taken.
TEST(SignalValues, PulsesTheStepCannotResolveAreRefused) {
  auto gauss = [](double W, const SignalRunUse& u) {
    SignalSettings s;
    s.Kind = SigGauss;
    s.Params.GaussWidth = W;
    return SignalValueRefusal(s, u);
  };
  // At a 1.8 ps step a Gaussian of 1e-13 s is seen only by its e^-9 tail at t = 0.
  const RunRefusal r = gauss(1e-13, {1.8e-12, 3000, true, 0, 0});
  EXPECT_EQ(r.status, Field + "«Ширина, с:»");
  EXPECT_NE(r.text.find("«Ширина, с:» = 1E-13 — импульс короче шага: отсчеты сигнала через шаг по времени 0.0018 нс"),
            std::string::npos) << r.text;
  // Sampled at a step dt, a Gaussian of width W has, below 1/(4 dt), its own spectrum plus
  // its first alias from 3/(4 dt): exp(-(0.75 pi W/dt)^2) of the peak, 5 % at W = 0.7346 dt.
  // Every width up to 0.72 dt is refused, every one from 0.75 dt taken, wherever the steps fall.
  for (int i = 5; i <= 150; i += i == 72 ? 3 : 1)
    EXPECT_EQ(bool(gauss(i * 1e-14, PlaneWave())), i <= 72) << "W = " << i * 0.01 << " dt";
  // A zero-mean doublet sampled as one unipolar value is refused by its shape; the message
  // names the least T that passes.
  auto doublet = [](double T) {
    SignalSettings s;
    s.Kind = SigBlackmanHarris;
    s.Params.BlackmanT = T;
    return SignalValueRefusal(s, {1.8e-12, 3000, true, 0, 0});
  };
  for (double x = 0.26; x <= 0.345; x += 0.005) EXPECT_EQ(doublet(x * 1.8e-12).status, Field + "«T, с:»") << x;
  // The number after the words in the message.
  const auto named = [](const std::string& text, const std::string& words) {
    const size_t at = text.find(words);
    EXPECT_NE(at, std::string::npos) << text;
    return at == std::string::npos ? 0.0 : std::stod(text.substr(at + words.size()));
  };
  const double least = named(doublet(0.3 * 1.8e-12).text, "Увеличьте «T, с:» до ");
  EXPECT_EQ(std::tuple(bool(doublet(least)), bool(doublet(least * 0.99)), bool(doublet(1e-9))),
            std::tuple(false, true, false)) << least;
  // Every kind's defaults are taken at the new project's step and at the dipole's.
  for (int kind = 0; kind < SignalKindCount; ++kind)
    for (const double dt : {1.92583e-11, 1.8e-12})
      EXPECT_FALSE(kind != SigFromFile && Check(kind, nullptr, {dt, 3000, true, 0, 0})) << kind << " " << dt;
  // Every kind with a pulse: named by its length, taken when a step or more long.
  using Set = void (*)(SignalParams&);
  const std::tuple<int, Set, Set, const char*> cases[] = {
      {SigGaussRadio, [](SignalParams& p) { p.GaussRadioWidth = 1e-14; },
       [](SignalParams& p) { p.GaussRadioWidth = 2e-12; }, "«Ширина, с:»"},
      {SigBlackmanHarris, [](SignalParams& p) { p.BlackmanT = 1e-14; }, [](SignalParams& p) { p.BlackmanT = 2e-12; },
       "«T, с:»"},
      {SigSlowSin, [](SignalParams& p) { p.SlowSinLong = 3e-13, p.SlowSinTime = 1e-13; },
       [](SignalParams& p) { p.SlowSinLong = 1e-10, p.SlowSinTime = 1e-11; }, "«Длительность, с:»"},
      {SigSlowSin, [](SignalParams& p) { p.SlowSinLong = 1e-13, p.SlowSinTime = 1e-13; },
       [](SignalParams& p) { p.SlowSinLong = 1e-12, p.SlowSinTime = 2e-11; }, "«Время нарастания, с:»"},
      {SigExp, [](SignalParams& p) { p.Exp_a = 1e14, p.Exp_b = 2e14; },
       [](SignalParams& p) { p.Exp_a = 1e11, p.Exp_b = 1e15; }, "«a, 1/с:»"},  // a step-like rise is taken
      {SigExpRadio, [](SignalParams& p) { p.ExpRadio_a = 3e14, p.ExpRadio_b = 2e14; },
       [](SignalParams& p) { p.ExpRadio_a = 1e15, p.ExpRadio_b = 1e11; }, "«b, 1/с:»"},
  };
  for (const auto& [kind, shorter, longer, field] : cases) {
    EXPECT_EQ(Check(kind, shorter).status, Field + field) << kind;
    EXPECT_FALSE(Check(kind, longer)) << kind << ": " << Check(kind, longer).text;
  }
  // A sine just below the sampling limit, Sin(X)/X up to it: no pulse to lose.
  EXPECT_FALSE(Check(SigSin, [](SignalParams& p) { p.SinFreq = 4.9e11; }));
  EXPECT_FALSE(Check(SigSinXdivX, [](SignalParams& p) { p.SinXdivXF = 2 * 4.9e11; }));

  // A signal file's pulse 0.3 ps wide across step 5: not zero there, but a lone sample; the
  // same 400 ns later, in a run of 500 000 steps, is looked at where it is.
  const rvtest::TempDir dir;
  std::string said;  // the last refusal's text
  auto file = [&](const std::string& text, const SignalRunUse& u) {
    rvtest::WriteBytes(dir / "s.srg", text);
    SignalSettings s;
    s.Kind = SigFromFile;
    const SignalFileResult f = LoadSignalFile(s.FileName = dir / "s.srg", UnitNs);
    s.FileLoaded = f.Status == SignalFileStatus::Ok;
    s.File = f.Table;
    const RunRefusal r = SignalValueRefusal(s, u);
    said = r.text;
    return r.status;
  };
  const std::string shortPulse = "Сигнал: импульсы файла сигнала короче шага по времени";
  EXPECT_EQ(file("0.0049 0\n0.00505 1\n0.0052 0\n0.5 0\n", PlaneWave()), shortPulse);
  EXPECT_EQ(file("0.05 0\n0.1 1\n0.15 0\n0.5 0\n", PlaneWave()), "");
  EXPECT_EQ(file("400.0049 0\n400.00505 1\n400.0052 0\n500 0\n", {1e-12, 500000, true, 0, 0}), shortPulse);
  // A 5 V spike of 0.2 ps on a 1 V Gaussian of 20 ps: a small share of the energy, yet a
  // step of 1 ps cannot carry it, wherever it falls; the step the message names can.
  auto gaussian = [](int spike) {
    std::string text;
    for (int i = 1; i <= 1200; ++i) {
      const double t = i * 1e-4, x = (t - 0.06) / 0.02;
      text += std::to_string(t) + " " + std::to_string(std::exp(-x * x) + (i == spike ? 5 : 0)) + "\n";
    }
    return text;
  };
  EXPECT_EQ(file(gaussian(0), PlaneWave()), "");
  EXPECT_EQ(file(gaussian(600), PlaneWave()), shortPulse);
  EXPECT_EQ(file(gaussian(605), PlaneWave()), shortPulse);
  const double stepNs = named(said, "«Геометрия» до ");
  EXPECT_EQ(file(gaussian(605), {stepNs * 1e-9, 20000, true, 0, 0}), "") << stepNs;
}
