#include "project/signalsource.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <exception>
#include <filesystem>
#include <new>

#include "project/rowexp.h"
#include "solver/textutils.h"
#include "solver/codepage.h"
#include "solver/constants.h"
#include "solver/kernelattrs.h"
#include "solver/numtext.h"

namespace rv {

const std::array<const char*, SignalKindCount> SignalKindNames = {
    "Синусоида",
    "Радиоимпульс",
    "Гауссов импульс",
    "Гауссов радиоимпульс",
    "Двухэкспоненциальный",
    "Двухэкспоненц. радиоимпульс",
    "Произв. гауссова импульса",
    "Нет сигнала",
    "Из файла",
    "Sin(X)/X",
};

const std::array<const char*, SignalParamCount> SignalParamEdits = {
    "edSinFreq",       "edSinAmpl",        "edSlowSinFreq",    "edSlowSinAmpl",
    "edSlowSinTime",   "edSlowSinLong",    "edGaussWidth",     "edGaussAmpl",
    "edGaussRadioWidth", "edGaussRadioAmpl", "edGaussRadioFreq", "edExp_a",
    "edExp_b",         "edExpAmpl",        "edExpRadio_a",     "edExpRadio_b",
    "edExpRadioAmpl",  "edExpRadioFreq",   "edBlackmanT",      "edBlackmanAmpl",
    "edSinXdivXFreq",  "edSinXdivXAmpl",   "edGaussSymm",
};

namespace {

constexpr const char* AmplitudeCaption = "Амплитуда, В (В/м):";

const std::vector<SignalEdit> kPageEdits[SignalKindCount] = {
    {{"edSinFreq", "Частота, Гц:"}, {"edSinAmpl", AmplitudeCaption}},
    {{"edSlowSinFreq", "Частота, Гц:"}, {"edSlowSinAmpl", AmplitudeCaption},
     {"edSlowSinTime", "Время нарастания, с:"}, {"edSlowSinLong", "Длительность, с:"}},
    {{"edGaussWidth", "Ширина, с:"}, {"edGaussAmpl", AmplitudeCaption}, {"edGaussSymm", "Симметрия:"}},
    {{"edGaussRadioWidth", "Ширина, с:"}, {"edGaussRadioAmpl", AmplitudeCaption},
     {"edGaussRadioFreq", "Частота заполнения, Гц:"}},
    {{"edExp_a", "a, 1/с:"}, {"edExp_b", "b, 1/с:"}, {"edExpAmpl", AmplitudeCaption}},
    {{"edExpRadio_a", "a, 1/с:"}, {"edExpRadio_b", "b, 1/с:"}, {"edExpRadioAmpl", AmplitudeCaption},
     {"edExpRadioFreq", "Частота заполнения, Гц:"}},
    {{"edBlackmanT", "T, с:"}, {"edBlackmanAmpl", AmplitudeCaption}},
    {},
    {},
    {{"edSinXdivXFreq", "Частота, Гц:"}, {"edSinXdivXAmpl", AmplitudeCaption}},
};

double* ParamField(SignalParams& p, int i) {
  switch (i) {
    case 0: return &p.SinFreq;
    case 1: return &p.SinAmpl;
    case 2: return &p.SlowSinFreq;
    case 3: return &p.SlowSinAmpl;
    case 4: return &p.SlowSinTime;
    case 5: return &p.SlowSinLong;
    case 6: return &p.GaussWidth;
    case 7: return &p.GaussAmpl;
    case 8: return &p.GaussRadioWidth;
    case 9: return &p.GaussRadioAmpl;
    case 10: return &p.GaussRadioFreq;
    case 11: return &p.Exp_a;
    case 12: return &p.Exp_b;
    case 13: return &p.ExpAmpl;
    case 14: return &p.ExpRadio_a;
    case 15: return &p.ExpRadio_b;
    case 16: return &p.ExpRadioAmpl;
    case 17: return &p.ExpRadioFreq;
    case 18: return &p.BlackmanT;
    case 19: return &p.BlackmanAmpl;
    case 20: return &p.SinXdivXF;
    case 21: return &p.SinXdivXAmpl;
    case 22: return &p.GaussSymm;
    default: return nullptr;
  }
}

// Double precision throughout: the fields the values drive are floats, and every kind
// keeps its value to far better than float precision over any time a run can reach.
constexpr double Pi = 3.141592653589793238462643383279502884;
constexpr double TwoPi = 2 * Pi;
// The derivative-of-Gaussian pulse is scaled so its peak magnitude is close to 2A.
constexpr double BlackmanNorm = 0.8577;

double Sq(double x) { return x * x; }

double FileValue(const SignalSettings& s, double t) {
  if (!s.FileLoaded || !s.File) return 0;
  const std::vector<float>& T = s.File->Times;
  const std::vector<float>& V = s.File->Values;
  const size_t n = std::min(T.size(), V.size());
  if (n == 0 || t > double(T[n - 1]) || t < double(T[0])) return 0;
  size_t i = 0;
  if (s.File->Sorted) {
    // First sample strictly after t; every sample before it is at or before t.
    i = size_t(std::upper_bound(T.begin(), T.begin() + n, t,
                                [](double a, float b) { return a < double(b); }) -
               T.begin());
    if (i == 0 || i >= n) return 0;
  } else {
    for (i = 1; i < n; ++i)
      if (double(T[i - 1]) <= t && t < double(T[i])) break;
    if (i >= n) return 0;  // t equal to the last time
  }
  const double t0 = T[i - 1], t1 = T[i];
  return ((t - t0) * double(V[i]) + (t1 - t) * double(V[i - 1])) / (t1 - t0);
}

// Each kind's value at a time t >= 0, in the order of the kinds.
double SinValue(const SignalSettings& s, double t) {
  const SignalParams& p = s.Params;
  return p.SinAmpl * std::sin(TwoPi * p.SinFreq * t);
}
double SlowSinValue(const SignalSettings& s, double t) {
  const SignalParams& p = s.Params;
  const double T = p.SlowSinTime, D = p.SlowSinLong;
  const double v = p.SlowSinAmpl * std::sin(TwoPi * p.SlowSinFreq * t);
  if (t < 2.5 * T) return v * ExpOf(-Sq((t - 2.5 * T) / T));
  if (t <= D) return v;
  return v * ExpOf(-Sq((t - D) / T));
}

// Kinds whose value is a formula of t and of exp at one or two exponents of t (e1 unused
// with one), built once from the parameters: a row takes its exponents first, their
// exponentials as one row, then its values; ExpOf gives a value alone the row's bits.
// Widths enter as reciprocals, so a row multiplies where it would divide.
struct GaussKind {
  static constexpr int Exps = 1;
  double t0, rise, fall, a;  // 1/W before the peak, 1/(W S) after it
  explicit GaussKind(const SignalParams& p)
      : t0(3 * p.GaussWidth), rise(1 / p.GaussWidth), fall(1 / (p.GaussWidth * p.GaussSymm)), a(p.GaussAmpl) {}
  void Exponents(double t, double& e0, double& e1) const {
    const double d = t - t0, x = d * (d < 0 ? rise : fall);
    e0 = -x * x;
    e1 = 0;
  }
  double Value(double, double x0, double) const { return a * x0; }
};
struct GaussRadioKind {
  static constexpr int Exps = 1;
  double t0, r, a, w;
  explicit GaussRadioKind(const SignalParams& p)
      : t0(3 * p.GaussRadioWidth), r(1 / p.GaussRadioWidth), a(p.GaussRadioAmpl), w(TwoPi * p.GaussRadioFreq) {}
  void Exponents(double t, double& e0, double& e1) const {
    e0 = -Sq((t - t0) * r);
    e1 = 0;
  }
  double Value(double t, double x0, double) const { return a * x0 * std::sin(w * t); }
};
struct ExpKind {
  static constexpr int Exps = 2;
  double na, nb, a;
  explicit ExpKind(const SignalParams& p) : na(-p.Exp_a), nb(-p.Exp_b), a(p.ExpAmpl) {}
  void Exponents(double t, double& e0, double& e1) const {
    e0 = na * t;
    e1 = nb * t;
  }
  double Value(double, double x0, double x1) const { return a * (x0 - x1); }
};
struct ExpRadioKind {
  static constexpr int Exps = 2;
  double na, nb, a, w;
  explicit ExpRadioKind(const SignalParams& p)
      : na(-p.ExpRadio_a), nb(-p.ExpRadio_b), a(p.ExpRadioAmpl), w(TwoPi * p.ExpRadioFreq) {}
  void Exponents(double t, double& e0, double& e1) const {
    e0 = na * t;
    e1 = nb * t;
  }
  double Value(double t, double x0, double x1) const { return a * (x0 - x1) * std::sin(w * t); }
};
struct BlackmanKind {
  static constexpr int Exps = 1;
  double t0, r, k, a;
  explicit BlackmanKind(const SignalParams& p)
      : t0(3 * p.BlackmanT), r(1 / p.BlackmanT), k(-4 / p.BlackmanT / BlackmanNorm), a(p.BlackmanAmpl) {}
  void Exponents(double t, double& e0, double& e1) const {
    const double x = (t - t0) * r;
    e0 = -x * x;
    e1 = 0;
  }
  double Value(double t, double x0, double) const { return x0 * k * (t - t0) * a; }
};

template <class K>
double ExpKindValue(const SignalSettings& s, double t) {
  const K k(s.Params);
  double e0, e1;
  k.Exponents(t, e0, e1);
  return k.Value(t, ExpOf(e0), K::Exps > 1 ? ExpOf(e1) : 0.0);
}

double NoValue(const SignalSettings&, double) { return 0; }  // "Нет сигнала"
double SinXdivXValue(const SignalSettings& s, double t) {
  const SignalParams& p = s.Params;
  const double F = p.SinXdivXF, x = t - 50 / F;
  if (x == 0) return p.SinXdivXAmpl;
  const double a = Pi * F * x;
  return p.SinXdivXAmpl * std::sin(a) / a;
}

using KindValue = double (*)(const SignalSettings&, double);

// 0 before time zero (or for a time that is not a number), and for any result that is not
// a finite number: such a source would poison every field it touches.
template <KindValue F>
double Checked(const SignalSettings& s, double t) {
  if (!(t >= 0)) return 0;
  const double v = F(s, t);
  return std::isfinite(v) ? v : 0.0;
}

// A row of values of one kind: the kind is chosen once, and its formula is inlined.
template <KindValue F>
void Row(const SignalSettings& s, const double* t, double* v, int n) {
  for (int i = 0; i < n; ++i) v[i] = Checked<F>(s, t[i]);
}

// A row of values of a kind with exponentials, as Row<ExpKindValue<K>> gives it.
template <class K>
RV_KERNEL void ExpKindRow(const SignalSettings& s, const double* t, double* v, int n) {
  constexpr int kBlock = 256;
  double e[2][kBlock];
  const K k(s.Params);
  for (int b0 = 0; b0 < n; b0 += kBlock) {
    const int nb = std::min(kBlock, n - b0);
    const double* tb = t + b0;
    for (int i = 0; i < nb; ++i) k.Exponents(tb[i], e[0][i], e[1][i]);
    for (int j = 0; j < K::Exps; ++j) ExpRow(e[j], e[j], nb);
    // Checked's rule without branches: a value counts from time 0 on, and only when finite.
    for (int i = 0; i < nb; ++i) {
      const double x = k.Value(tb[i], e[0][i], e[1][i]);
      v[b0 + i] = ((tb[i] >= 0) & (std::fabs(x) <= DBL_MAX)) ? x : 0.0;
    }
  }
}

struct KindEntry {
  double (*one)(const SignalSettings&, double);
  void (*row)(const SignalSettings&, const double*, double*, int);
};
template <KindValue F>
constexpr KindEntry Entry() {
  return {Checked<F>, Row<F>};
}
template <class K>
constexpr KindEntry ExpEntry() {
  return {Checked<ExpKindValue<K>>, ExpKindRow<K>};
}
constexpr KindEntry kKinds[SignalKindCount] = {
    Entry<SinValue>(),         Entry<SlowSinValue>(),      ExpEntry<GaussKind>(),
    ExpEntry<GaussRadioKind>(), ExpEntry<ExpKind>(),        ExpEntry<ExpRadioKind>(),
    ExpEntry<BlackmanKind>(),  Entry<NoValue>(),           Entry<FileValue>(),
    Entry<SinXdivXValue>()};
static_assert(SigSin == 0 && SigSlowSin == 1 && SigGauss == 2 && SigGaussRadio == 3 && SigExp == 4 &&
                  SigExpRadio == 5 && SigBlackmanHarris == 6 && SigNone == 7 && SigFromFile == 8 &&
                  SigSinXdivX == 9 && SignalKindCount == 10,
              "the table follows the kinds' order");

// Unknown kinds give 0.
const KindEntry* KindOf(const SignalSettings& s) {
  return s.Kind >= 0 && s.Kind < SignalKindCount ? &kKinds[s.Kind] : &kKinds[SigNone];
}

}  // namespace

const std::vector<SignalEdit>& SignalPageEdits(int kind) {
  static const std::vector<SignalEdit> none;
  return kind >= 0 && kind < SignalKindCount ? kPageEdits[kind] : none;
}

const char* SignalEditCaption(std::string_view name, int* kind) {
  for (int k = 0; k < SignalKindCount; ++k)
    for (const SignalEdit& e : kPageEdits[k])
      if (name == e.Name) {
        if (kind) *kind = k;
        return e.Caption;
      }
  if (kind) *kind = -1;
  return "";
}

int ReadSignalParams(const std::array<std::string, SignalParamCount>& texts, SignalParams& p) {
  for (int i = 0; i < SignalParamCount; ++i) {
    double v;
    if (!TryStrToFloat(texts[size_t(i)], v)) return i;
    if (i == 20) v *= 2;  // the sin(x)/x pulse is built on twice its frequency
    *ParamField(p, i) = v;
  }
  return -1;
}

double EvaluateSignal(const SignalSettings& s, double t) {
  try {
    return KindOf(s)->one(s, t);
  } catch (...) {
    return 0;
  }
}

std::string ResolveSignalFileName(const std::string& name, const std::string& exeDir) {
  if (name.find('/') != std::string::npos) return name;
  return exeDir + name;
}

namespace {

// Splits off the next word at blanks or tabs; false when none is left.
bool NextWord(std::string_view s, size_t& pos, std::string_view& w) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
  if (pos >= s.size()) return false;
  const size_t b = pos;
  while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t') ++pos;
  w = s.substr(b, pos - b);
  return true;
}

double TimeScale(int unit, double t) {
  switch (unit) {
    case UnitNs: return t * 1e-9;
    case UnitUs: return t * 1e-6;
    case UnitMs: return t * 1e-3;
    case UnitMetres: return t / double(LightSpeed);  // the file gives c*t
    default: return t;                               // seconds, and any other unit
  }
}

bool FitsFloat(double v) { return std::fabs(v) <= double(FLT_MAX); }

}  // namespace

