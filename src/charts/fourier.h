// Fourier maths of the chart viewer on plain vectors: sampling a curve, the spectrum at
// evenly spaced frequencies (chirp-z on FFTW, exact to rounding and O(n log n)), the
// power-of-two FFT into amplitude and phase and back, and the signal rebuilt from a
// modulus and a phase curve. Nothing here touches a window; long routines report to an
// ILongTask and may be run on a worker thread.
#pragma once
#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

#include "charts/progress.h"

namespace rv {

// Resamples the curve (X increasing) onto n evenly spaced points between its smallest and
// largest X, each rounded to a float first; the samples are weighted by the time step
// dt = dx·timeFactor and stored as floats. A grid point outside the curve's X range gives 0.
// Points whose X is NaN are left out.
// n >= 2 and a curve of at least two points are the caller's to ensure.
// Returns false when the task asked to stop.
bool SampleGraph(const std::vector<double>& X, const std::vector<double>& Y, long long n, double timeFactor,
                 std::vector<float>& s, double& dt, ILongTask* task = nullptr);

// Divides the finite values of Y by the largest of them in magnitude and returns it (1 when
// none is above 0). The samples are floats: a curve of any finite size, so brought to 1,
// keeps their relative precision, where 1e-34 V·1e-12 s would be lost below their range.
// The sums are multiplied back by it.
double ScaleToPeak(std::vector<double>& Y);

// C − i·S at frequencies k·dF for k = kMin .. kMin+count−1, where C and S are the cosine and
// sine sums Σ s[i]·cos(2π·k·dF·i·dt) and Σ s[i]·sin(...). The phase k·i·dF·dt is reduced to
// whole cycles in long double, so large k·i lose nothing. Returns false (out cleared) when
// the task asked to stop.
bool SpectrumSums(const std::vector<float>& s, double dt, double dF, long long kMin, long long count,
                  std::vector<std::complex<double>>& out, ILongTask* task = nullptr);

// The same transform for any complex input x[0..n−1] and any cycle step alpha:
// out[m] = Σ_j x[j]·exp(−2πi·alpha·(kMin+m)·j), m = 0..count−1.
bool ChirpZ(const std::vector<std::complex<double>>& x, long double alpha, long long kMin, long long count,
            std::vector<std::complex<double>>& out, ILongTask* task = nullptr);

// The sums A_k = Σ a[m]·exp(−2πi·k·m/n) for k = kMin .. kMin+count−1 (k < n/2), by FFT.
void FFTSums(const std::vector<float>& a, long long kMin, long long count, std::vector<std::complex<double>>& out);

// The sums of one sample array at the frequencies of a transform (SpectrumSums or FFTSums
// bound to their step and band); false when stopped.
using SampleSums = std::function<bool(const std::vector<float>&, std::vector<std::complex<double>>&)>;
// SpectrumSums bound to its step and band. The first call reports its progress to the
// task; later ones (the corrections, which report their own) only heed its stop.
SampleSums BandSums(double dt, double dF, long long kMin, long long count, ILongTask* task);

// Turns the plain sums z[m] = Σ s[j]·exp(−2πi·f_m·j·dt), f_m = (kMin+m)·dF, of the n samples
// SampleGraph made of a curve (X rising, no NaN) into the Fourier integral of the curve as
// drawn: straight between its points, 0 outside its X range, time counted from the first
// sample. Sampling alone weighs the end samples in full and knows nothing of points that
// fall between samples (a step far shorter than the others, a curve of few points): the
// samples' straight pieces are integrated exactly here, and where the curve leaves them
// inside a step, that difference is added, by its exact integral when few steps hold one,
// else by its moments in each step, whose sums `sums` gives. Differences that together
// could shift no sum by more than 1e-5 of the band's peak are left out. False when the task
// asked to stop.
bool ExactLinearSums(const std::vector<double>& X, const std::vector<double>& Y, long long n,
                     const std::vector<float>& s, double dt, double dF, long long kMin,
                     std::vector<std::complex<double>>& z, const SampleSums& sums, ILongTask* task = nullptr);

// Argument of C − i·S in (−π, π]; 0 when both sums are 0.
double SpectrumPhase(double C, double S);

// Real FFT of a[0..n−1] (n >= 1; the program passes powers of two): for k = 0..n/2−1,
// amplitude[k] = 2·|A_k|/n and phase[k] = arg A_k, A_k = Σ a[m]·exp(−2πi·k·m/n). The output
// arrays are resized to n (entries from n/2 on are 0).
void FFTAmpPhase(const std::vector<float>& a, std::vector<float>& amplitude, std::vector<float>& phase);

// out[m] = Σ_{k<n/2} amplitude′[k]·cos(2π·k·m/n + phase[k]), amplitude′[0] = amplitude[0]/2,
// n the length of amplitude; out is resized to n.
void FFTInverse(const std::vector<float>& amplitude, const std::vector<float>& phase, std::vector<float>& out);

// A signal rebuilt from a spectrum: for i = 0..n, t = tMin + i·dtOut (seconds),
// Y = (1/π)·Σ_j M_j·w0·cos(2π·f_j·t + φ_j), the term at f_j = 0 at half weight; X = t·outFactor.
// M from the modulus curve's Y, f (hertz) and φ from the phase curve's X and Y (equal
// lengths; terms whose frequency is NaN left out). Evenly spaced frequencies (within 1e-9
// of the step) go through the chirp-z; others through the plain sum. A stop keeps the
// points made so far; returns false then.
bool SynthesizeSignal(const std::vector<double>& M, const std::vector<double>& f, const std::vector<double>& phi,
                      double tMin, double dtOut, long long n, double w0, double outFactor, std::vector<double>& outX,
                      std::vector<double>& outY, ILongTask* task = nullptr);

// The plain sums, one sine-cosine pair per term with the phase in double, as the spectrum
// and the synthesis were first defined: what the fast paths are timed against, and the
// synthesis of frequencies that are not evenly spaced.
void SpectrumSumsDirect(const std::vector<float>& s, double dt, double dF, long long kMin, long long count,
                        std::vector<std::complex<double>>& out);
// One rebuilt sample at t (seconds) by the plain sum, divided by π.
double SynthesizePoint(const std::vector<double>& M, const std::vector<double>& f, const std::vector<double>& phi,
                       double t, double w0);

// The first n terms of the linear convolution out[i] = Σ_j a[j]·b[i−j] (missing entries
// count as 0), by one complex FFT of both real inputs and one back. False when stopped.
bool LinearConvolution(const std::vector<double>& a, const std::vector<double>& b, std::size_t n,
                       std::vector<double>& out, ILongTask* task = nullptr);

}  // namespace rv
