// The source signal of a run: ten waveform kinds and the signal file, as plain settings in,
// value out. The signal window fills a SignalSettings from its edits and hands it to the
// SignalSource; the solver asks the SignalSource for values on the calculation thread.
#pragma once
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "solver/signal.h"

namespace rv {

// Kinds in the order of the window's list.
enum SignalKind : int {
  SigSin = 0,            // "Синусоида"
  SigSlowSin = 1,        // "Радиоимпульс"
  SigGauss = 2,          // "Гауссов импульс"
  SigGaussRadio = 3,     // "Гауссов радиоимпульс"
  SigExp = 4,            // "Двухэкспоненциальный"
  SigExpRadio = 5,       // "Двухэкспоненц. радиоимпульс"
  SigBlackmanHarris = 6, // "Произв. гауссова импульса"
  SigNone = 7,           // "Нет сигнала"
  SigFromFile = 8,       // "Из файла"
  SigSinXdivX = 9,       // "Sin(X)/X"
};
inline constexpr int SignalKindCount = 10;
extern const std::array<const char*, SignalKindCount> SignalKindNames;

// One field per parameter edit; times in seconds, frequencies in hertz. The defaults are the
// edits' default texts.
struct SignalParams {
  double SinFreq = 1e9, SinAmpl = 1;
  double SlowSinFreq = 1e9, SlowSinAmpl = 1, SlowSinTime = 10e-9, SlowSinLong = 100e-9;
  double GaussWidth = 1e-9, GaussAmpl = 1, GaussSymm = 1;
  double GaussRadioWidth = 15e-10, GaussRadioAmpl = 1, GaussRadioFreq = 1e9;
  double Exp_a = 3.77e8, Exp_b = 2.38e9, ExpAmpl = 1.68;
  double ExpRadio_a = 1e8, ExpRadio_b = 1e9, ExpRadioAmpl = 1.45, ExpRadioFreq = 1e9;
  double BlackmanT = 1e-9, BlackmanAmpl = 1;
  double SinXdivXF = 2e9;  // twice the edit's frequency: the pulse is built on F = 2f
  double SinXdivXAmpl = 1;
};

// An edit of a kind's page in the signal window, with its caption there.
struct SignalEdit {
  const char* Name;
  const char* Caption;
};
// The parameter edits of a kind's page in the page's order ("Нет сигнала" and "Из файла"
// have none); empty for an unknown kind.
const std::vector<SignalEdit>& SignalPageEdits(int kind);
// The caption of a parameter edit and the kind whose page holds it (-1 for none).
const char* SignalEditCaption(std::string_view name, int* kind = nullptr);

// The parameter edits in the order ReadSignalParams converts them.
inline constexpr int SignalParamCount = 23;
extern const std::array<const char*, SignalParamCount> SignalParamEdits;

// Converts the edits' texts (texts[i] belongs to SignalParamEdits[i]) into p, in order.
// The first text that is no number stops the conversion: the fields before it keep their
// new values, the later ones their old. Returns that edit's index, or -1 when all converted.
int ReadSignalParams(const std::array<std::string, SignalParamCount>& texts, SignalParams& p);

// The samples of a loaded signal file: (0, 0) first, then the file's pairs in file order,
// times in seconds.
struct SignalTable {
  std::vector<float> Times;
  std::vector<float> Values;
  bool Sorted = true;  // times never decrease (lets the lookup bisect)
};

// Everything a value depends on.
struct SignalSettings {
  int Kind = SigSin;
  SignalParams Params;
  bool FileLoaded = false;
  std::shared_ptr<const SignalTable> File;  // shared, never changed once built
  std::string FileName;  // the file "Из файла" was set to read, for messages
};

// The value of the waveform at t seconds. A negative or not-a-number t, a time outside the
// file's table, an unknown kind and any result that is not a finite number give 0.
double EvaluateSignal(const SignalSettings& s, double t);

// Time units of the signal file, as the window's list has them.
enum SignalFileUnit : int { UnitNs = 0, UnitUs = 1, UnitMs = 2, UnitSec = 3, UnitMetres = 4 };

// Empty: no pair with a time above 0, so nothing to load ("Файл входного сигнала ... не
// содержит данных").
enum class SignalFileStatus { Ok, Missing, BadLine, NoMemory, Empty };
struct SignalFileResult {
  SignalFileStatus Status = SignalFileStatus::Missing;
  std::shared_ptr<const SignalTable> Table;  // set when Ok
  std::string Message;                       // for the user when not Ok
  int BadLine = 0;                           // 1-based line number for BadLine
  double LastTime = 0;                       // last sample time, s (for the preview interval)
};

// Reads a signal file: per line a time and a value separated by blanks or tabs; whatever
// follows the second number is ignored (so the program's own curve files read as signals);
// blank lines and lines whose time is not above 0 are skipped. Times are converted to
// seconds by the unit (any unknown unit counts as seconds). A line that does not start with
// two numbers (or holds a number beyond single precision) fails the whole load with
// "Файл входного сигнала не читается из-за ошибки в строке N". A file too large for the
// memory left gives NoMemory.
SignalFileResult LoadSignalFile(const std::string& path, int timeUnit);

// A name without a folder part is taken from the program's own folder (exeDir ends in "/").
std::string ResolveSignalFileName(const std::string& name, const std::string& exeDir);

// The signal window's refresh before it draws (and the run start's call of it): takes the
// kind, loads the signal file for "Из файла" and reads the parameter texts into s. The
// messages are for the user, in order ("Из файла" with no file named yet reports nothing:
// the signal is zero until a file is chosen). Proceed is false where the handler ends: for
// "Нет сигнала", after a bad line of the signal file, and after a parameter that is no
// number (s then holds the parameters converted before it).
struct SignalRefresh {
  bool Proceed = true;
  std::vector<std::string> Messages;
  int BadParam = -1;     // index into SignalParamEdits, or -1
  double FileLastTime = 0;  // last sample time of a loaded file, s
};
SignalRefresh RefreshSignal(int kind, const std::array<std::string, SignalParamCount>& texts,
                            const std::string& fileName, int timeUnit, SignalSettings& s);

// The signal the solver asks. Settings may be replaced while a run reads values: a caller
// sees either the old or the new settings, never a half-replaced file table.
class SignalSource : public ISignal {
public:
  SignalSource();
  explicit SignalSource(SignalSettings s);
  void Set(SignalSettings s);
  SignalSettings Get() const;
  double GetSignal(double timeSec) const override;
  // The settings as they stand now, read without the lock.
  std::shared_ptr<const ISignal> Snapshot() const override;

private:
  mutable std::mutex m_;
  std::shared_ptr<const SignalSettings> s_;
};

// Preset double-exponential pulses of the window: a and b (1/s) and the factor that turns
// the wanted peak into the amplitude A.
struct ExpPreset {
  const char* Caption;
  double a, b, Factor;
};
inline constexpr std::array<ExpPreset, 3> ExpPresets = {{
    {"0,5/3 нс", 382204000.0, 2356220000.0, 1.69749},
    {"5/25 нс", 55935868.0, 195157640.0, 2.3159006},
    {"25/400 нс", 2031365.0, 68722970.0, 1.147129},
}};
// Sets a, b and A of the double-exponential kind (radio = false) or its radio-pulse kind.
void ApplyExpPreset(SignalParams& p, int preset, double peak, bool radio);

// The window's pulse measurement over sampled points (x ascending): the amplitude (largest
// value, or smallest for a negative pulse), the rise from 10 % to 90 % of it and the width
// between the rising and the falling 50 % crossings, by linear interpolation.
struct PulseMeasure {
  bool Valid = false;    // at least 2 points and not constant
  double Amplitude = 0;
  bool HasRise = false;  // the 90 % crossing was found
  double Rise = 0;       // t90 - t10
  bool HasWidth = false; // the falling 50 % crossing was found
  double Width = 0;      // t50 falling - t50 rising
  double T10 = 0, T50 = 0, T90 = 0, T50Fall = 0;
};
PulseMeasure MeasurePulse(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace rv