namespace {

SignalFileResult ReadSignalFile(const std::string& path, int timeUnit) {
  SignalFileResult r;
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
    r.Status = SignalFileStatus::Missing;
    r.Message = "Нет файла входного сигнала " + path;
    return r;
  }
  std::string text, err;
  if (!ReadTextFile(path, text, err)) {
    r.Status = SignalFileStatus::Missing;
    r.Message = err;
    return r;
  }
  auto table = std::make_shared<SignalTable>();
  table->Times.push_back(0.0f);
  table->Values.push_back(0.0f);
  LineReader lines(text);
  for (std::string_view line; lines.Next(line);) {
    size_t pos = 0;
    std::string_view w1, w2;
    if (!NextWord(line, pos, w1)) continue;  // a blank line holds no pair
    double t, v;
    const bool numbers = NextWord(line, pos, w2) && TryStrToFloat(w1, t) && TryStrToFloat(w2, v);
    const double ts = numbers ? TimeScale(timeUnit, t) : 0;
    // Numbers the run's 32-bit values cannot hold are named, with the limit.
    std::string beyond;
    if (numbers && !FitsFloat(v)) beyond = "значение " + TextPiece(w2);
    else if (numbers && !FitsFloat(ts)) beyond = "время " + TextPiece(w1);
    if (!numbers || !beyond.empty()) {
      r.Status = SignalFileStatus::BadLine;
      r.BadLine = int(std::min<size_t>(lines.Number(), size_t(INT_MAX)));
      r.Message = "Файл входного сигнала не читается из-за ошибки в строке " +
                  IntToStr((long long)lines.Number());
      if (!beyond.empty()) r.Message += ": " + beyond + " по модулю больше 3.4E38, предела чисел расчета";
      return r;
    }
    if (!(t > 0)) continue;
    table->Times.push_back(float(ts));
    table->Values.push_back(float(v));
  }
  if (table->Times.size() == 1) {
    // Only the leading (0, 0): a "signal" of zeros would pass for a loaded file.
    r.Status = SignalFileStatus::Empty;
    r.Message = "Файл входного сигнала " + path +
                " не содержит данных: нет ни одной строки со временем больше 0.";
    return r;
  }
  table->Times.shrink_to_fit();
  table->Values.shrink_to_fit();
  for (size_t i = 1; i < table->Times.size(); ++i)
    if (table->Times[i] < table->Times[i - 1]) { table->Sorted = false; break; }
  r.LastTime = table->Times.back();
  r.Table = std::move(table);
  r.Status = SignalFileStatus::Ok;
  return r;
}

}  // namespace

