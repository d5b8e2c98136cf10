// Temporary folders, raw files and sampled curves for the chart tests.
#pragma once
#include <cmath>
#include <functional>

#include "charts/chartmodel.h"
#include "solver/file_fixture.h"

namespace rv::test {

using rvtest::ReadBytes;
using rvtest::WriteBytes;

// A fresh folder per test; file("") is the folder itself, with its final "/".
struct TempDir : rvtest::TempDir {
  std::string file(const std::string& name) const { return *this / name; }
};

// y = f(x) sampled from x0 to x1 at `step`, both ends included.
inline ChartSeries Sampled(double x0, double x1, double step, const std::function<double(double)>& f) {
  ChartSeries g;
  const long long n = std::llround((x1 - x0) / step);
  for (long long i = 0; i <= n; ++i) g.AddXY(x0 + double(i) * step, f(x0 + double(i) * step));
  return g;
}

// g with a point whose X is NaN put in before index `at`.
inline ChartSeries WithNanXPoint(ChartSeries g, std::size_t at, double y) {
  g.X.insert(g.X.begin() + std::ptrdiff_t(at), NAN);
  g.Y.insert(g.Y.begin() + std::ptrdiff_t(at), y);
  return g;
}

}  // namespace rv::test
