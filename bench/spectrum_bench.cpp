// Spectrum of a long curve and the signal rebuilt from it, on one thread, against the plain
// sums (timed on a slice and scaled to the whole); the spectrum and the impedance of a long
// curve in a narrow band, of one with a step a thousandth of the others ("tiny"), and of
// one whose times are shaken off any even grid, so that every sampling step holds a point
// ("shaken"), and of one on the grid a run writes, times i·0.001 ns that binary fractions
// cannot hold exactly ("grid"). An argument names the one case to run ("full", "narrow",
// "tiny", "shaken", "grid"); none runs them all.
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "charts/chartmodel.h"
#include "charts/fourier.h"
#include "charts/measure.h"
#include "charts/spectrum.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void Report(const char* name, long long samples, long long freqs, double s, double d) {
  std::printf("bench: case=%s samples=%lld freqs=%lld seconds=%.4f direct_seconds=%.2f speedup=%.0f\n", name,
              samples, freqs, s, d, d / s);
  std::fflush(stdout);
}

// A damped sine in nanoseconds, 0..n/100 ns at 0.01 ns.
rv::ChartSeries DampedSine(long long n) {
  rv::ChartSeries g;
  g.Title = "long";
  g.X.reserve(n + 1);
  g.Y.reserve(n + 1);
  for (long long i = 0; i <= n; ++i) {
    const double t = double(i) * 0.01;
    g.AddXY(t, std::exp(-t / 3000.0) * std::sin(t * 0.37));
  }
  return g;
}