SignalFileResult LoadSignalFile(const std::string& path, int timeUnit) {
  try {
    return ReadSignalFile(path, timeUnit);
  } catch (const std::bad_alloc&) {
    SignalFileResult r;
    r.Status = SignalFileStatus::NoMemory;
    r.Message = NoMemoryMessage(path);
    return r;
  }
}

SignalRefresh RefreshSignal(int kind, const std::array<std::string, SignalParamCount>& texts,
                            const std::string& fileName, int timeUnit, SignalSettings& s) {
  SignalRefresh r;
  s.Kind = kind;
  if (kind == SigNone) {
    r.Proceed = false;
    return r;
  }
  if (kind == SigFromFile) s.FileName = fileName;
  if (kind == SigFromFile && fileName.empty()) {
    s.FileLoaded = false;
  } else if (kind == SigFromFile) {
    SignalFileResult f = LoadSignalFile(fileName, timeUnit);
    s.FileLoaded = f.Status == SignalFileStatus::Ok;
    if (s.FileLoaded) {
      s.File = std::move(f.Table);
      r.FileLastTime = f.LastTime;
    } else if (f.Status != SignalFileStatus::Missing) {
      r.Messages.push_back(f.Message);
      r.Proceed = false;
      return r;
    } else {
      // The name it looked for: a file the user believes is there may be elsewhere.
      r.Messages.push_back("Ошибка: нет заданного файла сигнала или его формат неверен\nФайл: " +
                           fileName);
    }
  }
  r.BadParam = ReadSignalParams(texts, s.Params);
  if (r.BadParam >= 0) {
    // Every kind's edits are read: the page that holds the text is named with the field.
    int page = -1;
    const char* name = SignalParamEdits[size_t(r.BadParam)];
    const std::string caption = SignalEditCaption(name, &page);
    r.Messages.push_back("Обнаружены ошибки в значениях параметров сигналов\n«" + caption + "» = \"" +
                         TextPiece(texts[size_t(r.BadParam)]) + "\" (вид сигнала «" + SignalKindNames[size_t(std::max(page, 0))] +
                         "») не является числом.");
    r.Proceed = false;
  }
  return r;
}

