// The spectrum commands' rules on the chart model: what one curve's transform will be
// (sizes, band, divisor, refusals), its computation over copied points (worker side), the
// graphs it leaves in the chart, and the signal rebuilt from a modulus and a phase graph.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "charts/chartmodel.h"
#include "charts/progress.h"

namespace rv {

// The fields of the spectrum dialog, already read as numbers.
struct SpectrumOptions {
  int type = 0;  // 0: DFT at chosen frequencies, 1: FFT
  double fMin = 0, fMax = 1e9, dF = 1e6;  // Hz
  bool autoStep = false;  // step from the record length
  bool inverse = false;   // rebuild the signal at once
  bool absolute = true;   // divide the modulus by half the record length
  bool noPhase = true;    // drop the phase graph
  int cbTime = 0, cbFreq = 0;
};

// Unit factors by list index: graph time to seconds (ns, µs, ms, s), hertz to the output
// frequency unit (Hz, kHz, MHz, GHz), seconds to the rebuilt graph's time unit (ns, µs,
// ms, s). Any other index gives 1.
double TimeUnitFactor(int index);
double FreqUnitFactor(int index);
double OutputTimeFactor(int index);
// A list index of the frequency unit brought into range (any other gives hertz, 0).
int FreqUnitIndex(int index);
// A copy of a spectrum graph with X in hertz, from X in the unit of list index `unit`.
ChartSeries InHertz(const ChartSeries& g, int unit);
// The X-axis titles of those units, as the titles dialog offers them ("f, Гц" .. "f, ГГц";
// "t, нс" .. "t, с"); any other index gives the first.
std::string FrequencyAxisTitle(int index);
std::string TimeAxisTitle(int index);

inline constexpr long long kMaxSpectrumSamples = 10'000'000;
inline constexpr long long kMaxSpectrumFreqs = 10'000'000;
inline constexpr long long kMaxFftSamples = 1LL << 24;
inline constexpr long long kMaxRebuiltPoints = 10'000'000;

inline constexpr const char* kTooManySamples =
    "Требуется очень много шагов по времени.\nПохоже на ошибку в выборе графика или в единицах измерения времени";

// The samples of the DFT and the impedance: the band's Round(2·T·fTop) + 1 (at least 200;
// fTop the band's largest |f|), and no fewer than the curve's points (`points`), up to
// kMaxSpectrumSamples. The curve's points that fall between samples cost no extra samples:
// the sums integrate the curve as drawn (ExactLinearSums). False when the band alone asks
// for more than kMaxSpectrumSamples (the kTooManySamples refusal).
bool BandSampleCount(long long points, double fTop, double T, long long& N);
// The FFT's samples: a power of two not below the curve's points nor below the band's
// count. 0 when either is more than kMaxFftSamples (the spectrum would end below fMax).
long long FftSampleCount(long long points, double fMax, double T);

// One curve's transform, worked out before any work. A curve whose X both rise and fall is
// refused (UnorderedTimeText); one whose X fall is taken backwards, as it is drawn.
struct SpectrumPlan {
  std::string error;        // refused: the message; nothing is made for this curve
  bool endCommand = false;  // the refusal ends the whole command
  long long N = 0;          // samples
  long long kMin = 0, count = 0;  // DFT: frequencies k·dF for k = kMin .. kMin+count−1
  double dF = 0;            // DFT: the step used; FFT: 1/(N·dt)
  double ut = 1, uf = 1, T = 0, D = 1, minX = 0, maxX = 0;
};
SpectrumPlan PlanSpectrum(const ChartSeries& g, const SpectrumOptions& o);

// The points of a curve's modulus and phase graphs (X in the output frequency unit).
struct SpectrumCurves {
  std::vector<double> X, modulus, phase;
  double divisor = 1;  // what the moduli were divided by
};
// Samples the copied points and transforms them into the Fourier integral of the curve as
// drawn (ExactLinearSums); false when the task asked to stop.
bool ComputeSpectrum(const std::vector<double>& X, const std::vector<double>& Y, const SpectrumPlan& p,
                     const SpectrumOptions& o, SpectrumCurves& out, ILongTask* task = nullptr);

// The Y titles a spectrum's graphs carry to their files.
inline constexpr const char* kSpectrumModulusTitle = "Модуль спектра";
inline constexpr const char* kSpectrumPhaseTitle = "Фаза спектра, рад";
// Marks a modulus and a phase graph as a spectrum with X in the frequency unit of list
// index `unit`: the unit and the titles they carry.
void MarkSpectrum(ChartSeries& modulus, ChartSeries& phase, int unit);

// Appends the modulus graph (carrying its divisor) and the phase graph made for the source
// curve (DFT: titled after it, "Без имени-" names, the active graph kept; FFT:
// "Модуль FFT: " and "Фаза FFT: " made active in turn), titles the X axis with the
// frequency unit and closes the phase graph when the options drop it.
void AddSpectrumGraphs(ChartModel& m, const std::string& sourceTitle, const SpectrumOptions& o,
                       const SpectrumCurves& c);

// The inverse check's time fields for a source curve: the record in seconds from its first
// X rounded to a float ("От" is 0 or the rounding's residue).
void InverseCheckTimes(const ChartSeries& g, int cbTime, std::string& edTMin, std::string& edTMax);

// A rebuilding worked out from the fields and the two spectrum graphs.
struct SynthesisPlan {
  std::string error;    // refused: nothing is made
  std::string message;  // the time span was shortened to fit the frequency step
  double tMin = 0, tMax = 0, dtOut = 0, df = 0, w0 = 0;
  long long n = 0;
};
// limit: 1 for the rebuild command and the FFT check, 0.5 for the DFT check (the span is
// cut to limit/df when limit/tMax < df).
SynthesisPlan PlanSynthesis(double tMin, double tMax, long long n, const ChartSeries& modulus,
                            const ChartSeries& phase, double limit);
// The rebuilt signal from copies of the modulus and phase graphs (SynthesizeSignal), each
// modulus multiplied by `divisor`, what the spectrum divided it by, so a spectrum made
// with any divisor gives the signal back. A stop keeps the points made so far and returns
// false.
bool RebuildSignal(const ChartSeries& modulus, const ChartSeries& phase, const SynthesisPlan& sp, double divisor,
                   double outFactor, std::vector<double>& x, std::vector<double>& y, ILongTask* task = nullptr);
// The rebuild command's refusal when the chart lacks the two graphs, or when the last two
// are graphs made here that are not a modulus followed by its phase (empty: go on).
std::string SynthesisSourceError(const ChartModel& m);
// The record length in seconds that a phase graph's frequency step implies (1/df, X in the
// unit of list index `unit`); 0 when its first two frequencies do not give a step.
double ImpliedRecordLength(const ChartSeries& phase, int unit);
// The points a signal rebuilt over that record needs to show the spectrum's highest
// frequency: two per frequency of the graph (one sample per half period at the top), never
// fewer than 256 nor more than 2^20.
long long ImpliedPointCount(const ChartSeries& phase);

// Closes the two spectrum graphs in front of the last graph (the phase, then the modulus).
void CloseSpectrumPair(ChartModel& m);

}  // namespace rv
