#include "project/signalvalues.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

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
  if (ZeroAtSteps(s, u, (long long)std::floor(start / u.StepSec)))
    return Refusal("сигнал из файла равен нулю на всех шагах расчета", file,
                   "его импульсы короче шага по времени " + Ns(u.StepSec) +
                       ": во все моменты шагов расчета сигнал равен нулю",
                   where + " или уменьшите шаг по времени на странице «Геометрия»");
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
  if (ZeroAtSteps(s, u, 0)) {
    // The pulse is shorter than a step: its width, or the slower of the two rates.
    const bool aSlower = k.rateA && k.a < k.b;
    const char* edit = k.width ? k.width : k.rateA ? (aSlower ? k.rateA : k.rateB) : k.ampl;
    return ParamRefusal(s, edit, k.width ? k.W : k.rateA ? (aSlower ? k.a : k.b) : k.A,
                        "во все моменты шагов расчета (шаг по времени " + Ns(u.StepSec) +
                            ") сигнал равен нулю: импульс короче шага");
  }
  return {};
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