SignalSource::SignalSource() : s_(std::make_shared<SignalSettings>()) {}
SignalSource::SignalSource(SignalSettings s)
    : s_(std::make_shared<SignalSettings>(std::move(s))) {}

void SignalSource::Set(SignalSettings s) {
  auto p = std::make_shared<const SignalSettings>(std::move(s));
  std::lock_guard<std::mutex> lk(m_);
  s_.swap(p);
}

SignalSettings SignalSource::Get() const {
  std::lock_guard<std::mutex> lk(m_);
  return *s_;
}

double SignalSource::GetSignal(double timeSec) const {
  std::shared_ptr<const SignalSettings> s;
  {
    std::lock_guard<std::mutex> lk(m_);
    s = s_;
  }
  return EvaluateSignal(*s, timeSec);
}

namespace {

// v[i] := EvaluateSignal(s, t[i]) for i < n, the kind chosen once.
void EvaluateSignals(const SignalSettings& s, const double* t, double* v, int n) {
  try {
    KindOf(s)->row(s, t, v, n);
  } catch (...) {
    for (int i = 0; i < n; ++i) v[i] = EvaluateSignal(s, t[i]);
  }
}

class FixedSignal : public ISignal {
public:
  explicit FixedSignal(std::shared_ptr<const SignalSettings> s) : s_(std::move(s)) {}
  double GetSignal(double timeSec) const override { return EvaluateSignal(*s_, timeSec); }
  void GetSignals(const double* t, double* v, int n) const override { EvaluateSignals(*s_, t, v, n); }

private:
  std::shared_ptr<const SignalSettings> s_;
};

}  // namespace

