// Convolution with a step response: a long uniform signal (FFT) and a non-uniform pair
// (forward-moving search), each against the plain sum with a linear search in the step
// response, timed on 2,000-point cuts of both and scaled by n²·m.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "charts/convolution.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void Case(const char* name, const std::vector<double>& sx, const std::vector<double>& sy,
          const std::vector<double>& hx, const std::vector<double>& hy) {
  std::vector<double> ox, oy;
  const auto t0 = Clock::now();
  rv::Convolve(sx, sy, hx, hy, ox, oy);
  const double s = Since(t0);
  const std::size_t cut = 2000;
  const std::vector<double> cx(sx.begin(), sx.begin() + cut), cy(sy.begin(), sy.begin() + cut);
  const std::vector<double> chx(hx.begin(), hx.begin() + cut), chy(hy.begin(), hy.begin() + cut);
  const auto t1 = Clock::now();
  rv::ConvolveDirect(cx, cy, chx, chy, ox, oy);
  const double n = double(sx.size()) / cut, m = double(hx.size()) / cut;
  const double d = Since(t1) * n * n * m;
  std::printf("bench: case=%s points=%zu seconds=%.4f direct_seconds=%.1f speedup=%.0f\n", name, sx.size(), s, d,
              d / s);
  std::fflush(stdout);
}

}  // namespace

int main() {
  // A noisy pulse sampled at 0.01 ns and a step response of a damped ringing at 0.01 ns.
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0, 0.01);
  std::vector<double> sx, sy, hx, hy;
  for (int i = 0; i < 1000000; ++i) {
    const double t = i * 0.01;
    sx.push_back(t);
    sy.push_back(std::exp(-std::pow((t - 3000) / 500, 2)) + noise(rng));
  }
  for (int i = 0; i < 100000; ++i) {
    const double t = i * 0.01;
    hx.push_back(t);
    hy.push_back(1 - std::exp(-t / 50) * std::cos(t / 7));
  }
  Case("uniform", sx, sy, hx, hy);

  // Both with jittered steps over the same span: every term needs its own search.
  std::uniform_real_distribution<double> step(0.5, 1.5);
  sx.assign(1, 0.0);
  hx.assign(1, 0.0);
  for (int i = 1; i < 20000; ++i) sx.push_back(sx.back() + step(rng)), hx.push_back(hx.back() + step(rng));
  sy.resize(sx.size());
  hy.resize(hx.size());
  for (std::size_t i = 0; i < sx.size(); ++i) {
    sy[i] = std::sin(sx[i] / 300) + noise(rng);
    hy[i] = 1 - std::exp(-hx[i] / 500);
  }
  Case("nonuniform", sx, sy, hx, hy);
  return 0;
}
