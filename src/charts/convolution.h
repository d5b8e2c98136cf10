// Duhamel convolution of a graph with a measured step response, the energy a current
// dissipates in 1 Ω, and linear interpolation of a graph.
#pragma once
#include <string>
#include <vector>

#include "charts/chartmodel.h"
#include "charts/progress.h"

namespace rv {

// The graph's value at x by linear interpolation (X ascending); 0 outside its X range or
// with fewer than 2 points.
double InterpolateY(const ChartSeries& g, double x);

// y(X[i]) = Σ_{j=0..i} ΔY_j·H(X[i] − X[j]) for i = 1..n−1, with ΔY_0 = Y[0] (the input is 0
// before its first point) and H the step response: 0 before its first X, linearly
// interpolated, its last value beyond its last X. On a uniform signal grid (every step
// within 1e-9 of the first, relatively) this is ΔY ∗ g, g_m = H(m·dt), by FFT; otherwise
// the plain sum. Both curves are read in time order (TimeOrdered: NaN X left out, falling
// times read backwards; times that rise and fall give nothing); a NaN or infinite Y spoils
// only the outputs whose sum holds it. Fills outX/outY; false when the task asked to stop.
bool Convolve(const std::vector<double>& sx, const std::vector<double>& sy, const std::vector<double>& hx,
              const std::vector<double>& hy, std::vector<double>& outX, std::vector<double>& outY,
              ILongTask* task = nullptr);
// The plain sum with H found by a linear search from the start for every term: what the
// fast paths are timed against.
void ConvolveDirect(const std::vector<double>& sx, const std::vector<double>& sy, const std::vector<double>& hx,
                    const std::vector<double>& hy, std::vector<double>& outX, std::vector<double>& outY);

// Energy in 1 Ω: point i becomes (X[i+1], energy up to X[i+1] in joules) by trapezoids of
// I², the last point goes and the title gets " (энергия =<E> Дж)". timeUnit: seconds per X
// unit; currentUnit: amperes per Y unit. Points whose X is NaN are dropped first and
// falling times read backwards (TimeOrdered); a graph of fewer than 2 other points, or
// whose X rise and fall, is left unchanged.
void EnergyInLoad(ChartSeries& g, double timeUnit, double currentUnit);
// The energy dialog's factors by list index (time: s, ms, µs, ns, ps; current: kA, A, mA, µA).
double EnergyTimeFactor(int index);
double EnergyCurrentFactor(int index);

}  // namespace rv