std::shared_ptr<const ISignal> SignalSource::Snapshot() const {
  std::lock_guard<std::mutex> lk(m_);
  return std::make_shared<FixedSignal>(s_);
}

void ApplyExpPreset(SignalParams& p, int preset, double peak, bool radio) {
  if (preset < 0 || preset >= int(ExpPresets.size())) return;
  const ExpPreset& e = ExpPresets[size_t(preset)];
  if (radio) {
    p.ExpRadio_a = e.a; p.ExpRadio_b = e.b; p.ExpRadioAmpl = peak * e.Factor;
  } else {
    p.Exp_a = e.a; p.Exp_b = e.b; p.ExpAmpl = peak * e.Factor;
  }
}

PulseMeasure MeasurePulse(const std::vector<double>& x, const std::vector<double>& y) {
  PulseMeasure m;
  const size_t n = std::min(x.size(), y.size());
  if (n < 2) return m;
  double lo = y[0], hi = y[0];
  for (size_t i = 1; i < n; ++i) { lo = std::min(lo, y[i]); hi = std::max(hi, y[i]); }
  if (lo == hi) return m;
  m.Valid = true;
  const bool positive = std::fabs(hi) >= std::fabs(lo);
  m.Amplitude = positive ? hi : lo;
  // A negative pulse is measured as the mirrored positive one.
  const double s = positive ? 1.0 : -1.0, amp = s * m.Amplitude;
  auto Y = [&](size_t i) { return s * y[i]; };
  auto Cross = [&](size_t i, double level) {
    const double y0 = Y(i - 1), y1 = Y(i);
    return x[i - 1] + (level - y0) * (x[i] - x[i - 1]) / (y1 - y0);
  };
  const double levels[3] = {0.1 * amp, 0.5 * amp, 0.9 * amp};
  double found[3] = {0, 0, 0};
  int stage = 0;  // 0..2 rising levels, 3 the falling 50 %, 4 done
  if (Y(0) >= levels[0]) {
    // Already above a level at the first point: those crossings lie there.
    while (stage < 3 && Y(0) >= levels[stage]) found[stage++] = x[0];
  }
  for (size_t i = 1; i < n && stage < 4; ++i) {
    while (stage < 3 && Y(i - 1) < levels[stage] && Y(i) >= levels[stage]) {
      found[stage] = Cross(i, levels[stage]);
      ++stage;
    }
    if (stage == 3 && Y(i - 1) > levels[1] && Y(i) <= levels[1]) {
      m.T50Fall = Cross(i, levels[1]);
      stage = 4;
    }
  }
  m.T10 = found[0];
  m.T50 = found[1];
  m.T90 = found[2];
  if (stage >= 3) { m.HasRise = true; m.Rise = m.T90 - m.T10; }
  if (stage == 4) { m.HasWidth = true; m.Width = m.T50Fall - m.T50; }
  return m;
}

}  // namespace rv