// The DFT and FFT spectra and the impedance of `g` (against itself) from 0 to fMax, the DFT
// in 1000 steps.
int BandCase(const char* name, const rv::ChartSeries& g, double fMax) {
  rv::SpectrumOptions o;
  o.fMax = fMax;
  o.dF = fMax / 1000;
  auto t0 = Clock::now();
  const rv::SpectrumPlan p = rv::PlanSpectrum(g, o);
  rv::SpectrumCurves c;
  if (!p.error.empty() || !rv::ComputeSpectrum(g.X, g.Y, p, o, c)) return 1;
  const double spectrum = Since(t0);
  o.type = 1;
  t0 = Clock::now();
  const rv::SpectrumPlan fp = rv::PlanSpectrum(g, o);
  if (!fp.error.empty() || !rv::ComputeSpectrum(g.X, g.Y, fp, o, c)) return 1;
  const double fft = Since(t0);
  rv::ImpedanceOptions io;
  io.fMax = o.fMax;
  io.dF = o.dF;
  t0 = Clock::now();
  const rv::GraphSpectrumPlan ip = rv::PlanGraphSpectrum(g, io);
  rv::GraphSpectrum u, i;
  if (!ip.error.empty() || !rv::ComputeGraphSpectrum(g.X, g.Y, ip, io, u) ||
      !rv::ComputeGraphSpectrum(g.X, g.Y, ip, io, i))
    return 1;
  const double impedance = Since(t0);
  std::printf("bench: case=%s points=%zu samples=%lld freqs=%lld spectrum_seconds=%.4f fft_samples=%lld "
              "fft_seconds=%.4f impedance_seconds=%.4f\n",
              name, g.Count(), p.N, p.count, spectrum, fp.N, fft, impedance);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* only = argc > 1 ? argv[1] : nullptr;
  auto runs = [&](const char* name) { return !only || std::strcmp(only, name) == 0; };
  // 1,000,000 points in 1 GHz: the band alone would take 20,001 samples.
  if (runs("narrow") && BandCase("narrow", DampedSine(1000000), 1e9) != 0) return 1;
  if (runs("tiny")) {
    // 100,000 points, one step a thousandth of the others.
    rv::ChartSeries h = DampedSine(100000);
    h.X[1] = h.X[0] + 1e-5;
    if (BandCase("tiny", h, 1e9) != 0) return 1;
  }
  if (runs("shaken")) {
    // 1,000,000 points, each time moved by up to 0.4 of a step.
    rv::ChartSeries h = DampedSine(1000000);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> shake(-0.004, 0.004);
    for (std::size_t i = 1; i + 1 < h.Count(); ++i) {
      h.X[i] += shake(rng);
      h.Y[i] = std::exp(-h.X[i] / 3000.0) * std::sin(h.X[i] * 0.37);
    }
    if (BandCase("shaken", h, 1e9) != 0) return 1;
  }
  if (runs("grid")) {
    // 1,000,000 points at i·0.001 ns, as a run's curve files hold them.
    rv::ChartSeries h;
    h.Title = "grid";
    for (long long i = 0; i < 1000000; ++i) {
      const double t = double(i) * 0.001;
      h.AddXY(t, std::exp(-t / 300.0) * std::sin(t * 3.7));
    }
    if (BandCase("grid", h, 1e9) != 0) return 1;
  }
  if (!runs("full")) return 0;
  const long long n = 1000000;
  const rv::ChartSeries g = DampedSine(n);
  rv::SpectrumOptions o;
  o.fMax = 50e9;
  o.autoStep = true;
  o.inverse = true;  // moduli without the divisor, as the rebuilding wants them

  // Warm-up: FFTW's plan for the size is made once per process.
  rv::SpectrumPlan p = rv::PlanSpectrum(g, o);
  rv::SpectrumCurves c;
  rv::ComputeSpectrum(g.X, g.Y, p, o, c);

  auto t0 = Clock::now();
  p = rv::PlanSpectrum(g, o);
  if (!p.error.empty() || !rv::ComputeSpectrum(g.X, g.Y, p, o, c)) return 1;
  const double fast = Since(t0);

  std::vector<float> s;
  double dt = 0;
  rv::SampleGraph(g.X, g.Y, p.N, p.ut, s, dt);
  std::vector<std::complex<double>> z;
  const long long slice = 100;
  t0 = Clock::now();
  rv::SpectrumSumsDirect(s, dt, p.dF, p.kMin, slice, z);
  const double direct = Since(t0) * double(p.count) / double(slice);
  Report("spectrum", p.N, p.count, fast, direct);

  // 1001 points over the record from that spectrum.
  rv::ChartSeries mod, ph;
  mod.X = ph.X = c.X;
  mod.Y = c.modulus;
  ph.Y = c.phase;
  const rv::SynthesisPlan sp = rv::PlanSynthesis(0, 1e-5, 1000, mod, ph, 0.5);
  if (!sp.error.empty()) return 1;
  std::vector<double> x, y;
  rv::SynthesizeSignal(mod.Y, ph.X, ph.Y, sp.tMin, sp.dtOut, sp.n, sp.w0, 1e9, x, y);
  t0 = Clock::now();
  rv::SynthesizeSignal(mod.Y, ph.X, ph.Y, sp.tMin, sp.dtOut, sp.n, sp.w0, 1e9, x, y);
  const double fastS = Since(t0);
  const int points = 10;
  double sink = 0;
  t0 = Clock::now();
  for (int i = 0; i < points; ++i) sink += rv::SynthesizePoint(mod.Y, ph.X, ph.Y, sp.tMin + i * 100 * sp.dtOut, sp.w0);
  const double directS = Since(t0) * double(sp.n + 1) / points;
  Report("synthesis", sp.n + 1, (long long)mod.Count(), fastS, directS);
  // The rebuilt signal against the curve itself, to see the round trip is sound.
  // At the record's ends the curve as drawn starts with a kink and ends in a jump to 0:
  // the transform of a band gives back a rounded kink and the middle of the jump there.
  double worst = 0, peak = 0, ends = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double want = std::exp(-x[i] / 3000.0) * std::sin(x[i] * 0.37), err = std::fabs(y[i] - want);
    if (i == 0 || i + 1 == x.size()) ends = std::max(ends, err);
    else worst = std::max(worst, err);
    peak = std::max(peak, std::fabs(want));
  }
  std::printf("bench: case=round_trip points=%zu max_error=%.3g ends_error=%.3g peak=%.3g sink=%g\n", x.size(),
              worst, ends, peak, sink);
  return 0;
}
